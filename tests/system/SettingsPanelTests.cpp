// The iOS 6 module's torch rows and their handlers in the camera's settings
// panel, where the panel's own interface cannot reach them.
#include "avfoundation/AVCaptureDevice.h"
#include "common/Settings.h"
#include "dispatch/RunLoop.h"
#include "foundation/NSValue.h"
#include "host/CameraActions.h"
#include "host/CameraApp.h"
#include "host/CameraClasses.h"
#include "host/CameraModel.h"
#include "system/CameraHarness.h"
#include "uikit/UIControl.h"

#include <gtest/gtest.h>

using namespace testing_support;

namespace {

id controller()
{
    return camera::CaptureController::sharedInstance();
}

Ref<UISlider> sliderAt(float value)
{
    auto slider = UISlider::create();
    slider->setValue(value);
    return slider;
}

float savedLevel()
{
    auto file = preferenceFile();
    id value = file ? file->objectForKey(kLMTorchVal) : nullptr;
    return value ? objc_msgSend<float>(value, "floatValue"_sel) : -1;
}

} // namespace

TEST(IOS6TorchRows, TheSliderActsOutsidePhotoModeEvenWithTorchModeOff)
{
    bool ok = runWithIOS6Camera({ preference(kLMTorchKey, NSNumber::numberWithBool(NO)), preference(kLMTorchVal, NSNumber::numberWithFloat(0.5f)) }, [] {
        AVCaptureDevice* torch = rearTorch();
        // Photo mode, torch mode off: nothing happens, nothing is saved.
        objc_msgSend<void>(controller(), "SliderDidChange:"_sel, sliderAt(0.8f).ptr());
        EXPECT_FLOAT_EQ(torch->torchLevel(), 0);
        EXPECT_FLOAT_EQ(savedLevel(), 0.5f);
        EXPECT_FLOAT_EQ(settingTorchLevel, 0.5f);

        // Video: the torch lights at the new level and the level is kept.
        camera::changeMode("video");
        objc_msgSend<void>(controller(), "SliderDidChange:"_sel, sliderAt(0.3f).ptr());
        EXPECT_FLOAT_EQ(torch->torchLevel(), 0.3f);
        EXPECT_FLOAT_EQ(savedLevel(), 0.3f);
    });
    EXPECT_TRUE(ok);
}

TEST(IOS6TorchRows, SwitchingTorchModeOffPutsTheTorchOut)
{
    bool ok = runWithIOS6Camera({ preference(kLMTorchVal, NSNumber::numberWithFloat(0.6f)) }, [] {
        AVCaptureDevice* torch = rearTorch();
        auto control = UISwitch::create();
        control->setOn(YES);
        objc_msgSend<void>(controller(), "ToggleMode:"_sel, control.ptr());
        EXPECT_FLOAT_EQ(torch->torchLevel(), 0.6f);
        control->setOn(NO);
        objc_msgSend<void>(controller(), "ToggleMode:"_sel, control.ptr());
        EXPECT_FLOAT_EQ(torch->torchLevel(), 0) << "the torch burns on after torch mode was switched off";
        EXPECT_FALSE(objc_msgSend<BOOL>(preferenceFile()->objectForKey(kLMTorchKey), "boolValue"_sel));
    });
    EXPECT_TRUE(ok);
}

TEST(IOS6TorchRows, TheSlidersTouchLockIsGivenBackOnlyWhenItWasTaken)
{
    bool ok = runWithIOS6Camera({}, [] {
        AVCaptureDevice* torch = rearTorch();
        objc_msgSend<void>(camera::cameraView(), "_showSettings:sender:"_sel, YES, static_cast<id>(nullptr));
        auto* view = static_cast<camera::CameraView*>(camera::cameraView());
        id panel = view->settingsPanel();
        ASSERT_NE(panel, nullptr);

        objc_msgSend<void>(panel, "ln_sliderTapped:"_sel, static_cast<id>(nullptr));
        EXPECT_TRUE(torch->isLockedForConfiguration());
        objc_msgSend<void>(panel, "ln_sliderReleased:"_sel, static_cast<id>(nullptr));
        EXPECT_FALSE(torch->isLockedForConfiguration());

        // A refused lock at touch-down: nothing to give back at touch-up,
        // where unlocking a device that is not locked would raise.
        torch->setLockRefused(true);
        objc_msgSend<void>(panel, "ln_sliderTapped:"_sel, static_cast<id>(nullptr));
        torch->setLockRefused(false);
        EXPECT_NO_THROW(objc_msgSend<void>(panel, "ln_sliderReleased:"_sel, static_cast<id>(nullptr)));
        EXPECT_FALSE(torch->isLockedForConfiguration());
    });
    EXPECT_TRUE(ok);
}

TEST(IOS6TorchRows, ThePanelGrowsAndItsRowsKeepTheirPlaces)
{
    bool ok = runWithIOS6Camera({}, [] {
        objc_msgSend<void>(camera::cameraView(), "_showSettings:sender:"_sel, YES, static_cast<id>(nullptr));
        auto* panel = static_cast<camera::CameraView*>(camera::cameraView())->settingsPanel();
        ASSERT_NE(panel, nullptr);
        objc_msgSend<void>(panel, "setFrame:"_sel, CGRectMake(0, 0, 280, 300));
        EXPECT_EQ(panel->frame().size.height, 465);
        for (const auto& subview : panel->subviews()) {
            auto* row = static_cast<camera::SettingsRow*>(subview.ptr());
            if (!row->title() || !row->title()->view().starts_with("Torch"))
                continue;
            EXPECT_EQ(row->frame().size.width, 280);
            EXPECT_EQ(row->frame().size.height, 50);
        }
        // Hiding and showing again builds the controls anew for the new panel.
        objc_msgSend<void>(camera::cameraView(), "_showSettings:sender:"_sel, NO, static_cast<id>(nullptr));
        objc_msgSend<void>(camera::cameraView(), "_showSettings:sender:"_sel, YES, static_cast<id>(nullptr));
        EXPECT_NE(static_cast<camera::CameraView*>(camera::cameraView())->settingsPanel(), nullptr);
    });
    EXPECT_TRUE(ok);
}
