// The device's package manager: every device the simulator sets up gets the
// extension's package through dpkg and its own package database; versions
// sort as dpkg sorts them; a package whose dependencies the device does not
// meet is refused before anything is unpacked.
#include "host/PackageManager.h"
#include "host/Process.h"
#include "host/Runner.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

using namespace camera;
using testing_support::TemporaryDeviceRoot;

namespace {

const char* const kLoader = "/Library/MobileSubstrate/DynamicLibraries/Lumora.dylib";
const char* const kModule = "/Library/Application Support/Lumora/LumoraiOS9.dylib";

std::string fileText(const std::filesystem::path& path)
{
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

std::string statusText(const TemporaryDeviceRoot& root)
{
    return root.readFile("/var/lib/dpkg/status");
}

std::string firmwareOf(const TemporaryDeviceRoot& root)
{
    return packages::installedVersion(root.path(), "firmware").value_or("none");
}

// A runner on a fresh device (set up with or without template roots).
struct Device {
    explicit Device(bool withTemplates = true)
    {
        RunnerOptions options;
        options.root = root.path();
        options.device = defaultDeviceSource();
        if (!withTemplates)
            options.device.templates.clear();
        options.executable = testing_support::binFolder() / "Camera";
        runner = std::make_unique<Runner>(options);
    }
    CommandResult run(const std::string& line) { return runner->execute(line); }

    TemporaryDeviceRoot root;
    std::unique_ptr<Runner> runner;
};

} // namespace

TEST(Packages, VersionsSortAsDpkgSortsThem)
{
    const std::pair<const char*, const char*> pairs[] = { { "1.0", "1.0.0" }, { "1.0.0", "1.0.0-0" }, { "9.3", "10.0" }, { "7.1.2", "7.1" },
        { "1.0~rc1", "1.0" }, { "1.0~", "1.0~~" }, { "1:0.1", "2.0" }, { "1.0-1", "1.0-10" }, { "001", "1" }, { "1.0a", "1.0+" }, { "1.0a", "1.0" },
        { "0.9.6301", "0.9.6011" }, { "2.0-1ubuntu1", "2.0-1" }, { "1.2.3", "1.2.3" }, { "a", "B" } };
    auto sign = [](int order) { return (order > 0) - (order < 0); };
    const char* const relations[] = { "lt", "eq", "gt" };
    for (const auto& [a, b] : pairs) {
        int ours = sign(packages::compareVersions(a, b));
        const char* relation = relations[ours + 1];
        EXPECT_TRUE(runProgram({ "dpkg", "--compare-versions", a, relation, b }).succeeded()) << "not so, says dpkg: " << a << " " << relation << " " << b;
        EXPECT_EQ(sign(packages::compareVersions(b, a)), -ours) << a << " " << b;
    }
}

TEST(Packages, DependenciesAreCheckedAgainstWhatIsInstalled)
{
    TemporaryDeviceRoot root;
    root.writeFile("/var/lib/dpkg/status",
        "Package: firmware\nStatus: install ok installed\nVersion: 8.4\n\n"
        "Package: mobilesubstrate\nStatus: install ok installed\nVersion: 0.9.6011\n\n"
        "Package: preferenceloader\nStatus: deinstall ok config-files\nVersion: 2.2.3\n\n"
        "Package: old-tweak\nStatus: install ok half-configured\n"
        "Version: 1.0\nDescription: a stanza\n continued\n");
    auto unmet = [&](const std::string& depends) { return packages::unmetDependency(root.path(), depends); };
    EXPECT_EQ(unmet("mobilesubstrate, firmware (>= 6.0), firmware (<< 10.0)"), "");
    EXPECT_EQ(unmet(""), "");
    EXPECT_EQ(unmet("firmware (>= 9.0)"), "firmware (>= 9.0), and the device has firmware 8.4");
    EXPECT_EQ(unmet("firmware (= 8.4), mobilesubstrate (>> 0.9.6011)"), "mobilesubstrate (>> 0.9.6011), and the device has mobilesubstrate 0.9.6011");
    // Only what is installed counts: removed with its settings kept, or half
    // set up, is not there.
    EXPECT_EQ(unmet("preferenceloader"), "preferenceloader, which the device does not have");
    EXPECT_EQ(unmet("old-tweak"), "old-tweak, which the device does not have");
    // One alternative is enough; an architecture qualifier names the package.
    EXPECT_EQ(unmet("cydia | mobilesubstrate:any (>= 0.9)"), "");
    EXPECT_EQ(unmet("cydia | firmware (<< 8.0)"), "cydia | firmware (<< 8.0), and the device has firmware 8.4");
    // The old spellings of <= and >=.
    EXPECT_EQ(unmet("firmware (< 8.4), firmware (> 8.4)"), "");
}

TEST(Packages, EveryDeviceGetsThePackageThroughDpkgWithOrWithoutATemplate)
{
    for (bool withTemplates : { true, false }) {
        SCOPED_TRACE(withTemplates ? "from a template" : "by dpkg itself");
        Device device(withTemplates);
        ASSERT_EQ(device.runner->boot(), "");
        auto& root = device.root;
        EXPECT_TRUE(std::filesystem::is_regular_file(root.host(kLoader)));
        EXPECT_TRUE(std::filesystem::is_regular_file(root.host(kModule)));
        // The device's own database records the package and every file.
        auto version = packages::installedVersion(root.path(), device.runner->packageName());
        ASSERT_TRUE(version);
        std::string error;
        EXPECT_EQ(*version, packages::readPackageFile(defaultDeviceSource().package, error).field("Version")) << error;
        std::string list = root.readFile("/var/lib/dpkg/info/" + device.runner->packageName() + ".list");
        EXPECT_NE(list.find(std::string(kLoader) + "\n"), std::string::npos) << list;
        EXPECT_NE(list.find(std::string(kModule) + "\n"), std::string::npos) << list;
        EXPECT_NE(root.readFile("/var/log/dpkg.log").find(" install " + device.runner->packageName()), std::string::npos);
        EXPECT_EQ(firmwareOf(root), "9.0");
        EXPECT_TRUE(packages::installedVersion(root.path(), "mobilesubstrate"));
        EXPECT_EQ(packages::unmetDependency(root.path(), "mobilesubstrate, cydia"), "");
    }
}

TEST(Packages, AnARMBuildsPackageInstallsIntoADatabaseThatNamesItsArchitecture)
{
    // The built package as an ARM build makes it: iphoneos-arm, which the
    // host's dpkg does not take unless the device's database names it.
    TemporaryDeviceRoot scratch;
    auto tree = scratch.path() / "tree";
    auto package = scratch.path() / "arm.deb";
    ASSERT_TRUE(runProgram({ "dpkg-deb", "--raw-extract", defaultDeviceSource().package.string(), tree.string() }).succeeded());
    std::string control = fileText(tree / "DEBIAN/control");
    auto field = control.find("Architecture: ");
    ASSERT_NE(field, std::string::npos);
    control.replace(field, control.find('\n', field) - field, "Architecture: iphoneos-arm");
    std::ofstream(tree / "DEBIAN/control") << control;
    ASSERT_TRUE(runProgram({ "dpkg-deb", "--root-owner-group", "-Znone", "--build", tree.string(), package.string() }, {}, true).succeeded());

    TemporaryDeviceRoot root;
    ASSERT_EQ(packages::installOnNewDevice(root.path(), package, {}, "7.1"), "");
    EXPECT_TRUE(std::filesystem::is_regular_file(root.host(kLoader)));
    EXPECT_TRUE(packages::installedVersion(root.path(), defaultDeviceSource().packageName));
    EXPECT_NE(root.readFile("/var/lib/dpkg/arch").find("iphoneos-arm\n"), std::string::npos);
    EXPECT_NE(statusText(root).find("Package: firmware\nStatus: install ok installed\nPriority: required\nSection: System\nInstalled-Size: 0\n"
                                    "Maintainer: the device <mobile@localhost>\nArchitecture: iphoneos-arm\nVersion: 7.1\n"),
        std::string::npos)
        << statusText(root);

    // On a device of the development build's architecture, dpkg refuses it
    // and says why.
    std::string error;
    if (packages::readPackageFile(defaultDeviceSource().package, error).field("Architecture") == "iphoneos-arm")
        return;
    TemporaryDeviceRoot other;
    ASSERT_EQ(bootDeviceRoot(other.path(), defaultDeviceSource(), "9.0"), "");
    error = packages::install(other.path(), package);
    EXPECT_NE(error.find("does not match"), std::string::npos) << error;
}

TEST(Packages, ADeviceSetUpAgainKeepsItsPackageOrGetsItBackFromDpkg)
{
    TemporaryDeviceRoot root;
    auto source = defaultDeviceSource();
    ASSERT_EQ(bootDeviceRoot(root.path(), source, "8.4"), "");
    EXPECT_EQ(firmwareOf(root), "8.4");
    std::string log = root.readFile("/var/log/dpkg.log");

    // The same build: nothing to do but follow the iOS version.
    ASSERT_EQ(bootDeviceRoot(root.path(), source, "7.1"), "");
    EXPECT_EQ(root.readFile("/var/log/dpkg.log"), log);
    EXPECT_EQ(firmwareOf(root), "7.1");

    // A file of it gone: dpkg installs the package again.
    std::filesystem::remove(root.host(kModule));
    ASSERT_EQ(bootDeviceRoot(root.path(), source, "9.0"), "");
    EXPECT_TRUE(std::filesystem::is_regular_file(root.host(kModule)));
    EXPECT_GT(root.readFile("/var/log/dpkg.log").size(), log.size());

    // Removed by the user: a device the simulator sets up has it again.
    ASSERT_EQ(packages::remove(root.path(), source.packageName), "");
    EXPECT_FALSE(std::filesystem::exists(root.host(kLoader)));
    ASSERT_EQ(bootDeviceRoot(root.path(), source, "9.0"), "");
    EXPECT_TRUE(std::filesystem::is_regular_file(root.host(kLoader)));
}

TEST(Packages, TheFirmwareFollowsTheDevicesVersionAndNothingElseChanges)
{
    Device device;
    ASSERT_EQ(device.runner->boot(), "");
    std::string before = statusText(device.root);
    ASSERT_TRUE(device.run("device ios=7.1.2").isOk());
    EXPECT_EQ(firmwareOf(device.root), "7.1.2");
    ASSERT_TRUE(device.run("device cf=1145.15").isOk());
    EXPECT_EQ(firmwareOf(device.root), "8.4");
    ASSERT_TRUE(device.run("device ios=9.0").isOk());
    EXPECT_EQ(statusText(device.root), before);
    // A version the device does not know changes nothing.
    EXPECT_FALSE(device.run("device ios=5.1").isOk());
    EXPECT_EQ(statusText(device.root), before);
}

TEST(Packages, InstallingOnIOS10IsRefusedBeforeAnythingIsUnpacked)
{
    Device device;
    ASSERT_EQ(device.runner->boot(), "");
    auto& root = device.root;
    std::string name = device.runner->packageName();
    std::string version = *device.runner->packageVersion();
    std::string loader = fileText(root.host(kLoader));

    // Installed before the device moved to iOS 10: refused, and the device
    // keeps the package it has, file for file.
    ASSERT_TRUE(device.run("device ios=10.0").isOk());
    std::string status = statusText(root);
    std::string log = root.readFile("/var/log/dpkg.log");
    auto result = device.run("package install");
    EXPECT_EQ(result.status, CommandResult::Status::Error);
    EXPECT_EQ(result.message, name + " " + version + " cannot be installed: it depends on firmware (<< 10.0), and the device has firmware 10.0");
    EXPECT_EQ(statusText(root), status);
    EXPECT_EQ(root.readFile("/var/log/dpkg.log"), log);
    EXPECT_EQ(fileText(root.host(kLoader)), loader);
    EXPECT_TRUE(device.run("expect package installed " + version).isOk());

    // Not installed: it stays so, with no file of it unpacked.
    ASSERT_TRUE(device.run("package remove").isOk());
    result = device.run("package install");
    EXPECT_EQ(result.status, CommandResult::Status::Error);
    EXPECT_NE(result.message.find("it depends on firmware (<< 10.0)"), std::string::npos) << result.message;
    EXPECT_TRUE(device.run("expect package removed").isOk());
    EXPECT_FALSE(std::filesystem::exists(root.host(kLoader)));
    EXPECT_FALSE(std::filesystem::exists(root.host("/Library/Application Support/Lumora")));

    // Back in its range, it installs.
    ASSERT_TRUE(device.run("device ios=9.3").isOk());
    EXPECT_TRUE(device.run("package install").isOk());
    EXPECT_TRUE(device.run("expect package installed " + version).isOk());
}

TEST(Packages, CommandsSayWhatIsWrong)
{
    Device device;
    ASSERT_EQ(device.runner->boot(), "");
    auto result = device.run("package install /nonexistent/lumora.deb");
    EXPECT_EQ(result.status, CommandResult::Status::Error);
    EXPECT_NE(result.message.find("cannot read the package /nonexistent/lumora.deb"), std::string::npos) << result.message;
    // A file that is not a package.
    result = device.run("package install " + (testing_support::deviceImage() / "System/Library/PrivateFrameworks/CameraKit.framework/CameraKit").string());
    EXPECT_EQ(result.status, CommandResult::Status::Error);
    EXPECT_NE(result.message.find("cannot read the package"), std::string::npos) << result.message;
    EXPECT_TRUE(device.run("expect package installed").isOk());

    ASSERT_TRUE(device.run("package remove").isOk());
    result = device.run("package remove");
    EXPECT_EQ(result.status, CommandResult::Status::Error);
    EXPECT_EQ(result.message, device.runner->packageName() + " is not installed");
    EXPECT_EQ(device.run("expect package installed").message, "actual removed");
    EXPECT_EQ(device.run("expect package removed 1.0").status, CommandResult::Status::Error);
    ASSERT_TRUE(device.run("package install").isOk());
    EXPECT_EQ(device.run("expect package installed 0.1").message, "actual installed " + *device.runner->packageVersion());
    EXPECT_EQ(device.run("expect package removed").message, "actual installed " + *device.runner->packageVersion());
}
