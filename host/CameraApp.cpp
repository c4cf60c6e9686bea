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

void launchInterface()
{
    auto& state = app();
    state.controller = CaptureController::sharedInstance();
    state.cameraView = CameraView::create(CGRectMake(0, 0, 375, 667));
    state.controller->setDelegate(state.cameraView.get());

    id view = state.cameraView.get();
    objc_msgSend<void>(view, "_createDefaultControlsIfNecessary"_sel);
    objc_msgSend<void>(view, "_updateEnabledControlsWithReason:forceLog:"_sel, "launch"_ns, NO);
    objc_msgSend<void>(view, "_showControlsForChangeToMode:animated:"_sel, model().mode, NO);
    objc_msgSend<void>(view, "cameraControllerPreviewDidStart:"_sel, static_cast<id>(state.controller));
}

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
    // The app's own classes exist before anything is traced or injected.
    registerFamily(familyForGeneration(options.major));
    installTracePrinter("Camera", options.verbose);
    device::registerProcess("Camera", "com.apple.camera");
    {
        AutoreleasePool pool;
        device::injectLibraries("com.apple.camera", "Camera");
        launchInterface();
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
