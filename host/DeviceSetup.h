// Booting a simulated device: its root folder, its system files, and the
// version numbers of each iOS release.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace camera {

struct SystemRelease {
    std::string version; // "9.0"
    int major = 9;
    int minor = 0;
    double coreFoundation = 1240.10;
};

// A release by its version ("9", "9.0", "7.1.2"); empty when unknown.
std::optional<SystemRelease> releaseNamed(const std::string& version);
// The release a CoreFoundation number belongs to (the newest one at or below it).
SystemRelease releaseForCoreFoundation(double number);
std::string knownReleases();

// Makes root a device: its folders, and the system files of the image
// (libraries at their install paths) copied in, replacing older copies.
// Returns an error message, or empty on success.
std::string bootDeviceRoot(const std::filesystem::path& root, const std::filesystem::path& image);

// The build's device image and default root, found from the executable.
std::filesystem::path defaultDeviceImage();
std::filesystem::path defaultDeviceRoot();

} // namespace camera
