// The Camera app's expectations: what a scenario checks of the running
// camera, each failing with the value it found ("actual ...").
#include "host/AppCommands.h"

#include "host/CameraApp.h"
#include "host/CameraClasses.h"
#include "host/CameraInspection.h"
#include "runtime/substrate.h"
#include "uikit/CALayer.h"
#include "uikit/UIColor.h"
#include "uikit/UIKitSimulator.h"
#include "uikit/UITableView.h"

#include <cmath>
#include <cstdio>

namespace camera {

namespace {

std::string format(const char* format, auto... values)
{
    char text[256];
    std::snprintf(text, sizeof text, format, values...);
    return text;
}

CommandResult expectThat(bool holds, const std::string& actual)
{
    return holds ? CommandResult::ok() : CommandResult::failed("actual " + actual);
}

bool near(double actual, double expected, double tolerance)
{
    return std::fabs(actual - expected) <= tolerance;
}

std::string describeFrame(CGRect frame)
{
    return format("%g %g %g %g", frame.origin.x, frame.origin.y, frame.size.width, frame.size.height);
}

CommandResult expectFrame(CGRect frame, const CommandArguments& arguments, double tolerance)
{
    bool same = near(frame.origin.x, arguments.number(0), tolerance) && near(frame.origin.y, arguments.number(1), tolerance)
        && near(frame.size.width, arguments.number(2), tolerance) && near(frame.size.height, arguments.number(3), tolerance);
    return expectThat(same, describeFrame(frame));
}

RGBA expectedColour(const CommandArguments& arguments)
{
    return { arguments.number(0), arguments.number(1), arguments.number(2), arguments.number(3) };
}

CommandResult expectColour(id colour, const CommandArguments& arguments)
{
    return expectThat(colourMatches(colour, expectedColour(arguments)), describeColour(colour));
}

const char* arrowName(NSUInteger direction)
{
    switch (direction) {
    case 1:
        return "up";
    case 2:
        return "down";
    case 4:
        return "left";
    case 8:
        return "right";
    case 16:
        return "none";
    }
    return "unknown";
}

// Every expectation about the torch button needs it.
template <typename Check>
CommandResult withTorchButton(Check check)
{
    UIKitSimulator::layoutWindows();
    UIView* dot = torchButton();
    if (!dot)
        return CommandResult::failed("actual no torch button on the top bar");
    return check(static_cast<UIControl*>(dot));
}

// And every expectation about the popover, a popover that is shown.
template <typename Check>
CommandResult withPopover(Check check)
{
    UIKitSimulator::layoutWindows();
    UIView* chrome = popoverView();
    if (!chrome)
        return CommandResult::failed("actual no popover is shown");
    return check(chrome);
}

template <typename Control, typename Check>
CommandResult withShownControl(const char* what, Check check)
{
    auto* control = static_cast<Control*>(shownControl(Control::staticClass()));
    if (!control)
        return CommandResult::failed(std::string("actual no ") + what + " is shown");
    return check(control);
}

template <typename Check>
CommandResult withTorchRow(const std::string& which, Check check)
{
    SettingsRow* row = settingsRow(which == "mode" ? "Torch Mode" : "Torch Level");
    if (!row)
        return CommandResult::failed("actual the settings panel has no torch " + which + " row");
    return check(row);
}

} // namespace

namespace commands {

// MARK: The module and the torch

CommandResult expectModule(const CommandArguments& arguments)
{
    std::string module = loadedModule();
    return expectThat(module == arguments.word(0), module);
}

CommandResult expectHooks(const CommandArguments& arguments)
{
    size_t hooks = MSHookCount();
    return expectThat((hooks > 0) == (arguments.word(0) == "installed"), std::to_string(hooks) + " hooks installed");
}

CommandResult expectTorchOff(const CommandArguments&)
{
    float level = model().currentDevice()->torchLevel();
    return expectThat(level <= 0, format("on at %g", static_cast<double>(level)));
}

CommandResult expectTorchOn(const CommandArguments& arguments)
{
    float level = model().currentDevice()->torchLevel();
    if (level <= 0)
        return CommandResult::failed("actual off");
    return expectThat(!arguments.has(0) || near(level, arguments.number(0), 1e-6), format("on at %g", static_cast<double>(level)));
}

CommandResult expectDeviceLock(const CommandArguments& arguments)
{
    AVCaptureDevice* current = model().currentDevice();
    if (arguments.word(0) == "locked")
        return expectThat(current->isLockedForConfiguration(), "unlocked");
    // No device of the camera is left locked, the current one or not.
    for (AVCaptureDevice* device : { model().rearDevice.ptr(), model().frontDevice.ptr() }) {
        if (device->isLockedForConfiguration())
            return CommandResult::failed("actual the " + device->localizedName()->string() + " is locked");
    }
    return CommandResult::ok();
}

// MARK: The torch button

CommandResult expectDot(const CommandArguments& arguments)
{
    const std::string& what = arguments.word(0);
    if (what == "absent")
        return expectThat(!torchButton(), "a torch button on the top bar");
    return withTorchButton([&](UIControl* dot) {
        if (what == "hidden" || what == "shown")
            return expectThat(isShown(dot) == (what == "shown"), isShown(dot) ? "shown" : "hidden");
        return expectThat(dot->isEnabled() == (what == "enabled"), dot->isEnabled() ? "enabled" : "disabled");
    });
}

CommandResult expectDotLeftOfFlip(const CommandArguments&)
{
    return withTorchButton([](UIControl* dot) {
        CGRect frame = dot->frame();
        CGRect flip = static_cast<TopBar*>(dot->superview())->flipButton()->frame();
        bool beside = CGRectGetMaxX(frame) <= CGRectGetMinX(flip) + 1e-9 && CGRectGetMaxX(frame) > CGRectGetMinX(flip) - 8;
        return expectThat(beside, format("the torch button ends at x = %g, the flip button starts at x = %g", CGRectGetMaxX(frame), CGRectGetMinX(flip)));
    });
}

CommandResult expectDotRightOfFlash(const CommandArguments&)
{
    return withTorchButton([](UIControl* dot) {
        CGRect frame = dot->frame();
        CGRect flash = static_cast<TopBar*>(dot->superview())->flashButton()->frame();
        bool beside = CGRectGetMinX(frame) >= CGRectGetMaxX(flash) - 1e-9 && CGRectGetMinX(frame) < CGRectGetMaxX(flash) + 8;
        return expectThat(beside,
            format("the torch button starts at x = %g, the flash button ends at x = %g", CGRectGetMinX(frame), CGRectGetMaxX(flash)));
    });
}

CommandResult expectDotFrame(const CommandArguments& arguments)
{
    return withTorchButton([&](UIControl* dot) { return expectFrame(dot->frame(), arguments, 1e-4); });
}

CommandResult expectDotRingHidden(const CommandArguments&)
{
    return withTorchButton([](UIControl* dot) {
        auto* ring = static_cast<UIView*>(instanceVariable(dot, "__outerView"));
        if (!ring)
            return CommandResult::failed("actual no ring");
        return expectThat(ring->isHidden(), format("shown, %g wide", ring->layer()->borderWidth()));
    });
}

CommandResult expectDotRingWidth(const CommandArguments& arguments)
{
    return withTorchButton([&](UIControl* dot) {
        auto* ring = static_cast<UIView*>(instanceVariable(dot, "__outerView"));
        if (!ring || ring->isHidden())
            return CommandResult::failed(ring ? "actual hidden" : "actual no ring");
        double width = ring->layer()->borderWidth();
        return expectThat(near(width, arguments.number(1), 1e-6), format("%g", width));
    });
}

CommandResult expectDotColour(const CommandArguments& arguments)
{
    return withTorchButton([&](UIControl* dot) {
        auto* centre = static_cast<UIView*>(instanceVariable(dot, "__innerView"));
        return expectColour(centre ? centre->backgroundColor() : nullptr, arguments);
    });
}

CommandResult expectGlobal(const CommandArguments& arguments)
{
    const std::string& name = arguments.word(0);
    auto symbol = moduleSymbol(name.c_str());
    if (!symbol)
        return CommandResult::error("the module loaded (" + loadedModule() + ") exports no " + name);
    // The object globals hold one pointer (a plain id or a strong reference
    // to the object); prevent is a BOOL.
    bool set = name == "prevent" ? *static_cast<BOOL*>(*symbol) != NO : *static_cast<void**>(*symbol) != nullptr;
    return expectThat(set == (arguments.word(1) == "set"), set ? "set" : "nil");
}

// MARK: The popover

CommandResult expectPopover(const CommandArguments& arguments)
{
    UIKitSimulator::layoutWindows();
    bool shown = popoverView();
    return expectThat(shown == (arguments.word(0) == "shown"), shown ? "shown" : "hidden");
}

CommandResult expectPopoverRows(const CommandArguments& arguments)
{
    return withPopover([&](UIView* chrome) {
        UITableView* table = popoverTable(chrome);
        NSInteger rows = table ? table->numberOfRowsInSection(0) : 0;
        return expectThat(rows == static_cast<NSInteger>(arguments.number(0)), std::to_string(rows));
    });
}

CommandResult expectPopoverSize(const CommandArguments& arguments)
{
    return withPopover([&](UIView* chrome) {
        // The content size the popover was given (its content view may be a
        // point larger, as the chrome's frame is rounded out to whole points).
        id controller = objc_msgSend<id>(chrome, "delegate"_sel);
        CGSize size = objc_msgSend<CGSize>(controller, "popoverContentSize"_sel);
        return expectThat(near(size.width, arguments.number(0), 1e-6) && near(size.height, arguments.number(1), 1e-6),
            format("%g %g", size.width, size.height));
    });
}

CommandResult expectPopoverArrow(const CommandArguments& arguments)
{
    return withPopover([&](UIView* chrome) {
        const char* name = arrowName(objc_msgSend<NSUInteger>(chrome, "arrowDirection"_sel));
        return expectThat(arguments.word(0) == name, name);
    });
}

CommandResult expectPopoverFrame(const CommandArguments& arguments)
{
    return withPopover([&](UIView* chrome) { return expectFrame(chrome->frame(), arguments, 1e-6); });
}

CommandResult expectPopoverFill(const CommandArguments& arguments)
{
    return withPopover([&](UIView* chrome) {
        // The chrome fills with a gradient from the top colour to the bottom one.
        id top = objc_msgSend<id>(chrome, "fillTopColor"_sel);
        id bottom = objc_msgSend<id>(chrome, "fillBottomColor"_sel);
        RGBA expected = expectedColour(arguments);
        if (colourMatches(top, expected) && colourMatches(bottom, expected))
            return CommandResult::ok();
        if (describeColour(top) == describeColour(bottom))
            return CommandResult::failed("actual " + describeColour(top));
        return CommandResult::failed("actual a gradient from " + describeColour(top) + " to " + describeColour(bottom));
    });
}

CommandResult expectPopoverStroke(const CommandArguments& arguments)
{
    return withPopover([&](UIView* chrome) { return expectColour(objc_msgSend<id>(chrome, "innerStrokeColor"_sel), arguments); });
}

CommandResult expectCellBackground(const CommandArguments& arguments)
{
    return withPopover([&](UIView* chrome) {
        UITableView* table = popoverTable(chrome);
        auto cells = table ? table->visibleCells() : NSArray::create();
        if (!cells->count())
            return CommandResult::failed("actual the list shows no cells");
        for (NSUInteger i = 0; i < cells->count(); ++i) {
            auto* cell = static_cast<UIView*>(cells->objectAtIndex(i));
            if (!colourMatches(cell->backgroundColor(), expectedColour(arguments)))
                return CommandResult::failed("actual " + describeColour(cell->backgroundColor()) + " (row " + std::to_string(i) + ")");
        }
        return CommandResult::ok();
    });
}

// MARK: The controls that are shown

CommandResult expectSliderValue(const CommandArguments& arguments)
{
    return withShownControl<UISlider>("slider", [&](UISlider* slider) {
        return expectThat(near(slider->value(), arguments.number(0), 1e-6), format("%g", static_cast<double>(slider->value())));
    });
}

CommandResult expectSliderRange(const CommandArguments& arguments)
{
    return withShownControl<UISlider>("slider", [&](UISlider* slider) {
        bool same = near(slider->minimumValue(), arguments.number(0), 1e-6) && near(slider->maximumValue(), arguments.number(1), 1e-6);
        return expectThat(same, format("%g %g", static_cast<double>(slider->minimumValue()), static_cast<double>(slider->maximumValue())));
    });
}

CommandResult expectSliderEnabled(const CommandArguments& arguments)
{
    return withShownControl<UISlider>("slider", [&](UISlider* slider) {
        return expectThat(slider->isEnabled() == (arguments.word(0) == "enabled"), slider->isEnabled() ? "enabled" : "disabled");
    });
}

CommandResult expectSwitch(const CommandArguments& arguments)
{
    return withShownControl<UISwitch>("switch", [&](UISwitch* control) {
        return expectThat(control->isOn() == (arguments.word(0) == "on"), control->isOn() ? "on" : "off");
    });
}

// MARK: iOS 6's settings panel

CommandResult expectRowShown(const CommandArguments& arguments)
{
    return withTorchRow(arguments.word(0), [&](SettingsRow* row) {
        bool hidden = row->isHidden() || (row->accessory() && row->accessory()->isHidden());
        return expectThat(hidden == (arguments.word(1) == "hidden"), hidden ? "hidden" : "shown");
    });
}

CommandResult expectRowY(const CommandArguments& arguments)
{
    return withTorchRow(arguments.word(0), [&](SettingsRow* row) {
        double y = row->frame().origin.y;
        return expectThat(near(y, arguments.number(2), 1e-6), format("%g", y));
    });
}

CommandResult expectRowAlpha(const CommandArguments& arguments)
{
    return withTorchRow(arguments.word(0), [&](SettingsRow* row) {
        double alpha = row->alpha();
        return expectThat(near(alpha, arguments.number(2), 1e-6), format("%g", alpha));
    });
}

CommandResult expectPanelHidden(const CommandArguments&)
{
    auto* view = static_cast<CameraView*>(cameraView());
    return expectThat(!view->settingsPanel(), "shown");
}

CommandResult expectPanelHeight(const CommandArguments& arguments)
{
    auto* view = static_cast<CameraView*>(cameraView());
    UIView* panel = view->settingsPanel();
    if (!panel)
        return CommandResult::failed("actual the settings panel is not shown");
    double height = panel->frame().size.height;
    return expectThat(near(height, arguments.number(0), 1e-6), format("%g", height));
}

} // namespace commands

} // namespace camera
