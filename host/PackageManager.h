// The device's package manager: the package database a jailbroken device
// keeps in its root (var/lib/dpkg), with the packages every such device has,
// and packages installed and removed by Debian's dpkg working on that root,
// after their dependencies are checked as the device's package manager
// checks them (before anything is unpacked).
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace camera::packages {

// The fields of a control file or of one stanza of the database, in order.
struct Stanza {
    std::vector<std::pair<std::string, std::string>> fields;
    // A field's value (names are compared without regard to case); empty
    // when it is absent.
    std::string field(std::string_view name) const;
};
std::vector<Stanza> parseStanzas(std::string_view text);

// Debian's order of versions: negative, zero or positive as a sorts
// before, with or after b.
int compareVersions(std::string_view a, std::string_view b);

// A package file's own fields (read with dpkg-deb); empty with error set
// when it cannot be read.
Stanza readPackageFile(const std::filesystem::path& file, std::string& error);

// Makes the package database of a device whose packages are of this
// architecture, with the packages every jailbroken device has: firmware
// at the iOS version, the code insertion platform that loads extensions,
// the package manager. The architecture is registered with dpkg.
std::string createDatabase(const std::filesystem::path& root, const std::string& architecture, const std::string& firmware);
bool hasDatabase(const std::filesystem::path& root);
// Sets the version of the firmware package, as the device's package
// manager does when the system's version changes.
std::string setFirmware(const std::filesystem::path& root, const std::string& version);

// The version of an installed package; nullopt when it is not installed.
std::optional<std::string> installedVersion(const std::filesystem::path& root, const std::string& name);
// The first relation of a Depends field that the device's installed
// packages do not meet, said with what the device has; empty when all are.
std::string unmetDependency(const std::filesystem::path& root, const std::string& depends);

// Installs a package file: refused, with nothing unpacked, when its
// dependencies are not met; otherwise dpkg -i. Returns an error message,
// or empty; what was installed goes into installed (name and version).
std::string install(const std::filesystem::path& root, const std::filesystem::path& file, Stanza* installed = nullptr);
// Removes an installed package with dpkg -r: only the files it installed go.
std::string remove(const std::filesystem::path& root, const std::string& name);

// Installs a package on a device root being set up. A root without a
// database gets a copy of a template root, kept in templates, where dpkg
// installed this same file onto a fresh database: as good as installing it
// again, at the cost of a copy. A root that has a database (a device set up
// before), or no templates folder, gets the package from dpkg.
std::string installOnNewDevice(const std::filesystem::path& root, const std::filesystem::path& file, const std::filesystem::path& templates,
    const std::string& firmware);

} // namespace camera::packages
