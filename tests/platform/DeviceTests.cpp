// The simulated device: paths under its root, its dynamic loader and its
// main queue.
#include "corefoundation/CoreFoundation.h"
#include "device/Device.h"
#include "device/DynamicLoader.h"
#include "dispatch/RunLoop.h"
#include "injection/Injection.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>
#include <vector>

using testing_support::TemporaryDeviceRoot;

TEST(Device, PathsMapUnderTheRootAndCannotLeaveIt)
{
    TemporaryDeviceRoot root;
    EXPECT_EQ(device::hostPath("/var/mobile/a.plist"), root.path() / "var/mobile/a.plist");
    EXPECT_EQ(device::hostPath("/var/mobile/../mobile/./a.plist"), root.path() / "var/mobile/a.plist");
    EXPECT_FALSE(device::hostPath("/../etc/passwd"));
    EXPECT_FALSE(device::hostPath("/var/../../etc/passwd"));
    EXPECT_FALSE(device::hostPath("relative/path"));
    EXPECT_FALSE(device::hostPath(""));
    // A link inside the root that points out of it leads nowhere.
    std::filesystem::create_symlink("/etc", root.path() / "var/escape");
    EXPECT_FALSE(device::hostPath("/var/escape/passwd"));
    std::filesystem::create_directories(root.path() / "private/data");
    std::filesystem::create_directory_symlink(root.path() / "private/data", root.path() / "data");
    EXPECT_TRUE(device::hostPath("/data/file"));
    // Links that loop lead nowhere; one that leads to nothing yet leads
    // out when what it names would be outside.
    std::filesystem::create_symlink("loop", root.path() / "var/loop");
    std::filesystem::create_symlink("/etc/lumora-missing", root.path() / "var/dangling-out");
    std::filesystem::create_symlink("../data/missing", root.path() / "var/dangling-in");
    EXPECT_FALSE(device::hostPath("/var/loop"));
    EXPECT_FALSE(device::hostPath("/var/loop/file"));
    EXPECT_FALSE(device::hostPath("/var/dangling-out"));
    EXPECT_EQ(device::hostPath("/var/dangling-in"), root.path() / "var/dangling-in");

    // The entry itself, for lstat() and rename(): a link there is not
    // followed, one on the way is.
    for (const char* path : { "/var/loop", "/var/dangling-out", "/var/escape" })
        EXPECT_EQ(device::hostEntryPath(path), root.path() / std::string(path).substr(1)) << path;
    EXPECT_FALSE(device::hostEntryPath("/var/escape/passwd"));
    EXPECT_FALSE(device::hostEntryPath("/var/loop/file"));
    EXPECT_FALSE(device::hostEntryPath("/../etc"));
}

TEST(Device, DlopenTakesDevicePathsAndTheNoLoadModeOnlyAsks)
{
    bool ok = testing_support::runInChildProcess([] {
        TemporaryDeviceRoot root;
        auto library = testing_support::deviceImage() / "System/Library/PrivateFrameworks/CameraKit.framework/CameraKit";
        std::filesystem::create_directories(root.host("/Library/Other").parent_path());
        std::filesystem::copy_file(library, root.host("/Library/Other.dylib"));
        EXPECT_EQ(__wrap_dlopen("/Library/Other.dylib", 17), nullptr) << "no-load answered yes before loading";
        EXPECT_FALSE(device::isImageLoaded("/Library/Other.dylib"));
        EXPECT_NE(__wrap_dlopen("/Library/Other.dylib", 1), nullptr);
        EXPECT_TRUE(device::isImageLoaded("/Library/Other.dylib"));
        EXPECT_NE(__wrap_dlopen("/Library/Other.dylib", 17), nullptr);
        EXPECT_EQ(__wrap_dlopen("/Library/Missing.dylib", 1), nullptr);
        EXPECT_EQ(__wrap_dlopen("/../Library/Other.dylib", 1), nullptr);
    });
    EXPECT_TRUE(ok);
}

TEST(Device, InjectionFollowsTheFilterFiles)
{
    bool ok = testing_support::runInChildProcess([] {
        TemporaryDeviceRoot root;
        auto library = testing_support::deviceImage() / "System/Library/PrivateFrameworks/CameraKit.framework/CameraKit";
        std::string folder = "/Library/MobileSubstrate/DynamicLibraries/";
        std::filesystem::create_directories(root.host(folder));
        for (const char* name : { "A", "B", "C", "D" })
            std::filesystem::copy_file(library, root.host(folder + name + ".dylib"));
        root.writeFile(folder + "A.plist", "Filter = { Bundles = ( \"com.apple.camera\" ); };");
        root.writeFile(folder + "B.plist", "{ Filter = { Bundles = (\"com.apple.springboard\"); Executables = (Camera); }; }");
        root.writeFile(folder + "C.plist", "{ Filter = { Bundles = (\"com.apple.mobilesafari\"); }; }");
        // D has no filter file: it goes into every process.
        device::injectLibraries("com.apple.camera", "Camera");
        EXPECT_EQ(device::loadedImages(), (std::vector<std::string> { folder + "A.dylib", folder + "B.dylib", folder + "D.dylib" }));
    });
    EXPECT_TRUE(ok);
}

TEST(MainQueue, RunsTasksInClockOrderAsTheClockIsAdvanced)
{
    auto& loop = RunLoop::main();
    loop.runPending();
    std::vector<std::string> order;
    loop.setNow(10 * NSEC_PER_SEC);
    dispatch_after(dispatch_time(DISPATCH_TIME_NOW, 300 * NSEC_PER_MSEC), dispatch_get_main_queue(), [&] { order.push_back("after 0.3"); });
    dispatch_after(dispatch_time(DISPATCH_TIME_NOW, 100 * NSEC_PER_MSEC), dispatch_get_main_queue(), [&] {
        order.push_back("after 0.1");
        dispatch_async(dispatch_get_main_queue(), [&] { order.push_back("async from 0.1"); });
    });
    dispatch_async(dispatch_get_main_queue(), [&] { order.push_back("async"); });
    EXPECT_TRUE(order.empty());

    loop.runFor(0.2);
    EXPECT_EQ(order, (std::vector<std::string> { "async", "after 0.1", "async from 0.1" }));
    loop.runFor(0.099);
    EXPECT_EQ(order.size(), 3u);
    loop.runFor(0.001);
    EXPECT_EQ(order.back(), "after 0.3");
    EXPECT_EQ(loop.now(), 10 * NSEC_PER_SEC + 300 * NSEC_PER_MSEC);
}

namespace {
int g_deliveries;
std::string g_lastName;
void countDelivery(CFNotificationCenterRef, void*, CFStringRef name, const void*, CFDictionaryRef)
{
    ++g_deliveries;
    g_lastName = name->string();
}
}

TEST(DarwinNotifications, ReachObserversOnTheMainQueueAndCoalesce)
{
    TemporaryDeviceRoot root;
    auto center = CFNotificationCenterGetDarwinNotifyCenter();
    g_deliveries = 0;
    CFNotificationCenterAddObserver(center, nullptr, countDelivery, "com.example.changed"_ns, nullptr, CFNotificationSuspensionBehaviorCoalesce);
    CFNotificationCenterPostNotification(center, "com.example.changed"_ns, nullptr, nullptr, true);
    CFNotificationCenterPostNotification(center, "com.example.changed"_ns, nullptr, nullptr, true);
    CFNotificationCenterPostNotification(center, "com.example.other"_ns, nullptr, nullptr, true);
    EXPECT_EQ(g_deliveries, 0) << "delivered outside the main queue";
    RunLoop::main().runPending();
    EXPECT_EQ(g_deliveries, 1);
    EXPECT_EQ(g_lastName, "com.example.changed");

    // From another process of the device.
    pid_t child = ::fork();
    if (child == 0) {
        CFNotificationCenterPostNotification(CFNotificationCenterGetDarwinNotifyCenter(), "com.example.changed"_ns, nullptr, nullptr, true);
        ::_exit(0);
    }
    int status;
    ::waitpid(child, &status, 0);
    RunLoop::main().runPending();
    EXPECT_EQ(g_deliveries, 2);
    CFNotificationCenterRemoveObserver(center, nullptr, "com.example.changed"_ns, nullptr);
}
