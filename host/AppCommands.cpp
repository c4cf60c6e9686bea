// The Camera app's commands: what the scenario runner asks the running app
// to do and to check, in the scenario language.
#include "host/AppCommands.h"

#include "device/Trace.h"
#include "dispatch/RunLoop.h"
#include "host/CameraActions.h"
#include "host/CameraApp.h"
#include "host/CameraClasses.h"
#include "host/Families.h"
#include "host/Screenshot.h"
#include "runtime/substrate.h"
#include "uikit/UIApplication.h"
#include "uikit/UIKitSimulator.h"
#include "uikit/UITableView.h"
#include "uikit/UIWindow.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <sstream>
#include <vector>

namespace camera {

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
    auto* bar = static_cast<UIView*>(objc_msgSend<id>(cameraView(), "_topBar"_sel));
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
    device::trace(device::TraceKind::UI, "tap on the torch button");
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
    if (what == "frame" && words.size() == 7) {
        double expected[4];
        for (int i = 0; i < 4; ++i)
            expected[i] = std::strtod(words[3 + i].c_str(), nullptr);
        std::snprintf(text, sizeof text, "fail the torch button's frame is (%g, %g, %g, %g)", frame.origin.x, frame.origin.y, frame.size.width, frame.size.height);
        bool same = std::fabs(frame.origin.x - expected[0]) < 1e-4 && std::fabs(frame.origin.y - expected[1]) < 1e-4
            && std::fabs(frame.size.width - expected[2]) < 1e-4 && std::fabs(frame.size.height - expected[3]) < 1e-4;
        return same ? "ok" : text;
    }
    return "error usage: expect dot hidden|shown|enabled|disabled|absent|left-of flip|right-of flash|frame X Y W H";
}

// The first shown control of a class in the key window, front-most first:
// the one a person would reach for.
UIView* shownControl(Class cls)
{
    std::function<UIView*(UIView*)> search = [&](UIView* view) -> UIView* {
        if (!view || view->isHidden() || view->alpha() < 0.01)
            return nullptr;
        auto subviews = view->subviews();
        for (auto it = subviews.rbegin(); it != subviews.rend(); ++it) {
            if (UIView* found = search(it->ptr()))
                return found;
        }
        return class_isSubclassOf(object_getClass(view), cls) ? view : nullptr;
    };
    return search(UIApplication::sharedApplication()->keyWindow());
}

std::string flipSwitch(const std::string& state)
{
    if (state != "on" && state != "off")
        return "error usage: switch on|off";
    auto* control = static_cast<UISwitch*>(shownControl(UISwitch::staticClass()));
    if (!control)
        return "error no switch is shown";
    if (control->isOn() != (state == "on")) {
        device::tracef(device::TraceKind::UI, "switch %s", state.c_str());
        UIKitSimulator::tapView(control);
        RunLoop::main().runPending();
    }
    return control->isOn() == (state == "on") ? "ok" : "error the switch did not turn " + state;
}

std::string dragSlider(const std::string& text)
{
    char* end = nullptr;
    float value = std::strtof(text.c_str(), &end);
    if (text.empty() || *end)
        return "error usage: slider VALUE";
    auto* slider = static_cast<UISlider*>(shownControl(UISlider::staticClass()));
    if (!slider)
        return "error no slider is shown";
    if (!slider->isEnabled())
        return "error the slider is disabled";
    device::tracef(device::TraceKind::UI, "slider dragged to %g", static_cast<double>(value));
    if (!UIKitSimulator::dragSlider(slider, value))
        return "error the slider could not be dragged";
    RunLoop::main().runPending();
    return "ok";
}

std::string showSettings(const std::vector<std::string>& words)
{
    if (currentFamily().generation != 6)
        return "error this camera has no settings panel (iOS 6 only)";
    if (words.size() >= 2 && words[1] == "hide") {
        objc_msgSend<void>(cameraView(), "_showSettings:sender:"_sel, NO, static_cast<id>(nullptr));
        return "ok";
    }
    if (words.size() < 2 || words[1] != "show")
        return "error usage: settings show [grid] [hdr] [pano] | settings hide";
    Model& camera = model();
    if (words.size() > 2) {
        camera.settingsGrid = camera.settingsHDR = camera.settingsPanorama = false;
        for (size_t i = 2; i < words.size(); ++i) {
            if (words[i] == "grid")
                camera.settingsGrid = true;
            else if (words[i] == "hdr")
                camera.settingsHDR = true;
            else if (words[i] == "pano")
                camera.settingsPanorama = true;
            else if (words[i] != "none")
                return "error unknown settings row " + words[i] + " (grid, hdr, pano, none)";
        }
    }
    objc_msgSend<void>(cameraView(), "_showSettings:sender:"_sel, YES, static_cast<id>(nullptr));
    return "ok";
}

// The torch rows of the iOS 6 settings panel, by their titles.
SettingsRow* settingsRow(const std::string& title)
{
    auto* view = static_cast<CameraView*>(cameraView());
    UIView* panel = view ? view->settingsPanel() : nullptr;
    if (!panel)
        return nullptr;
    for (const auto& subview : panel->subviews()) {
        if (object_getClass(subview.ptr()) != classes().settingsRow)
            continue;
        auto* row = static_cast<SettingsRow*>(subview.ptr());
        if (row->title() && row->title()->view() == title)
            return row;
    }
    return nullptr;
}

std::string expectPanel(const std::vector<std::string>& words)
{
    auto* view = static_cast<CameraView*>(cameraView());
    UIView* panel = view ? view->settingsPanel() : nullptr;
    char text[160];
    if (words[1] == "panel") {
        if (words.size() == 3 && words[2] == "hidden")
            return panel ? "fail the settings panel is shown" : "ok";
        if (!panel)
            return "fail the settings panel is not shown";
        if (words.size() == 4 && words[2] == "height") {
            double expected = std::strtod(words[3].c_str(), nullptr);
            std::snprintf(text, sizeof text, "fail the panel is %g high, expected %s", panel->frame().size.height, words[3].c_str());
            return std::fabs(panel->frame().size.height - expected) < 1e-6 ? "ok" : text;
        }
        return "error usage: expect panel hidden | expect panel height H";
    }
    // expect row mode|level y|alpha|hidden|shown [VALUE]
    if (words.size() < 4 || (words[2] != "mode" && words[2] != "level"))
        return "error usage: expect row mode|level y Y | alpha A | hidden | shown";
    SettingsRow* row = settingsRow(words[2] == "mode" ? "Torch Mode" : "Torch Level");
    if (!row)
        return "fail the settings panel has no torch " + words[2] + " row";
    const std::string& what = words[3];
    if (what == "hidden" || what == "shown") {
        bool hidden = row->isHidden() || (row->accessory() && row->accessory()->isHidden());
        return hidden == (what == "hidden") ? "ok" : "fail the torch " + words[2] + " row is " + (hidden ? "hidden" : "shown");
    }
    if (words.size() != 5)
        return "error usage: expect row mode|level y Y | alpha A | hidden | shown";
    double expected = std::strtod(words[4].c_str(), nullptr);
    double actual = what == "y" ? row->frame().origin.y : what == "alpha" ? row->alpha()
                                                                          : NAN;
    if (std::isnan(actual))
        return "error usage: expect row mode|level y Y | alpha A | hidden | shown";
    std::snprintf(text, sizeof text, "fail the torch %s row's %s is %g, expected %s", words[2].c_str(), what.c_str(), actual, words[4].c_str());
    return std::fabs(actual - expected) < 1e-6 ? "ok" : text;
}

// The popover's chrome view in the key window, if one is presented and not
// fading out.
UIView* popoverView()
{
    Class chrome = objc_getClass("QLZPopoverBackgroundView");
    UIWindow* window = UIApplication::sharedApplication()->keyWindow();
    if (!chrome || !window)
        return nullptr;
    for (const auto& view : window->subviews()) {
        if (class_isSubclassOf(object_getClass(view.ptr()), chrome) && isShown(view.ptr()))
            return view.ptr();
    }
    return nullptr;
}

UITableView* popoverTable(UIView* view)
{
    if (!view)
        return nullptr;
    if (class_isSubclassOf(object_getClass(view), UITableView::staticClass()))
        return static_cast<UITableView*>(view);
    for (const auto& subview : view->subviews()) {
        if (UITableView* table = popoverTable(subview.ptr()))
            return table;
    }
    return nullptr;
}

std::string tapOutside()
{
    UIView* chrome = popoverView();
    if (!chrome)
        return "error no popover is shown";
    UIWindow* window = UIApplication::sharedApplication()->keyWindow();
    // The corner of the screen farthest from the popover.
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
    device::tracef(device::TraceKind::UI, "tap outside the popover at (%g, %g)", best.x, best.y);
    UIKitSimulator::tap(window, best);
    RunLoop::main().runPending();
    return "ok";
}

std::string expectPopover(const std::vector<std::string>& words)
{
    UIKitSimulator::layoutWindows();
    UIView* chrome = popoverView();
    const std::string what = words.size() > 2 ? words[2] : "";
    char text[200];
    if (what == "hidden")
        return chrome ? "fail a popover is shown" : "ok";
    if (what == "shown")
        return chrome ? "ok" : "fail no popover is shown";
    if (!chrome)
        return "fail no popover is shown";
    UITableView* table = popoverTable(chrome);
    if (what == "rows" && words.size() == 4) {
        NSInteger rows = table ? table->numberOfRowsInSection(0) : 0;
        std::snprintf(text, sizeof text, "fail the popover's list has %ld rows, expected %s", static_cast<long>(rows), words[3].c_str());
        return std::to_string(rows) == words[3] ? "ok" : text;
    }
    if (what == "size" && words.size() == 5) {
        // The content size the popover was given (its content view may be a
        // point larger, as the chrome's frame is rounded out to whole points).
        id controller = objc_msgSend<id>(chrome, "delegate"_sel);
        CGSize size = objc_msgSend<CGSize>(controller, "popoverContentSize"_sel);
        double width = std::strtod(words[3].c_str(), nullptr);
        double height = std::strtod(words[4].c_str(), nullptr);
        std::snprintf(text, sizeof text, "fail the popover's content is %g x %g, expected %s x %s", size.width, size.height, words[3].c_str(), words[4].c_str());
        return std::fabs(size.width - width) < 1e-6 && std::fabs(size.height - height) < 1e-6 ? "ok" : text;
    }
    if (what == "arrow" && words.size() == 4) {
        NSUInteger direction = objc_msgSend<NSUInteger>(chrome, "arrowDirection"_sel);
        const char* name = direction == 1 ? "up" : direction == 2 ? "down"
            : direction == 4                                      ? "left"
            : direction == 8                                      ? "right"
            : direction == 16                                     ? "none"
                                                                  : "unknown";
        std::snprintf(text, sizeof text, "fail the popover's arrow points %s, expected %s", name, words[3].c_str());
        return words[3] == name ? "ok" : text;
    }
    if (what == "frame" && words.size() == 7) {
        CGRect frame = chrome->frame();
        double expected[4];
        for (int i = 0; i < 4; ++i)
            expected[i] = std::strtod(words[3 + i].c_str(), nullptr);
        std::snprintf(text, sizeof text, "fail the popover's frame is (%g, %g, %g, %g)", frame.origin.x, frame.origin.y, frame.size.width, frame.size.height);
        bool same = std::fabs(frame.origin.x - expected[0]) < 1e-6 && std::fabs(frame.origin.y - expected[1]) < 1e-6
            && std::fabs(frame.size.width - expected[2]) < 1e-6 && std::fabs(frame.size.height - expected[3]) < 1e-6;
        return same ? "ok" : text;
    }
    return "error usage: expect popover shown|hidden | rows N | size W H | arrow up|down|left|right|none | frame X Y W H";
}

} // namespace

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

// One command from the runner; returns the reply line: "ok [answer]",
// "error <message>" for a command that cannot be done, or "fail <message>"
// for an expectation that does not hold.
std::string handleCommand(const std::string& line)
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
    if (command == "expect" && (argument(1) == "row" || argument(1) == "panel"))
        return expectPanel(all);
    if (command == "tap" && argument(1) == "dot")
        return tapDot();
    if (command == "tap" && argument(1) == "outside")
        return tapOutside();
    if (command == "expect" && argument(1) == "popover")
        return expectPopover(all);
    if (command == "switch")
        return flipSwitch(argument(1));
    if (command == "slider")
        return dragSlider(argument(1));
    if (command == "settings")
        return showSettings(all);
    if (command == "screenshot") {
        if (all.size() != 2)
            return reply("usage: screenshot FILE");
        std::filesystem::path path = all[1];
        if (path.is_relative() && !screenshotFolder().empty())
            path = screenshotFolder() / path;
        return reply(takeScreenshot(path.string()));
    }
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

} // namespace camera
