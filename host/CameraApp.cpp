#include "host/CameraApp.h"

#include "corefoundation/CoreFoundation.h"
#include "device/Device.h"
#include "device/DynamicLoader.h"
#include "device/Process.h"
#include "dispatch/RunLoop.h"
#include "host/AppCommands.h"
#include "host/CameraClasses.h"
#include "host/Families.h"
#include "host/Trace.h"
#include "injection/Injection.h"
#include "uikit/UIApplication.h"
#include "uikit/UIKitSimulator.h"
#include "uikit/UIViewController.h"
#include "uikit/UIWindow.h"

#include <cstdio>
#include <unistd.h>

#if LUMORA_SANITIZE
#include <sanitizer/lsan_interface.h>
#endif

namespace camera {

namespace {

constexpr const char* kModulePaths[] = {
    "/Library/Application Support/Lumora/LumoraiOS9.dylib",
    "/Library/Application Support/Lumora/LumoraiOS8.dylib",
    "/Library/Application Support/Lumora/LumoraiOS7.dylib",
    "/Library/Application Support/Lumora/LumoraiOS6.dylib",
};

struct App {
    std::filesystem::path screenshots;
    RefPtr<UIWindow> window;
    RefPtr<UIViewController> rootViewController;
    RefPtr<CameraView> cameraView;
    CaptureController* controller = nullptr;
};

App& app()
{
    static App* instance = new App;
    return *instance;
}

} // namespace

std::string loadedModule()
{
    for (const char* path : kModulePaths) {
        if (device::isImageLoaded(path))
            return std::filesystem::path(path).stem().string();
    }
    return "none";
}

const std::filesystem::path& screenshotFolder()
{
    return app().screenshots;
}

void launchCamera()
{
    auto& state = app();
    CGRect screen = UIScreen::mainScreen()->bounds();
    state.window = UIWindow::create(screen);
    state.controller = CaptureController::sharedInstance();
    state.cameraView = CameraView::create(screen);
    state.controller->setDelegate(state.cameraView.get());
    state.rootViewController = UIViewController::create();
    state.rootViewController->setView(state.cameraView.get());
    state.window->setRootViewController(state.rootViewController.get());
    state.window->makeKeyAndVisible();

    id view = state.cameraView.get();
    objc_msgSend<void>(view, "_createDefaultControlsIfNecessary"_sel);
    objc_msgSend<void>(view, "_updateEnabledControlsWithReason:forceLog:"_sel, "launch"_ns, NO);
    objc_msgSend<void>(view, "_showControlsForChangeToMode:animated:"_sel, model().mode, NO);
    objc_msgSend<void>(view, "cameraControllerPreviewDidStart:"_sel, static_cast<id>(state.controller));
}

UIView* cameraView()
{
    return app().cameraView.get();
}

namespace {

bool readLine(int fd, std::string& line)
{
    line.clear();
    char c;
    for (;;) {
        ssize_t count = ::read(fd, &c, 1);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            return false;
        if (c == '\n')
            return true;
        line += c;
    }
}

void writeLine(int fd, const std::string& line)
{
    std::fflush(stdout);
    std::string text = line + "\n";
    const char* data = text.data();
    size_t left = text.size();
    while (left) {
        ssize_t written = ::write(fd, data, left);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return;
        data += written;
        left -= static_cast<size_t>(written);
    }
}

} // namespace

int runCameraApp(const AppOptions& options)
{
    device::setRoot(options.root);
    device::setSystemVersion({ options.major, options.minor });
    kCFCoreFoundationVersionNumber = options.coreFoundation;
    RunLoop::main().setNow(options.startTime);
    UIKitSimulator::setScreen(CGSizeMake(375, 667), 2);
    app().screenshots = options.screenshots;
    model().setFlashes(options.rearFlash, options.frontFlash);
    // The app's own classes exist before anything is traced or injected.
    registerFamily(familyForGeneration(options.major));
    installTracePrinter("Camera", options.verbose);
    device::registerProcess("Camera", "com.apple.camera");
    {
        AutoreleasePool pool;
        for (const auto& library : options.preloaded)
            __wrap_dlopen(library.c_str(), 1);
        device::injectLibraries("com.apple.camera", "Camera");
        launchCamera();
        RunLoop::main().runPending();
    }
    flushTrace();

    std::string line;
    while (readLine(options.controlFd, line)) {
        if (line == "quit")
            break;
        std::string reply;
        {
            AutoreleasePool pool;
            reply = handleCommand(line);
            notePopoverChange();
        }
        flushTrace();
        writeLine(options.controlFd, reply);
    }
    device::unregisterProcess();
    std::fflush(stdout);
#if LUMORA_SANITIZE
    // What the app still holds is reachable from its globals; anything else
    // was leaked. The runner reports an app that ends with a status.
    if (__lsan_do_recoverable_leak_check())
        ::_exit(23);
#endif
    // The app's objects and the injected libraries' globals are not torn
    // down: a process that ends just ends.
    ::_exit(0);
}

} // namespace camera
