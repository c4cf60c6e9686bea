#include "host/DeviceSetup.h"

#include "host/PackageManager.h"

#include <cmath>

namespace camera {

namespace {

// CoreFoundation version numbers of the releases the camera knows.
const SystemRelease kReleases[] = {
    { "6.0", 6, 0, 793.00 },
    { "6.1", 6, 1, 793.00 },
    { "7.0", 7, 0, 847.20 },
    { "7.0.3", 7, 0, 847.23 },
    { "7.1", 7, 1, 847.24 },
    { "7.1.2", 7, 1, 847.27 },
    { "8.0", 8, 0, 1140.10 },
    { "8.1", 8, 1, 1141.14 },
    { "8.2", 8, 2, 1142.16 },
    { "8.3", 8, 3, 1144.17 },
    { "8.4", 8, 4, 1145.15 },
    { "9.0", 9, 0, 1240.10 },
    { "9.1", 9, 1, 1241.11 },
    { "9.2", 9, 2, 1242.13 },
    { "9.3", 9, 3, 1280.30 },
    { "10.0", 10, 0, 1348.00 },
};

} // namespace

std::optional<SystemRelease> releaseNamed(const std::string& version)
{
    for (const auto& release : kReleases) {
        if (release.version == version)
            return release;
    }
    // A bare major version means its first release.
    for (const auto& release : kReleases) {
        if (std::to_string(release.major) == version)
            return release;
    }
    return std::nullopt;
}

SystemRelease releaseForCoreFoundation(double number)
{
    SystemRelease chosen = kReleases[0];
    for (const auto& release : kReleases) {
        if (release.coreFoundation <= number)
            chosen = release;
    }
    chosen.coreFoundation = number;
    char text[32];
    std::snprintf(text, sizeof text, "%d.%d", chosen.major, chosen.minor);
    chosen.version = text;
    return chosen;
}

std::string knownReleases()
{
    std::string list;
    for (const auto& release : kReleases) {
        if (!list.empty())
            list += ", ";
        list += release.version;
    }
    return list;
}

std::string bootDeviceRoot(const std::filesystem::path& root, const DeviceSource& source, const std::string& version)
{
    std::error_code error;
    std::filesystem::create_directories(root, error);
    if (error)
        return "cannot create the device root " + root.string() + ": " + error.message();
    for (const char* folder : { "var/mobile/Library/Preferences", "var/run", "Library/MobileSubstrate/DynamicLibraries" })
        std::filesystem::create_directories(root / folder, error);
    if (!std::filesystem::is_directory(source.image, error))
        return "no device image at " + source.image.string() + " (build the project first)";
    std::filesystem::copy(source.image, root, std::filesystem::copy_options::recursive | std::filesystem::copy_options::overwrite_existing, error);
    if (error)
        return "cannot install the system files into " + root.string() + ": " + error.message();
    return packages::installOnNewDevice(root, source.package, source.templates, version);
}

DeviceSource defaultDeviceSource()
{
    auto build = std::filesystem::read_symlink("/proc/self/exe").parent_path().parent_path();
    return { build / "device-image", build / LUMORA_PACKAGE_FILE_NAME, LUMORA_PACKAGE_NAME, build / "device-templates" };
}

std::filesystem::path defaultDeviceRoot()
{
    return std::filesystem::read_symlink("/proc/self/exe").parent_path().parent_path() / "device";
}

} // namespace camera
