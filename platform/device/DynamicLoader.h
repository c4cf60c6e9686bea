// The device's dynamic loader: dlopen() with device paths and the platform's
// mode numbers (lazy 1, now 2, local 4, global 8, no-load 0x10, no-delete
// 0x80). A no-load call only answers whether the library is already loaded.
// Libraries are never unloaded.
#pragma once

#include "Export.h"

#include <string>
#include <vector>

namespace device {

inline constexpr int kRTLD_LAZY = 0x1;
inline constexpr int kRTLD_NOW = 0x2;
inline constexpr int kRTLD_LOCAL = 0x4;
inline constexpr int kRTLD_GLOBAL = 0x8;
inline constexpr int kRTLD_NOLOAD = 0x10;
inline constexpr int kRTLD_NODELETE = 0x80;

// The device paths of the libraries this process has loaded, in order.
PLATFORM_EXPORT std::vector<std::string> loadedImages();
PLATFORM_EXPORT bool isImageLoaded(const std::string& devicePath);

} // namespace device

extern "C" PLATFORM_EXPORT void* __wrap_dlopen(const char* path, int mode);
