// Booting a simulated device: its root folder, its system files, the
// extension's package, and the version numbers of each iOS release.
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

// What a device is made of.
struct DeviceSource {
    std::filesystem::path image;     // the system files (libraries at their install paths)
    std::filesystem::path package;   // the extension's package
    std::string packageName;         // and the name it installs as
    std::filesystem::path templates; // where template roots are kept (see PackageManager.h); may be empty
};

// Makes root a device of this iOS version: its folders, the system files of
// the image copied in (replacing older copies), and the package installed
// by dpkg into the device's package database. Returns an error message, or
// empty on success.
std::string bootDeviceRoot(const std::filesystem::path& root, const DeviceSource& source, const std::string& version);

// The build's device image, package and default root, found from the
// executable.
DeviceSource defaultDeviceSource();
std::filesystem::path defaultDeviceRoot();

} // namespace camera
