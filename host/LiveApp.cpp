// The running Camera app's side of the live view.
#include "host/LiveApp.h"

#include "device/Trace.h"
#include "dispatch/RunLoop.h"
#include "host/AppCommands.h"
#include "host/CameraActions.h"
#include "host/CameraApp.h"
#include "host/CameraClasses.h"
#include "host/CameraInspection.h"
#include "host/Families.h"
#include "host/Json.h"
#include "host/LiveFrames.h"
#include "uikit/UIApplication.h"
#include "uikit/UIKitSimulator.h"
#include "uikit/UIRendering.h"
#include "uikit/UITableView.h"
#include "uikit/UIWindow.h"

#include <chrono>
#include <cmath>
#include <sstream>
#include <vector>

namespace camera {

namespace {

constexpr CGFloat kFrameScale = 2;

std::string formatPoint(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

// The control a view belongs to: the view or its nearest ancestor of cls.
UIView* enclosing(UIView* view, Class cls)
{
    for (; view; view = view->superview()) {
        if (cls && class_isSubclassOf(object_getClass(view), cls))
            return view;
    }
    return nullptr;
}

const char* flashName(NSInteger mode)
{
    return mode == FlashOn ? "on" : mode == FlashOff ? "off"
                                                     : "auto";
}

const char* nextFlashMode(NSInteger mode)
{
    return mode == FlashAuto ? "on" : mode == FlashOn ? "off"
                                                      : "auto";
}

// The shutter: a photo in a still mode, recording started or stopped in a
// video mode.
CommandResult pressShutter()
{
    if (isVideoMode(model().mode)) {
        const char* state = model().recording ? "stop" : "start";
        auto error = record(state);
        return error.empty() ? CommandResult::ok(std::string("record ") + state) : CommandResult::error(error);
    }
    auto error = takePhoto();
    return error.empty() ? CommandResult::ok("photo") : CommandResult::error(error);
}

std::string frameOf(UIView* view)
{
    CGRect frame = view->convertRectToView(view->bounds(), nullptr);
    return "[" + json::number(frame.origin.x) + "," + json::number(frame.origin.y) + "," + json::number(frame.size.width) + ","
        + json::number(frame.size.height) + "]";
}

// What the last tap at a point stood for.
std::string& lastTap()
{
    static auto* meaning = new std::string;
    return *meaning;
}

CommandResult tapMeaning(const CommandArguments& arguments)
{
    double x = arguments.number(0), y = arguments.number(1);
    UIWindow* window = UIApplication::sharedApplication()->keyWindow();
    if (!window)
        return CommandResult::error("the Camera has no window");
    CGRect screen = window->bounds();
    if (x < 0 || y < 0 || x >= screen.size.width || y >= screen.size.height) {
        char text[160];
        std::snprintf(text, sizeof text, "the point (%g, %g) is off the screen (%g x %g points)", x, y, screen.size.width, screen.size.height);
        return CommandResult::error(text);
    }
    const std::string pointForm = "tap at " + formatPoint(x) + " " + formatPoint(y);
    UIView* dot = torchButton();
    auto* bar = static_cast<TopBar*>(objc_msgSend<id>(cameraView(), "_topBar"_sel));
    auto* shownSwitch = static_cast<UISwitch*>(shownControl(UISwitch::staticClass()));
    bool switchWasOn = shownSwitch && shownSwitch->isOn();

    device::tracef(device::TraceKind::UI, "tap at (%g, %g)", x, y);
    UIView* hit = UIKitSimulator::tap(window, CGPointMake(x, y));
    RunLoop::main().runPending();
    if (!hit)
        return CommandResult::ok(pointForm);

    // What the tap stands for, where a named command does the same.
    if (dot && hit->isDescendantOfView(dot))
        return CommandResult::ok("tap dot");
    if (auto* control = static_cast<UISwitch*>(enclosing(hit, UISwitch::staticClass()))) {
        if (control == shownSwitch && control->isOn() != switchWasOn)
            return CommandResult::ok(std::string("switch ") + (control->isOn() ? "on" : "off"));
        return CommandResult::ok(pointForm);
    }

    // The stock controls, which the simulated camera draws but leaves to
    // the app's taps.
    if (bar && bar->flashButton() && hit->isDescendantOfView(bar->flashButton())) {
        const char* mode = nextFlashMode(model().flashMode);
        auto error = setFlashMode(mode);
        return error.empty() ? CommandResult::ok(std::string("flash ") + mode) : CommandResult::error(error);
    }
    if (bar && bar->flipButton() && hit->isDescendantOfView(bar->flipButton())) {
        const char* which = model().device == DeviceRear ? "front" : "rear";
        auto error = switchCamera(which);
        return error.empty() ? CommandResult::ok(std::string("camera ") + which) : CommandResult::error(error);
    }
    if (UIView* shutter = enclosing(hit, classes().shutterButton); shutter && shutter != dot)
        return pressShutter();
    if (hit == cameraView()) {
        auto* view = static_cast<CameraView*>(hit);
        CGPoint point = view->convertPointFromView(CGPointMake(x, y), nullptr);
        if (view->drawnShutterContains(point))
            return pressShutter();
        NSInteger mode;
        if (view->modeOnDialAt(point, mode) && mode != model().mode) {
            auto error = changeMode(modeName(mode));
            return error.empty() ? CommandResult::ok(std::string("mode ") + modeName(mode)) : CommandResult::error(error);
        }
    }
    return CommandResult::ok(pointForm);
}

} // namespace

namespace commands {

CommandResult tapAt(const CommandArguments& arguments)
{
    auto result = tapMeaning(arguments);
    lastTap() = result.isOk() ? result.message : std::string();
    return result.isOk() ? CommandResult::ok() : result;
}

} // namespace commands

namespace {

double millisecondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

std::string frame(bool full, bool png)
{
    UIWindow* window = UIApplication::sharedApplication()->keyWindow();
    if (!window)
        return "error the Camera has no window";
    static auto* encoder = [] {
        // Each frame draws into images of the screen's size that the frames
        // before let go of.
        liveframes::keepLargeBuffers();
        return new liveframes::Encoder;
    }();
    auto start = std::chrono::steady_clock::now();
    auto image = UIRendering::renderWindow(window, kFrameScale);
    double rendered = millisecondsSince(start);
    auto encoding = std::chrono::steady_clock::now();
    std::string message = encoder->encode(std::move(image), full, png ? liveframes::Encoder::NewRows::PNG : liveframes::Encoder::NewRows::Pixels);
    double encoded = millisecondsSince(encoding);
    if (message.empty())
        return "ok 0";
    char header[96];
    std::snprintf(header, sizeof header, "ok %zu %.2f %.2f\n", message.size(), rendered, encoded);
    return header + message;
}

std::string state()
{
    UIKitSimulator::layoutWindows();
    const Model& camera = model();
    AVCaptureDevice* rear = camera.rearDevice.ptr();
    std::string out = "{\"module\":" + json::quote(loadedModule());
    out += ",\"generation\":" + std::to_string(currentFamily().generation);
    out += ",\"torch\":{\"level\":" + json::number(rear->torchLevel()) + ",\"available\":" + (rear->isTorchAvailable() ? "true" : "false")
        + ",\"hasTorch\":" + (rear->hasTorch() ? "true" : "false") + ",\"maxLevel\":" + json::number(rear->maxAvailableTorchLevel())
        + ",\"locked\":" + (rear->isLockedForConfiguration() ? "true" : "false") + "}";
    out += ",\"camera\":{\"mode\":" + json::quote(modeName(camera.mode)) + ",\"device\":" + (camera.device == DeviceRear ? "\"rear\"" : "\"front\"")
        + ",\"flash\":" + json::quote(flashName(camera.flashMode))
        + ",\"rotation\":" + json::quote(camera.orientation) + ",\"recording\":" + (camera.recording ? "true" : "false")
        + ",\"timer\":" + (camera.timedCapture ? "true" : "false") + ",\"rearFlash\":" + (camera.flashSupported(DeviceRear) ? "true" : "false")
        + ",\"frontFlash\":" + (camera.flashSupported(DeviceFront) ? "true" : "false") + ",\"photos\":" + std::to_string(camera.photosTaken) + "}";

    UIView* dot = torchButton();
    out += ",\"dot\":" + std::string(!dot ? "\"absent\"" : isShown(dot) ? "\"shown\""
                                                                        : "\"hidden\"");
    out += ",\"dotFrame\":" + (dot ? frameOf(dot) : std::string("null"));
    if (UIView* chrome = popoverView()) {
        UITableView* table = popoverTable(chrome);
        out += ",\"popover\":{\"rows\":" + std::to_string(table ? table->numberOfRowsInSection(0) : 0) + ",\"frame\":" + frameOf(chrome) + "}";
    } else {
        out += ",\"popover\":null";
    }
    if (auto* slider = static_cast<UISlider*>(shownControl(UISlider::staticClass()))) {
        CGRect track = slider->bounds();
        CGFloat low = slider->thumbCenterForValue(slider->minimumValue());
        CGFloat high = slider->thumbCenterForValue(slider->maximumValue());
        CGPoint start = slider->convertPointToView(CGPointMake(low, CGRectGetMidY(track)), nullptr);
        CGPoint end = slider->convertPointToView(CGPointMake(high, CGRectGetMidY(track)), nullptr);
        out += ",\"slider\":{\"value\":" + json::number(slider->value()) + ",\"min\":" + json::number(slider->minimumValue())
            + ",\"max\":" + json::number(slider->maximumValue()) + ",\"enabled\":" + (slider->isEnabled() ? "true" : "false")
            + ",\"frame\":" + frameOf(slider) + ",\"track\":[" + json::number(start.x) + "," + json::number(start.y) + ","
            + json::number(end.x) + "," + json::number(end.y) + "]}";
    } else {
        out += ",\"slider\":null";
    }
    if (auto* control = static_cast<UISwitch*>(shownControl(UISwitch::staticClass())))
        out += ",\"switch\":{\"on\":" + std::string(control->isOn() ? "true" : "false") + ",\"frame\":" + frameOf(control) + "}";
    else
        out += ",\"switch\":null";
    auto* view = static_cast<CameraView*>(cameraView());
    out += ",\"settingsPanel\":" + std::string(view && view->settingsPanel() ? "true" : "false");
    out += "}";
    return "ok " + out;
}

} // namespace

std::optional<std::string> handleLiveRequest(const std::string& line)
{
    if (!line.starts_with("live-"))
        return std::nullopt;
    std::istringstream in(line);
    std::vector<std::string> words;
    for (std::string word; in >> word;)
        words.push_back(word);
    if (words[0] == "live-frame") {
        bool full = false, png = false;
        for (size_t i = 1; i < words.size(); ++i) {
            full |= words[i] == "full";
            png |= words[i] == "png";
        }
        return frame(full, png);
    }
    if (words[0] == "live-state")
        return state();
    if (words[0] == "live-expect") {
        // The expectations that hold now, separated by semicolons.
        float level = model().rearDevice->torchLevel();
        char torch[64];
        if (level > 0)
            std::snprintf(torch, sizeof torch, "expect torch on %.6g", static_cast<double>(level));
        else
            std::snprintf(torch, sizeof torch, "expect torch off");
        std::string popover = "expect popover hidden";
        if (UIView* chrome = popoverView()) {
            UITableView* table = popoverTable(chrome);
            popover = "expect popover shown;expect popover rows " + std::to_string(table ? table->numberOfRowsInSection(0) : 0);
        }
        return "ok " + std::string(torch) + ";" + popover;
    }
    if (words[0] == "live-tap")
        return "ok " + lastTap();
    if (words[0] == "live-next") {
        auto next = RunLoop::main().nextTaskTime();
        return next ? "ok " + std::to_string(*next) : std::string("ok none");
    }
    return std::nullopt;
}

} // namespace camera
