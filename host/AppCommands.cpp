// The Camera app's commands: what a person does with the camera, and the
// device faults a scenario may cause, on the runner's request. The
// expectations are in AppExpectations.cpp.
#include "host/AppCommands.h"

#include "device/Trace.h"
#include "dispatch/RunLoop.h"
#include "host/CameraActions.h"
#include "host/CameraApp.h"
#include "host/CameraClasses.h"
#include "host/CameraInspection.h"
#include "host/Families.h"
#include "host/LiveApp.h"
#include "host/Screenshot.h"
#include "uikit/UIApplication.h"
#include "uikit/UIKitSimulator.h"
#include "uikit/UITableView.h"
#include "uikit/UIWindow.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace camera {

namespace {

constexpr int kLargestBurst = 999;

CommandResult fromError(const std::string& error)
{
    return error.empty() ? CommandResult::ok() : CommandResult::error(error);
}

std::string replyLine(const CommandResult& result)
{
    std::string message = result.message;
    for (char& c : message) {
        if (c == '\n' || c == '\r')
            c = ' ';
    }
    switch (result.status) {
    case CommandResult::Status::Ok:
        return message.empty() ? "ok" : "ok " + message;
    case CommandResult::Status::Failed:
        return "fail " + message;
    case CommandResult::Status::Error:
        break;
    }
    return "error " + message;
}

// The camera's capture devices that have a torch.
template <typename Function>
void forEachTorch(Function function)
{
    for (AVCaptureDevice* device : { model().rearDevice.ptr(), model().frontDevice.ptr() }) {
        if (device->hasTorch())
            function(device);
    }
}

} // namespace

std::string handleCommand(const std::string& line)
{
    if (line == "sync") {
        RunLoop::main().runPending();
        return "ok";
    }
    if (line.starts_with("time ")) {
        RunLoop::main().runUntil(std::strtoull(line.c_str() + 5, nullptr, 10));
        return "ok";
    }
    if (auto reply = handleLiveRequest(line))
        return *reply;
    auto resolved = resolveCommand(line);
    if (!resolved.row)
        return replyLine(resolved.error.empty() ? CommandResult::ok() : CommandResult::error(resolved.error));
    const CommandRow& row = *resolved.row;
    if (row.kind != CommandRow::Kind::Camera)
        return replyLine(CommandResult::error("not a command for the Camera: " + line));
    int generation = currentFamily().generation;
    if (!row.appliesTo(generation)) {
        return replyLine(CommandResult::error(std::string(row.name) + " applies to " + describeGenerations(row.generations)
            + ", and this Camera is of iOS " + std::to_string(generation)));
    }
    return replyLine(row.onCamera(resolved.arguments));
}

// Tells the trace when a popover comes or goes.
void notePopoverChange()
{
    static bool shown = false;
    UIView* chrome = popoverView();
    if (static_cast<bool>(chrome) == shown)
        return;
    shown = chrome;
    if (!chrome) {
        device::trace(device::TraceKind::UI, "popover dismissed");
        return;
    }
    UIKitSimulator::layoutWindows();
    CGRect frame = chrome->frame();
    NSUInteger direction = objc_msgSend<NSUInteger>(chrome, "arrowDirection"_sel);
    const char* arrow = direction == 1 ? "up" : direction == 2 ? "down"
        : direction == 4                                       ? "left"
        : direction == 8                                       ? "right"
                                                               : "none";
    UITableView* table = popoverTable(chrome);
    device::tracef(device::TraceKind::UI, "popover shown at (%g, %g, %g x %g), arrow %s, %ld rows", frame.origin.x, frame.origin.y, frame.size.width,
        frame.size.height, arrow, static_cast<long>(table ? table->numberOfRowsInSection(0) : 0));
}

namespace commands {

// MARK: Device faults

CommandResult setTorchAvailability(const CommandArguments& arguments)
{
    bool available = arguments.word(0) == "available";
    device::tracef(device::TraceKind::Camera, "the torch becomes %s", available ? "available" : "unavailable");
    forEachTorch([&](AVCaptureDevice* device) { device->setTorchAvailable(available); });
    RunLoop::main().runPending();
    return CommandResult::ok();
}

CommandResult setLockRefusal(const CommandArguments& arguments)
{
    bool refuse = arguments.word(0) == "refuse";
    device::tracef(device::TraceKind::Camera, "the capture device %s its configuration lock", refuse ? "refuses" : "grants");
    for (AVCaptureDevice* device : { model().rearDevice.ptr(), model().frontDevice.ptr() })
        device->setLockRefused(refuse);
    return CommandResult::ok();
}

CommandResult setThermalLimit(const CommandArguments& arguments)
{
    float level = 1.0f;
    if (arguments.word(0) != "none") {
        double requested = arguments.number(0);
        if (!(requested > 0 && requested <= 1))
            return CommandResult::error("the torch's highest level lies in (0, 1], not " + arguments.word(0));
        level = static_cast<float>(requested);
    }
    if (level < 1.0f)
        device::tracef(device::TraceKind::Camera, "the torch is hot: it accepts levels up to %g", static_cast<double>(level));
    else
        device::trace(device::TraceKind::Camera, "the torch has cooled down");
    forEachTorch([&](AVCaptureDevice* device) { device->setMaxAvailableTorchLevel(level); });
    RunLoop::main().runPending();
    return CommandResult::ok();
}

// MARK: The camera

CommandResult changeMode(const CommandArguments& arguments)
{
    return fromError(camera::changeMode(arguments.word(0)));
}

CommandResult switchCamera(const CommandArguments& arguments)
{
    return fromError(camera::switchCamera(arguments.word(0)));
}

CommandResult updateFlashMode(const CommandArguments&)
{
    device::trace(device::TraceKind::Camera, "flash mode update");
    objc_msgSend<void>(cameraView(), "_updateFlashModeIfNecessary"_sel);
    return CommandResult::ok();
}

CommandResult setFlashMode(const CommandArguments& arguments)
{
    return fromError(camera::setFlashMode(arguments.word(0)));
}

CommandResult setFlashOptions(const CommandArguments& arguments)
{
    return fromError(camera::setFlashOptionsExpanded(arguments.word(0)));
}

CommandResult takePhoto(const CommandArguments&)
{
    return fromError(camera::takePhoto());
}

CommandResult takeBurst(const CommandArguments& arguments)
{
    double count = arguments.number(0);
    if (count < 1 || count > kLargestBurst)
        return CommandResult::error("a burst has 1 to " + std::to_string(kLargestBurst) + " photos, not " + arguments.word(0));
    return fromError(camera::takeBurst(static_cast<int>(count)));
}

CommandResult startTimer(const CommandArguments&)
{
    return fromError(camera::startTimerPhoto());
}

CommandResult stopTimer(const CommandArguments&)
{
    return fromError(camera::stopTimer());
}

CommandResult record(const CommandArguments& arguments)
{
    return fromError(camera::record(arguments.word(0)));
}

CommandResult rotate(const CommandArguments& arguments)
{
    return fromError(camera::rotate(arguments.word(0)));
}

CommandResult tapDot(const CommandArguments&)
{
    UIView* dot = torchButton();
    if (!dot)
        return CommandResult::error("there is no torch button on the top bar");
    if (!isShown(dot))
        return CommandResult::error("the torch button is hidden");
    device::trace(device::TraceKind::UI, "tap on the torch button");
    UIKitSimulator::tapView(dot);
    RunLoop::main().runPending();
    return CommandResult::ok();
}

// A finger on the screen at the corner farthest from the popover, lifted
// again (a tap) or kept down.
CommandResult touchOutsidePopover(bool lift)
{
    UIView* chrome = popoverView();
    if (!chrome)
        return CommandResult::error("no popover is shown");
    UIWindow* window = UIApplication::sharedApplication()->keyWindow();
    CGRect bounds = window->bounds();
    CGRect frame = chrome->frame();
    CGPoint best = CGPointZero;
    double bestDistance = -1;
    for (CGPoint corner : { CGPointMake(8, 80), CGPointMake(bounds.size.width - 8, 80), CGPointMake(8, bounds.size.height - 140),
             CGPointMake(bounds.size.width - 8, bounds.size.height - 140) }) {
        double distance = std::hypot(corner.x - CGRectGetMidX(frame), corner.y - CGRectGetMidY(frame));
        if (distance > bestDistance) {
            bestDistance = distance;
            best = corner;
        }
    }
    if (lift) {
        device::tracef(device::TraceKind::UI, "tap outside the popover at (%g, %g)", best.x, best.y);
        UIKitSimulator::tap(window, best);
    } else {
        device::tracef(device::TraceKind::UI, "finger down outside the popover at (%g, %g)", best.x, best.y);
        UIKitSimulator::touchDown(window, best);
    }
    RunLoop::main().runPending();
    return CommandResult::ok();
}

CommandResult tapOutside(const CommandArguments&)
{
    return touchOutsidePopover(true);
}

CommandResult pressOutside(const CommandArguments&)
{
    return touchOutsidePopover(false);
}

CommandResult flipSwitch(const CommandArguments& arguments)
{
    const std::string& state = arguments.word(0);
    auto* control = static_cast<UISwitch*>(shownControl(UISwitch::staticClass()));
    if (!control)
        return CommandResult::error("no switch is shown");
    if (control->isOn() != (state == "on")) {
        device::tracef(device::TraceKind::UI, "switch %s", state.c_str());
        UIKitSimulator::tapView(control);
        RunLoop::main().runPending();
    }
    if (control->isOn() != (state == "on"))
        return CommandResult::error("the switch did not turn " + state);
    return CommandResult::ok();
}

CommandResult dragSlider(const CommandArguments& arguments)
{
    float value = static_cast<float>(arguments.number(0));
    auto* slider = static_cast<UISlider*>(shownControl(UISlider::staticClass()));
    if (!slider)
        return CommandResult::error("no slider is shown");
    if (!slider->isEnabled())
        return CommandResult::error("the slider is disabled");
    if (!(value >= slider->minimumValue() && value <= slider->maximumValue())) {
        char range[160];
        std::snprintf(range, sizeof range, "%s is outside the slider's range, %g to %g", arguments.word(0).c_str(), slider->minimumValue(), slider->maximumValue());
        return CommandResult::error(range);
    }
    device::tracef(device::TraceKind::UI, "slider dragged to %g", static_cast<double>(value));
    if (!UIKitSimulator::dragSlider(slider, value))
        return CommandResult::error("the slider could not be dragged");
    RunLoop::main().runPending();
    return CommandResult::ok();
}

CommandResult pressSlider(const CommandArguments&)
{
    auto* slider = static_cast<UISlider*>(shownControl(UISlider::staticClass()));
    if (!slider)
        return CommandResult::error("no slider is shown");
    if (!slider->isEnabled())
        return CommandResult::error("the slider is disabled");
    UIKitSimulator::layoutWindows();
    CGRect thumb = slider->thumbRect();
    CGPoint point = slider->convertPointToView(CGPointMake(CGRectGetMidX(thumb), CGRectGetMidY(thumb)), nullptr);
    device::trace(device::TraceKind::UI, "finger down on the slider");
    UIKitSimulator::touchDown(slider->window(), point);
    RunLoop::main().runPending();
    if (!slider->isTracking())
        return CommandResult::error("the slider did not take the touch");
    return CommandResult::ok();
}

CommandResult release(const CommandArguments&)
{
    if (!UIKitSimulator::isTouching())
        return CommandResult::error("no finger is down");
    device::trace(device::TraceKind::UI, "finger lifted");
    UIKitSimulator::touchUp();
    RunLoop::main().runPending();
    return CommandResult::ok();
}

CommandResult showSettings(const CommandArguments& arguments)
{
    Model& camera = model();
    if (arguments.size()) {
        camera.settingsGrid = camera.settingsHDR = camera.settingsPanorama = false;
        for (const auto& row : arguments.words()) {
            camera.settingsGrid |= row == "grid";
            camera.settingsHDR |= row == "hdr";
            camera.settingsPanorama |= row == "pano";
        }
    }
    objc_msgSend<void>(cameraView(), "_showSettings:sender:"_sel, YES, static_cast<id>(nullptr));
    return CommandResult::ok();
}

CommandResult hideSettings(const CommandArguments&)
{
    objc_msgSend<void>(cameraView(), "_showSettings:sender:"_sel, NO, static_cast<id>(nullptr));
    return CommandResult::ok();
}

CommandResult hideSettingsInPlace(const CommandArguments&)
{
    model().settingsPanelStaysOnHide = true;
    objc_msgSend<void>(cameraView(), "_showSettings:sender:"_sel, NO, static_cast<id>(nullptr));
    model().settingsPanelStaysOnHide = false;
    return CommandResult::ok();
}

CommandResult screenshot(const CommandArguments& arguments)
{
    std::filesystem::path path = arguments.word(0);
    if (path.is_relative() && !screenshotFolder().empty())
        path = screenshotFolder() / path;
    return fromError(takeScreenshot(path.string()));
}

} // namespace commands

} // namespace camera
