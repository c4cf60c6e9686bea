#include "ios6/SettingsRows.h"

#include "common/Export.h"
#include "common/Settings.h"
#include "common/Torch.h"
#include "foundation/NSValue.h"
#include "graphics/CGGeometry.h"
#include "uikit/UIApplication.h"
#include "uikit/UIControl.h"
#include "uikit/UIView.h"

#include <functional>
#include <utility>

// On the 32-bit camera an animation interval is a float.
const float kAnimInterval = 0.25f;
float rowOffset = 0;

namespace {

// The torch rows and their controls serve one settings panel at a time.
RefPtr<Object> torchModeRow;
RefPtr<Object> torchLevelRow;
RefPtr<Object> torchSwitch;
RefPtr<Object> levelSlider;
// The device whose lock the slider's touch-down took, so that only a lock
// taken is given back at touch-up, and to that device (the camera may have
// switched devices in between).
RefPtr<Object> sliderLockedDevice;

IMP orig_capturedPhotoWithDictionary;
IMP orig_showSettings;
IMP orig_initWithFrame;
IMP orig_setFrame;
IMP orig_dealloc;

constexpr float kRowPitch = 56.0f;
constexpr float kRowHeight = 50.0f;
constexpr float kLevelRowRaise = 3.0f;
constexpr CGFloat kPanelGrowth = 165.0;

Class captureControllerClass()
{
    static Class cls = objc_getClass("PLCameraController");
    return cls;
}

Class settingsRowClass()
{
    static Class cls = objc_getClass("PLCameraSettingsGroupView");
    return cls;
}

id sharedController()
{
    return objc_msgSend<id>(captureControllerClass(), "sharedInstance"_sel);
}

id currentDevice(id controller)
{
    return objc_msgSend<id>(controller, "currentDevice"_sel);
}

// Fades the level row to alpha (the row is read when the animation runs).
void setLevelRowAlpha(CGFloat alpha, double duration)
{
    std::function<void()> animations = [alpha] { objc_msgSend<void>(torchLevelRow.get(), "setAlpha:"_sel, alpha); };
    objc_msgSend<void>(UIView::staticClass(), "animateWithDuration:animations:"_sel, duration, animations);
}

// Torch mode on in photo mode on the rear camera: the torch burns at the
// chosen level.
bool restoreChosenLevel(id controller)
{
    if (!settingTorchMode || objc_msgSend<NSInteger>(controller, "cameraMode"_sel) != 0 || objc_msgSend<NSInteger>(controller, "cameraDevice"_sel) != 0)
        return false;
    withLockedTorch(controller, [](id device) { lightTorch(device, settingTorchLevel); });
    return true;
}

id makeRow(CGRect frame, NSString* title)
{
    id row = objc_msgSend<id>(objc_msgSend<id>(settingsRowClass(), "alloc"_sel), "initWithFrame:"_sel, frame);
    objc_msgSend<void>(row, "setType:"_sel, NSInteger(0));
    objc_msgSend<void>(row, "setTitle:"_sel, title);
    return row;
}

// MARK: Handlers

void ToggleMode(id self, SEL, id sender)
{
    settingTorchMode = objc_msgSend<BOOL>(sender, "isOn"_sel);
    watchTorch(self, restoreChosenLevel);
    // Switching torch mode off puts the torch out: a torch left burning after
    // the user turned it off would be a fault.
    withLockedTorch(self, [](id device) {
        if (settingTorchMode)
            lightTorch(device, settingTorchLevel);
        else
            objc_msgSend<void>(device, "setTorchMode:"_sel, NSInteger(0));
    });
    saveSetting(kLMTorchKey, NSNumber::numberWithBool(settingTorchMode).ptr());
    setLevelRowAlpha(settingTorchMode ? 1.0 : 0.0, static_cast<double>(kAnimInterval));
}

void SliderDidChange(id self, SEL, id sender)
{
    if (!settingTorchMode && objc_msgSend<NSInteger>(self, "cameraMode"_sel) == 0)
        return;
    settingTorchLevel = objc_msgSend<float>(sender, "value"_sel);
    watchTorch(self, restoreChosenLevel);
    withLockedTorch(self, [](id device) { lightTorch(device, settingTorchLevel); });
    saveSetting(kLMTorchVal, NSNumber::numberWithFloat(settingTorchLevel).ptr());
}

void ln_toggleMode(id, SEL, id sender)
{
    objc_msgSend<void>(sharedController(), "ToggleMode:"_sel, sender);
}

void ln_sliderDidChange(id, SEL, id sender)
{
    objc_msgSend<void>(sharedController(), "SliderDidChange:"_sel, sender);
}

void ln_sliderTapped(id, SEL, id)
{
    id device = currentDevice(sharedController());
    if (objc_msgSend<BOOL>(device, "lockForConfiguration:"_sel, static_cast<NSError**>(nullptr)))
        sliderLockedDevice = device;
}

// Gives back the lock the slider's touch-down took, if it took one.
void releaseSliderLock()
{
    if (RefPtr<Object> device = std::exchange(sliderLockedDevice, nullptr))
        objc_msgSend<void>(device.get(), "unlockForConfiguration"_sel);
}

void ln_sliderReleased(id, SEL, id)
{
    releaseSliderLock();
}

// MARK: Hooks

void hook_capturedPhotoWithDictionary(id self, SEL cmd, NSDictionary* dictionary, NSError* error)
{
    callIMP<void>(orig_capturedPhotoWithDictionary, self, cmd, dictionary, error);
    if (settingTorchMode && objc_msgSend<NSInteger>(self, "flashMode"_sel) == 1 && objc_msgSend<NSInteger>(self, "cameraDevice"_sel) == 0
        && objc_msgSend<NSInteger>(self, "cameraMode"_sel) == 0) {
        watchTorch(self, restoreChosenLevel);
        scheduleRelightTorch(self);
    }
}

void hook_showSettings(id self, SEL cmd, BOOL show, id sender)
{
    callIMP<void>(orig_showSettings, self, cmd, show, sender);
    if (!show)
        return;
    bool other = objc_msgSend<NSInteger>(self, "cameraMode"_sel) + objc_msgSend<NSInteger>(self, "cameraDevice"_sel) != 0;
    objc_msgSend<void>(torchModeRow.get(), "setHidden:"_sel, static_cast<BOOL>(other));
    objc_msgSend<void>(torchSwitch.get(), "setHidden:"_sel, static_cast<BOOL>(other));
    setLevelRowAlpha(other ? 0.0 : 1.0, 0);
    if (!other)
        setLevelRowAlpha(settingTorchMode ? 1.0 : 0.0, 0);
}

id hook_initWithFrame(id self, SEL cmd, CGRect frame, BOOL showGrid, BOOL showHDR, BOOL showPano)
{
    id panel = callIMP<id>(orig_initWithFrame, self, cmd, frame, showGrid, showHDR, showPano);
    int rows = (showGrid ? 1 : 0) + (showHDR ? 1 : 0) + (showPano ? 1 : 0);
    id application = objc_msgSend<id>(objc_getClass("UIApplication"), "sharedApplication"_sel);
    if (objc_msgSend<NSInteger>(application, "statusBarOrientation"_sel) == UIInterfaceOrientationPortraitUpsideDown)
        rows = -rows;
    CGFloat width = frame.size.width;

    // Positions in single precision, as the 32-bit camera computes them.
    if (!torchModeRow) {
        float y = kRowPitch * static_cast<float>(rows) + rowOffset;
        torchModeRow = adoptRef(makeRow(CGRectMake(0, y, width, kRowHeight), "Torch Mode"_ns));
    }
    if (!torchLevelRow) {
        float y = kRowPitch * static_cast<float>(rows + 1) + rowOffset - kLevelRowRaise;
        torchLevelRow = adoptRef(makeRow(CGRectMake(0, y, width, kRowHeight), "Torch Level"_ns));
    }
    if (!levelSlider) {
        id slider = objc_msgSend<id>(objc_msgSend<id>(objc_getClass("UISlider"), "alloc"_sel), "init"_sel);
        objc_msgSend<void>(slider, "setMinimumValue:"_sel, 0.1f);
        objc_msgSend<void>(slider, "setMaximumValue:"_sel, 1.0f);
        objc_msgSend<void>(slider, "setValue:"_sel, settingTorchLevel);
        objc_msgSend<void>(slider, "setContinuous:"_sel, YES);
        objc_msgSend<void>(slider, "setUserInteractionEnabled:"_sel, YES);
        objc_msgSend<void>(slider, "addTarget:action:forControlEvents:"_sel, panel, "ln_sliderDidChange:"_sel, UIControlEventValueChanged);
        objc_msgSend<void>(slider, "addTarget:action:forControlEvents:"_sel, panel, "ln_sliderTapped:"_sel, UIControlEventTouchDown);
        objc_msgSend<void>(slider, "addTarget:action:forControlEvents:"_sel, panel, "ln_sliderReleased:"_sel, UIControlEventTouchUpInside | UIControlEventTouchUpOutside | UIControlEventTouchCancel);
        levelSlider = adoptRef(slider);
    }
    if (!torchSwitch) {
        id control = objc_msgSend<id>(objc_msgSend<id>(objc_getClass("UISwitch"), "alloc"_sel), "init"_sel);
        objc_msgSend<void>(control, "setOn:"_sel, settingTorchMode);
        objc_msgSend<void>(control, "addTarget:action:forControlEvents:"_sel, panel, "ln_toggleMode:"_sel, UIControlEventValueChanged);
        objc_msgSend<void>(control, "setOnTintColor:"_sel, objc_msgSend<id>(objc_getClass("UIColor"), "orangeColor"_sel));
        torchSwitch = adoptRef(control);
    }
    objc_msgSend<void>(torchLevelRow.get(), "setAccessorySwitch:"_sel, levelSlider.get());
    objc_msgSend<void>(torchModeRow.get(), "setAccessorySwitch:"_sel, torchSwitch.get());
    objc_msgSend<void>(panel, "addSubview:"_sel, torchModeRow.get());
    objc_msgSend<void>(panel, "addSubview:"_sel, torchLevelRow.get());
    setLevelRowAlpha(settingTorchMode ? 1.0 : 0.0, 0);
    return panel;
}

CGRect frameOf(const RefPtr<Object>& row)
{
    return row ? objc_msgSend<CGRect>(row.get(), "frame"_sel) : CGRectZero;
}

void hook_setFrame(id self, SEL cmd, CGRect frame)
{
    CGRect mode = frameOf(torchModeRow);
    CGRect level = frameOf(torchLevelRow);
    objc_msgSend<void>(torchModeRow.get(), "setFrame:"_sel, CGRectMake(mode.origin.x, mode.origin.y, frame.size.width, mode.size.height));
    objc_msgSend<void>(torchLevelRow.get(), "setFrame:"_sel, CGRectMake(level.origin.x, level.origin.y, frame.size.width, level.size.height));
    frame.size.height += kPanelGrowth;
    callIMP<void>(orig_setFrame, self, cmd, frame);
}

void hook_dealloc(id self, SEL cmd)
{
    // A control can outlive its panel (a finger on it holds it): it must not
    // send its actions to the panel once the panel is gone.
    for (const auto& control : { levelSlider, torchSwitch })
        objc_msgSend<void>(control.get(), "removeTarget:action:forControlEvents:"_sel, self, static_cast<SEL>(nullptr), UIControlEventAllEvents);
    levelSlider = nullptr;
    torchLevelRow = nullptr;
    torchSwitch = nullptr;
    torchModeRow = nullptr;
    // Its release will not reach the panel: the lock goes back now.
    releaseSliderLock();
    callIMP<void>(orig_dealloc, self, cmd);
}

} // namespace

std::span<const HookRow> ios6HookTable()
{
    static const HookRow rows[] = {
        hooked<hook_capturedPhotoWithDictionary>("PLCameraController", "_capturedPhotoWithDictionary:error:", &orig_capturedPhotoWithDictionary),
        added<ToggleMode>("PLCameraController", "ToggleMode:"),
        added<SliderDidChange>("PLCameraController", "SliderDidChange:"),
        hooked<hook_showSettings>("PLCameraView", "_showSettings:sender:", &orig_showSettings),
        hooked<hook_initWithFrame>("PLCameraSettingsView", "initWithFrame:showGrid:showHDR:showPano:", &orig_initWithFrame),
        hooked<hook_setFrame>("PLCameraSettingsView", "setFrame:", &orig_setFrame),
        hooked<hook_dealloc>("PLCameraSettingsView", "dealloc", &orig_dealloc),
        added<ln_toggleMode>("PLCameraSettingsView", "ln_toggleMode:"),
        added<ln_sliderDidChange>("PLCameraSettingsView", "ln_sliderDidChange:"),
        added<ln_sliderTapped>("PLCameraSettingsView", "ln_sliderTapped:"),
        added<ln_sliderReleased>("PLCameraSettingsView", "ln_sliderReleased:"),
    };
    return rows;
}
