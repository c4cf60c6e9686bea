// Which generation module the loader opens, by CoreFoundation version.
#include "corefoundation/CoreFoundation.h"
#include "device/DynamicLoader.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <unistd.h>

using testing_support::TemporaryDeviceRoot;

namespace {

const char* const kModules[] = {
    "/Library/Application Support/Lumora/LumoraiOS9.dylib",
    "/Library/Application Support/Lumora/LumoraiOS8.dylib",
    "/Library/Application Support/Lumora/LumoraiOS7.dylib",
    "/Library/Application Support/Lumora/LumoraiOS6.dylib",
};
const char* const kLoader = "/Library/MobileSubstrate/DynamicLibraries/Lumora.dylib";

// A device with the real loader and a stand-in library at each module's
// path, so that what gets opened can be seen without a camera.
void installLoaderAndStandIns(const TemporaryDeviceRoot& root, bool withModules = true)
{
    std::filesystem::create_directories(root.host(kLoader).parent_path());
    std::filesystem::copy_file(testing_support::packageRoot() / std::filesystem::path(kLoader).relative_path(), root.host(kLoader));
    if (!withModules)
        return;
    auto standIn = testing_support::deviceImage() / "System/Library/PrivateFrameworks/CameraKit.framework/CameraKit";
    for (const char* module : kModules) {
        std::filesystem::create_directories(root.host(module).parent_path());
        std::filesystem::copy_file(standIn, root.host(module));
    }
}

// The module the loader opens at this version, or "none".
std::string moduleOpenedAt(double version, bool withModules = true)
{
    std::string opened = "none";
    static int call = 0;
    std::string path = ::testing::TempDir() + "/lumora-loader-result-" + std::to_string(::getpid()) + "-" + std::to_string(++call);
    bool ok = testing_support::runInChildProcess([&] {
        TemporaryDeviceRoot root;
        installLoaderAndStandIns(root, withModules);
        kCFCoreFoundationVersionNumber = version;
        ASSERT_NE(__wrap_dlopen(kLoader, 1), nullptr);
        std::string result = "none";
        int count = 0;
        for (const char* module : kModules) {
            if (device::isImageLoaded(module)) {
                result = std::filesystem::path(module).stem().string();
                ++count;
            }
        }
        EXPECT_LE(count, 1) << "more than one module opened";
        std::ofstream(path) << result;
    });
    EXPECT_TRUE(ok);
    std::ifstream(path) >> opened;
    std::filesystem::remove(path);
    return opened;
}

} // namespace

TEST(Loader, ChoosesTheModuleByCoreFoundationVersionAtEachEdge)
{
    EXPECT_EQ(moduleOpenedAt(1240.10), "LumoraiOS9");
    EXPECT_EQ(moduleOpenedAt(1217.11), "LumoraiOS9");
    EXPECT_EQ(moduleOpenedAt(1217.10), "LumoraiOS8");
    EXPECT_EQ(moduleOpenedAt(1129.15), "LumoraiOS8");
    EXPECT_EQ(moduleOpenedAt(1129.14), "LumoraiOS7");
    EXPECT_EQ(moduleOpenedAt(793.01), "LumoraiOS7");
    EXPECT_EQ(moduleOpenedAt(793.0), "LumoraiOS6");
    EXPECT_EQ(moduleOpenedAt(792.99), "none");
    EXPECT_EQ(moduleOpenedAt(std::nan("")), "none");
    EXPECT_EQ(moduleOpenedAt(-INFINITY), "none");
    EXPECT_EQ(moduleOpenedAt(INFINITY), "LumoraiOS9");
}

TEST(Loader, AMissingModuleLeavesTheProcessRunningWithoutTheExtension)
{
    EXPECT_EQ(moduleOpenedAt(1240.10, false), "none");
}
