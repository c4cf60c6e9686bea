#include "host/PackageManager.h"

#include "host/Process.h"
#include "host/Text.h"

#include <cctype>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace camera::packages {

namespace {

const char* const kDatabase = "var/lib/dpkg";

// What a jailbroken device has before any extension: the firmware package
// (whose version is the iOS version), the code insertion platform, whose
// folder of extensions stays when an extension goes, and the package
// manager. files: the folders each installed, one a line.
struct DevicePackage {
    const char* name;
    const char* version; // null: the iOS version
    const char* section;
    const char* description;
    const char* files;
};
const DevicePackage kDevicePackages[] = {
    { "firmware", nullptr, "System", "the system's own software, at the device's iOS version", "" },
    { "mobilesubstrate", "0.9.6301", "System", "code insertion platform that loads extensions into apps",
        "/.\n/Library\n/Library/MobileSubstrate\n/Library/MobileSubstrate/DynamicLibraries\n" },
    { "cydia", "1.1.30", "Packaging", "package manager: checks what a package needs before dpkg installs it", "" },
};

std::filesystem::path databaseOf(const std::filesystem::path& root)
{
    return root / kDatabase;
}

std::string readText(const std::filesystem::path& path, bool& ok)
{
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    ok = static_cast<bool>(file);
    return text.str();
}

// Written beside the file and moved over it, so that a reader never sees
// half of it.
std::string writeText(const std::filesystem::path& path, const std::string& text)
{
    auto partial = path;
    partial += ".new";
    {
        std::ofstream file(partial, std::ios::binary | std::ios::trunc);
        file << text;
        if (!file.flush())
            return "cannot write " + partial.string();
    }
    std::error_code error;
    std::filesystem::rename(partial, path, error);
    return error ? "cannot write " + path.string() + ": " + error.message() : std::string();
}

// What is passed over around a field's words.
constexpr std::string_view kBlanks = " \t\n";

// dpkg's complaint on one line.
std::string dpkgMessage(const ProgramRun& run)
{
    if (!run.error.empty())
        return "cannot run dpkg: " + run.error;
    std::string text(trimmed(run.errors, kBlanks));
    for (char& c : text) {
        if (c == '\n')
            c = ' ';
    }
    return text.empty() ? "dpkg " + describeStatus(run.status) : text;
}

// dpkg working on the device root, unprivileged where it must be. It looks
// for ldconfig and start-stop-daemon on PATH before it does anything, even
// for another root, and an unprivileged PATH lacks the folders they are in.
ProgramRun runDpkg(const std::filesystem::path& root, std::vector<std::string> arguments)
{
    auto absolute = std::filesystem::absolute(root);
    std::vector<std::string> command = { "dpkg", "--root=" + absolute.string(), "--admindir=" + databaseOf(absolute).string(),
        "--log=" + (absolute / "var/log/dpkg.log").string() };
    if (::geteuid() != 0)
        command.push_back("--force-not-root");
    command.insert(command.end(), arguments.begin(), arguments.end());
    const char* path = std::getenv("PATH");
    return runProgram(command, { .environment = { std::string("PATH=") + (path ? path : "/usr/bin:/bin") + ":/usr/sbin:/sbin" } }, true);
}

bool isInstalled(const Stanza& stanza)
{
    std::string status = stanza.field("Status");
    return status.ends_with(" installed");
}

std::vector<Stanza> readDatabase(const std::filesystem::path& root, bool& ok)
{
    return parseStanzas(readText(databaseOf(root) / "status", ok));
}

// One relation of a Depends field: "firmware (<< 10.0)".
struct Relation {
    std::string name;
    std::string op; // empty: any version
    std::string version;
};

Relation parseRelation(std::string_view text)
{
    Relation relation;
    std::string word(trimmed(text.substr(0, text.find('(')), kBlanks));
    relation.name = word.substr(0, word.find_first_of(": \t"));
    auto open = text.find('(');
    if (open == std::string_view::npos)
        return relation;
    std::string inside(trimmed(text.substr(open + 1, text.find(')') - open - 1), kBlanks));
    auto split = inside.find_first_not_of("<>=");
    relation.op = inside.substr(0, split);
    relation.version = split == std::string::npos ? std::string() : std::string(trimmed(std::string_view(inside).substr(split), kBlanks));
    return relation;
}

bool satisfies(const std::string& version, const Relation& relation)
{
    if (relation.op.empty())
        return true;
    int order = compareVersions(version, relation.version);
    // "<" and ">" are the old spellings of "<=" and ">=".
    if (relation.op == "<<")
        return order < 0;
    if (relation.op == "<=" || relation.op == "<")
        return order <= 0;
    if (relation.op == "=")
        return order == 0;
    if (relation.op == ">=" || relation.op == ">")
        return order >= 0;
    if (relation.op == ">>")
        return order > 0;
    return false;
}

std::vector<std::string_view> splitOn(std::string_view text, char separator)
{
    std::vector<std::string_view> parts;
    for (size_t start = 0;;) {
        auto end = text.find(separator, start);
        parts.push_back(text.substr(start, end - start));
        if (end == std::string_view::npos)
            return parts;
        start = end + 1;
    }
}

// Debian's character order within the non-digit parts of a version: a
// tilde before anything, even the end, letters before other characters.
int characterOrder(char c)
{
    if (std::isdigit(static_cast<unsigned char>(c)))
        return 0;
    if (std::isalpha(static_cast<unsigned char>(c)))
        return c;
    if (c == '~')
        return -1;
    return c ? c + 256 : 0;
}

// Compares the upstream part or the revision: non-digit runs character by
// character, digit runs as numbers.
int compareVersionPart(std::string_view a, std::string_view b)
{
    size_t i = 0, j = 0;
    auto at = [](std::string_view text, size_t index) { return index < text.size() ? text[index] : '\0'; };
    auto isDigit = [](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; };
    while (i < a.size() || j < b.size()) {
        while ((i < a.size() && !isDigit(a[i])) || (j < b.size() && !isDigit(b[j]))) {
            int x = characterOrder(at(a, i)), y = characterOrder(at(b, j));
            if (x != y)
                return x - y;
            ++i;
            ++j;
        }
        while (at(a, i) == '0')
            ++i;
        while (at(b, j) == '0')
            ++j;
        int firstDifference = 0;
        while (isDigit(at(a, i)) && isDigit(at(b, j))) {
            if (!firstDifference)
                firstDifference = at(a, i) - at(b, j);
            ++i;
            ++j;
        }
        if (isDigit(at(a, i)))
            return 1;
        if (isDigit(at(b, j)))
            return -1;
        if (firstDifference)
            return firstDifference;
    }
    return 0;
}

struct VersionParts {
    long epoch = 0;
    std::string_view upstream;
    std::string_view revision;
};

VersionParts splitVersion(std::string_view version)
{
    VersionParts parts;
    if (auto colon = version.find(':'); colon != std::string_view::npos) {
        parts.epoch = std::strtol(std::string(version.substr(0, colon)).c_str(), nullptr, 10);
        version.remove_prefix(colon + 1);
    }
    auto dash = version.rfind('-');
    parts.upstream = version.substr(0, dash);
    if (dash != std::string_view::npos)
        parts.revision = version.substr(dash + 1);
    return parts;
}

// A fresh database for a device of the package's architecture, and the
// package installed into it.
std::string installOnFreshRoot(const std::filesystem::path& root, const std::filesystem::path& file, const std::string& firmware)
{
    std::string error;
    auto package = readPackageFile(file, error);
    if (!error.empty())
        return "cannot read the package " + file.string() + ": " + error;
    if (auto failure = createDatabase(root, package.field("Architecture"), firmware); !failure.empty())
        return failure;
    return install(root, file);
}

// The template root for this package file: made once (aside, then moved
// into place at once, so that processes setting up devices side by side
// each see a whole one; the one that comes second drops its own). Empty
// when none can be had.
std::filesystem::path templateFor(const std::filesystem::path& file, const std::filesystem::path& templates, const std::string& firmware)
{
    std::error_code error;
    auto size = std::filesystem::file_size(file, error);
    auto time = std::filesystem::last_write_time(file, error);
    if (error)
        return {};
    auto modified = std::chrono::file_clock::to_sys(time).time_since_epoch();
    std::string key = file.filename().string() + "-" + std::to_string(size) + "-" + std::to_string(std::chrono::nanoseconds(modified).count());
    auto made = templates / key;
    if (std::filesystem::is_directory(made, error))
        return made;
    std::filesystem::create_directories(templates, error);
    std::string pattern = (templates / ".new-XXXXXX").string();
    if (!::mkdtemp(pattern.data()))
        return {};
    std::filesystem::path fresh = pattern;
    if (installOnFreshRoot(fresh, file, firmware).empty()) {
        std::filesystem::rename(fresh, made, error);
        // Templates of earlier builds of the package go.
        for (const auto& entry : std::filesystem::directory_iterator(templates, error)) {
            auto name = entry.path().filename().string();
            if (name != key && !name.starts_with(".new-"))
                std::filesystem::remove_all(entry.path(), error);
        }
    }
    std::filesystem::remove_all(fresh, error);
    return std::filesystem::is_directory(made, error) ? made : std::filesystem::path();
}

bool isDevicePackage(const std::string& name)
{
    for (const auto& package : kDevicePackages) {
        if (name == package.name)
            return true;
    }
    return false;
}

// Whether a device set up before has the package the template has, in
// this very build: the same version installed, the same files with the
// same checksums recorded, and those files there.
bool hasPackagesOf(const std::filesystem::path& root, const std::filesystem::path& made)
{
    bool read = false;
    auto installed = readDatabase(made, read);
    if (!read)
        return false;
    for (const auto& stanza : installed) {
        std::string name = stanza.field("Package");
        if (!isInstalled(stanza) || isDevicePackage(name))
            continue;
        if (installedVersion(root, name) != stanza.field("Version"))
            return false;
        auto sums = std::filesystem::path(kDatabase) / "info" / (name + ".md5sums");
        bool inTemplate = false, onDevice = false;
        std::string recorded = readText(made / sums, inTemplate);
        if (!inTemplate || readText(root / sums, onDevice) != recorded || !onDevice)
            return false;
        // "<checksum>  <path>", the path without its leading slash.
        for (auto line : splitOn(recorded, '\n')) {
            std::error_code error;
            if (line.size() > 34 && !std::filesystem::is_regular_file(root / line.substr(34), error))
                return false;
        }
    }
    return true;
}

} // namespace

std::string Stanza::field(std::string_view name) const
{
    for (const auto& [key, value] : fields) {
        if (equalsIgnoringCase(key, name))
            return value;
    }
    return {};
}

std::vector<Stanza> parseStanzas(std::string_view text)
{
    std::vector<Stanza> stanzas;
    bool inStanza = false;
    for (auto line : splitOn(text, '\n')) {
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (trimmed(line, kBlanks).empty()) {
            inStanza = false;
            continue;
        }
        if (!inStanza) {
            stanzas.emplace_back();
            inStanza = true;
        }
        auto& fields = stanzas.back().fields;
        if ((line[0] == ' ' || line[0] == '\t') && !fields.empty()) {
            fields.back().second += "\n" + std::string(line.substr(1));
            continue;
        }
        auto colon = line.find(':');
        if (colon == std::string_view::npos)
            continue;
        fields.emplace_back(trimmed(line.substr(0, colon), kBlanks), trimmed(line.substr(colon + 1), kBlanks));
    }
    return stanzas;
}

int compareVersions(std::string_view a, std::string_view b)
{
    auto x = splitVersion(a), y = splitVersion(b);
    if (x.epoch != y.epoch)
        return x.epoch < y.epoch ? -1 : 1;
    if (int order = compareVersionPart(x.upstream, y.upstream))
        return order;
    return compareVersionPart(x.revision, y.revision);
}

Stanza readPackageFile(const std::filesystem::path& file, std::string& error)
{
    auto run = runProgram({ "dpkg-deb", "--field", file.string() }, {}, true);
    if (!run.succeeded()) {
        error = dpkgMessage(run);
        return {};
    }
    auto stanzas = parseStanzas(run.output);
    if (stanzas.empty() || stanzas[0].field("Package").empty() || stanzas[0].field("Version").empty()) {
        error = "not a package: " + file.string();
        return {};
    }
    return stanzas[0];
}

bool hasDatabase(const std::filesystem::path& root)
{
    std::error_code error;
    return std::filesystem::is_regular_file(databaseOf(root) / "status", error);
}

std::string createDatabase(const std::filesystem::path& root, const std::string& architecture, const std::string& firmware)
{
    auto database = databaseOf(root);
    std::error_code error;
    for (const auto& folder : { database / "info", database / "updates", root / "var/log" })
        std::filesystem::create_directories(folder, error);
    if (error)
        return "cannot make the package database in " + database.string() + ": " + error.message();
    std::string status;
    for (const auto& package : kDevicePackages) {
        status += std::string("Package: ") + package.name + "\nStatus: install ok installed\nPriority: required\nSection: " + package.section
            + "\nInstalled-Size: 0\nMaintainer: the device <mobile@localhost>\nArchitecture: " + architecture
            + "\nVersion: " + (package.version ? package.version : firmware) + "\nDescription: " + package.description + "\n\n";
        if (auto failure = writeText(database / "info" / (std::string(package.name) + ".list"), package.files); !failure.empty())
            return failure;
        // dpkg drops from a package's list what is not on the disk.
        for (auto folder : splitOn(package.files, '\n')) {
            if (!folder.empty())
                std::filesystem::create_directories(root / std::filesystem::path(folder).relative_path(), error);
        }
    }
    for (auto [name, text] : { std::pair { "status", status }, std::pair { "available", std::string() } }) {
        if (auto failure = writeText(database / name, text); !failure.empty())
            return failure;
    }
    // The host's dpkg takes packages of its own architecture only, unless
    // the database names another.
    auto run = runDpkg(root, { "--add-architecture", architecture });
    return run.succeeded() ? std::string() : "cannot register the architecture " + architecture + ": " + dpkgMessage(run);
}

std::string setFirmware(const std::filesystem::path& root, const std::string& version)
{
    auto path = databaseOf(root) / "status";
    bool ok = false;
    std::string text = readText(path, ok);
    if (!ok)
        return "the device has no package database (" + path.string() + ")";
    // The firmware's stanza gets the version; every other byte stays.
    std::string result;
    bool found = false;
    size_t start = 0;
    while (start < text.size()) {
        auto end = text.find("\n\n", start);
        end = end == std::string::npos ? text.size() : end + 2;
        std::string stanza = text.substr(start, end - start);
        auto parsed = parseStanzas(stanza);
        if (!parsed.empty() && parsed[0].field("Package") == "firmware") {
            found = true;
            std::string rewritten;
            for (auto line : splitOn(stanza, '\n')) {
                if (line.starts_with("Version:"))
                    rewritten += "Version: " + version;
                else
                    rewritten += line;
                rewritten += '\n';
            }
            rewritten.pop_back();
            stanza = rewritten;
        }
        result += stanza;
        start = end;
    }
    if (!found)
        return "the device's package database has no firmware package";
    return result == text ? std::string() : writeText(path, result);
}

std::optional<std::string> installedVersion(const std::filesystem::path& root, const std::string& name)
{
    bool ok = false;
    for (const auto& stanza : readDatabase(root, ok)) {
        if (stanza.field("Package") == name && isInstalled(stanza))
            return stanza.field("Version");
    }
    return std::nullopt;
}

std::string unmetDependency(const std::filesystem::path& root, const std::string& depends)
{
    bool ok = false;
    auto database = readDatabase(root, ok);
    for (auto group : splitOn(depends, ',')) {
        if (trimmed(group, kBlanks).empty())
            continue;
        std::string have;
        bool met = false;
        for (auto alternative : splitOn(group, '|')) {
            auto relation = parseRelation(alternative);
            for (const auto& stanza : database) {
                if (stanza.field("Package") != relation.name || !isInstalled(stanza))
                    continue;
                if (satisfies(stanza.field("Version"), relation))
                    met = true;
                else if (have.empty())
                    have = relation.name + " " + stanza.field("Version");
            }
        }
        if (!met)
            return std::string(trimmed(group, kBlanks)) + (have.empty() ? ", which the device does not have" : ", and the device has " + have);
    }
    return {};
}

std::string install(const std::filesystem::path& root, const std::filesystem::path& file, Stanza* installed)
{
    std::string error;
    auto package = readPackageFile(file, error);
    if (!error.empty())
        return "cannot read the package " + file.string() + ": " + error;
    std::string name = package.field("Package") + " " + package.field("Version");
    if (!hasDatabase(root))
        return "the device has no package database to install " + name + " into";
    // As the device's package manager does: nothing is unpacked unless
    // everything it needs is there.
    for (const char* field : { "Pre-Depends", "Depends" }) {
        if (auto unmet = unmetDependency(root, package.field(field)); !unmet.empty())
            return name + " cannot be installed: it depends on " + unmet;
    }
    auto run = runDpkg(root, { "--install", std::filesystem::absolute(file).string() });
    if (!run.succeeded())
        return "dpkg did not install " + name + ": " + dpkgMessage(run);
    if (installed)
        *installed = std::move(package);
    return {};
}

std::string remove(const std::filesystem::path& root, const std::string& name)
{
    if (!installedVersion(root, name))
        return name + " is not installed";
    auto run = runDpkg(root, { "--remove", name });
    return run.succeeded() ? std::string() : "dpkg did not remove " + name + ": " + dpkgMessage(run);
}

std::string installOnNewDevice(const std::filesystem::path& root, const std::filesystem::path& file, const std::filesystem::path& templates,
    const std::string& firmware)
{
    std::error_code error;
    if (!std::filesystem::is_regular_file(file, error))
        return "no package at " + file.string() + " (build the project first)";
    auto made = templates.empty() ? templates : templateFor(file, templates, firmware);
    if (hasDatabase(root)) {
        if (auto failure = setFirmware(root, firmware); !failure.empty())
            return failure;
        if (!made.empty() && hasPackagesOf(root, made))
            return {};
        return install(root, file);
    }
    if (!made.empty()) {
        std::filesystem::copy(made, root, std::filesystem::copy_options::recursive | std::filesystem::copy_options::overwrite_existing, error);
        if (!error)
            return setFirmware(root, firmware);
    }
    return installOnFreshRoot(root, file, firmware);
}

} // namespace camera::packages
