// The simulated device: its file system lives under a root folder on the
// host, and every absolute device path ("/var/mobile/...", "/Library/...")
// maps below it.
#pragma once

#include "Export.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace device {

PLATFORM_EXPORT void setRoot(const std::filesystem::path& root);
PLATFORM_EXPORT const std::filesystem::path& root();

// The host path of an absolute device path. Empty when the path is not
// absolute, or when it (through "..", or a symbolic link met on the way)
// would lead outside the root.
PLATFORM_EXPORT std::optional<std::filesystem::path> hostPath(std::string_view devicePath);
// The host path of the entry an absolute device path names, for calls that
// act on the entry itself (lstat, rename, unlink, open with O_NOFOLLOW): a
// symbolic link there is not followed, wherever it leads. Empty when the
// path is not absolute, or when its folder would lead outside the root.
PLATFORM_EXPORT std::optional<std::filesystem::path> hostEntryPath(std::string_view devicePath);

// The simulated system version (major, minor), as the device was booted.
struct SystemVersion {
    int major = 9;
    int minor = 0;
};
PLATFORM_EXPORT void setSystemVersion(SystemVersion version);
PLATFORM_EXPORT SystemVersion systemVersion();

} // namespace device
