#include "host/CameraApp.h"

#include "corefoundation/CoreFoundation.h"
#include "device/Device.h"
#include "device/DynamicLoader.h"
#include "device/Process.h"
#include "device/Trace.h"
#include "dispatch/RunLoop.h"
#include "host/CameraActions.h"
#include "host/CameraClasses.h"
#include "host/Families.h"
#include "host/Trace.h"
#include "uikit/UIApplication.h"
#include "uikit/UIKitSimulator.h"
#include "uikit/UIViewController.h"
#include "uikit/UIWindow.h"
#include "runtime/substrate.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <vector>
#include <unistd.h>

namespace camera {

namespace {

constexpr const char* kModulePaths[] = {
    "/Library/Application Support/Lumora/LumoraiOS9.dylib",
    "/Library/Application Support/Lumora/LumoraiOS8.dylib",
    "/Library/Application Support/Lumora/LumoraiOS7.dylib",
    "/Library/Application Support/Lumora/LumoraiOS6.dylib",
};

struct App {
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

std::string loadedModule()
{
    for (const char* path : kModulePaths) {
        if (device::isImageLoaded(path))
            return std::filesystem::path(path).stem().string();
    }
    return "none";
}

} // namespace

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

std::string reply(const std::string& error)
{
    return error.empty() ? "ok" : "error " + error;
}

std::string expectTorch(const std::vector<std::string>& words)
{
    AVCaptureDevice* device = model().rearDevice.ptr();
    float level = device->torchLevel();
    std::string actual = level > 0 ? "on at " + std::to_string(level) : "off";
    if (words.size() == 3 && words[2] == "off")
        return level > 0 ? "fail the torch is " + actual : "ok";
    if ((words.size() == 3 || words.size() == 4) && words[2] == "on") {
        if (level <= 0)
            return "fail the torch is off";
        if (words.size() == 4) {
            float expected = std::strtof(words[3].c_str(), nullptr);
            if (std::fabs(level - expected) > 1e-6f)
                return "fail the torch is " + actual + ", expected " + words[3];
        }
        return "ok";
    }
    return "error usage: expect torch off | expect torch on [LEVEL]";
}

} // namespace

UIView* torchButton()
{
    Class buttonClass = classes().shutterButton;
    auto* bar = static_cast<UIView*>(objc_msgSend<id>(app().cameraView.get(), "_topBar"_sel));
    if (!bar || !buttonClass)
        return nullptr;
    UIView* newest = nullptr;
    for (const auto& view : bar->subviews()) {
        if (object_getClass(view.ptr()) == buttonClass)
            newest = view.ptr();
    }
    return newest;
}

void tapDotForTests()
{
    if (auto* dot = static_cast<UIControl*>(torchButton()))
        dot->sendActionsForControlEvents(UIControlEventTouchUpInside);
}

bool isShown(UIView* view)
{
    for (; view; view = view->superview()) {
        if (view->isHidden() || view->alpha() < 0.01)
            return false;
    }
    return true;
}

namespace {

std::string tapDot()
{
    UIView* dot = torchButton();
    if (!dot)
        return "error there is no torch button on the top bar";
    if (!isShown(dot))
        return "error the torch button is hidden";
    UIKitSimulator::tapView(dot);
    RunLoop::main().runPending();
    return "ok";
}

std::string expectDot(const std::vector<std::string>& words)
{
    if (words.size() < 3)
        return "error usage: expect dot hidden|shown|enabled|disabled|absent|left-of flip|right-of flash";
    UIKitSimulator::layoutWindows();
    UIView* dot = torchButton();
    const std::string& what = words[2];
    if (what == "absent")
        return dot ? "fail there is a torch button on the top bar" : "ok";
    if (!dot)
        return "fail there is no torch button on the top bar";
    auto* control = static_cast<UIControl*>(dot);
    if (what == "hidden")
        return isShown(dot) ? "fail the torch button is shown" : "ok";
    if (what == "shown")
        return isShown(dot) ? "ok" : "fail the torch button is hidden";
    if (what == "enabled")
        return control->isEnabled() ? "ok" : "fail the torch button is disabled";
    if (what == "disabled")
        return control->isEnabled() ? "fail the torch button is enabled" : "ok";
    auto* bar = static_cast<TopBar*>(dot->superview());
    CGRect frame = dot->frame();
    char text[160];
    if (what == "left-of" && words.size() == 4 && words[3] == "flip") {
        CGRect flip = bar->flipButton()->frame();
        std::snprintf(text, sizeof text, "fail the torch button ends at x = %g, the flip button starts at x = %g", CGRectGetMaxX(frame), CGRectGetMinX(flip));
        return CGRectGetMaxX(frame) <= CGRectGetMinX(flip) + 1e-9 && CGRectGetMaxX(frame) > CGRectGetMinX(flip) - 8 ? "ok" : text;
    }
    if (what == "right-of" && words.size() == 4 && words[3] == "flash") {
        CGRect flash = bar->flashButton()->frame();
        std::snprintf(text, sizeof text, "fail the torch button starts at x = %g, the flash button ends at x = %g", CGRectGetMinX(frame), CGRectGetMaxX(flash));
        return CGRectGetMinX(frame) >= CGRectGetMaxX(flash) - 1e-9 && CGRectGetMinX(frame) < CGRectGetMaxX(flash) + 8 ? "ok" : text;
    }
    return "error usage: expect dot hidden|shown|enabled|disabled|absent|left-of flip|right-of flash";
}

// One command from the runner; returns the reply line: "ok [answer]",
// "error <message>" for a command that cannot be done, or "fail <message>"
// for an expectation that does not hold.
std::string handle(const std::string& line)
{
    std::istringstream words(line);
    std::string command;
    words >> command;
    std::vector<std::string> all { command };
    for (std::string word; words >> word;)
        all.push_back(word);
    auto argument = [&](size_t index) { return index < all.size() ? all[index] : std::string(); };

    if (command == "mode")
        return reply(changeMode(argument(1)));
    if (command == "camera")
        return reply(switchCamera(argument(1)));
    if (command == "flash")
        return reply(setFlashMode(argument(1)));
    if (command == "flash-options")
        return reply(setFlashOptionsExpanded(argument(1)));
    if (command == "photo")
        return reply(takePhoto());
    if (command == "burst")
        return reply(takeBurst(std::atoi(argument(1).c_str())));
    if (command == "timer-photo")
        return reply(startTimerPhoto());
    if (command == "stop-timer")
        return reply(stopTimer());
    if (command == "record")
        return reply(record(argument(1)));
    if (command == "rotate")
        return reply(rotate(argument(1)));
    if (command == "expect" && argument(1) == "torch")
        return expectTorch(all);
    if (command == "expect" && argument(1) == "dot")
        return expectDot(all);
    if (command == "tap" && argument(1) == "dot")
        return tapDot();
    if (command == "sync") {
        RunLoop::main().runPending();
        return "ok";
    }
    if (command == "time") {
        RunLoop::main().runUntil(std::strtoull(argument(1).c_str(), nullptr, 10));
        return "ok";
    }
    if (command == "module")
        return "ok " + loadedModule();
    if (command == "hooks")
        return "ok " + std::to_string(MSHookCount());
    return "error unknown command: " + line;
}

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
    // The app's own classes exist before anything is traced or injected.
    registerFamily(familyForGeneration(options.major));
    installTracePrinter("Camera", options.verbose);
    device::registerProcess("Camera", "com.apple.camera");
    {
        AutoreleasePool pool;
        device::injectLibraries("com.apple.camera", "Camera");
        launchCamera();
        RunLoop::main().runPending();
    }

    std::string line;
    while (readLine(options.controlFd, line)) {
        if (line == "quit")
            break;
        std::string reply;
        {
            AutoreleasePool pool;
            reply = handle(line);
        }
        writeLine(options.controlFd, reply);
    }
    device::unregisterProcess();
    std::fflush(stdout);
    // The app's objects and the injected libraries' globals are not torn
    // down: a process that ends just ends.
    ::_exit(0);
}

} // namespace camera
