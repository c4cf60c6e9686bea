// The iOS 9 integration in a simulated camera: the torch button's decisions
// and the wrappers that keep it in step with the flash button, and the torch
// around preview start, photos and video.
#include "avfoundation/AVCaptureDevice.h"
#include "common/CameraIntegration.h"
#include "common/Settings.h"
#include "dispatch/RunLoop.h"
#include "foundation/NSValue.h"
#include "host/CameraActions.h"
#include "host/CameraApp.h"
#include "host/CameraModel.h"
#include "popover/QLZPopoverController.h"
#include "system/CameraHarness.h"
#include "uikit/UIControl.h"
#include "uikit/UIViewController.h"

#include <cmath>
#include <gtest/gtest.h>

using namespace testing_support;

namespace {

id topBar()
{
    return objc_msgSend<id>(camera::cameraView(), "_topBar"_sel);
}

BOOL ask(id receiver, SEL selector)
{
    return objc_msgSend<BOOL>(receiver, selector);
}

} // namespace

TEST(TorchButton, DecisionsFollowTheFlashButtonAndTheFlash)
{
    bool ok = runWithCamera({}, [] {
        id view = camera::cameraView();
        // Top bar: hidden while the flash options are open or the flash button is hidden.
        EXPECT_FALSE(ask(topBar(), "ln_shouldHideYellowDot"_sel));
        camera::setFlashOptionsExpanded("expand");
        EXPECT_TRUE(ask(topBar(), "ln_shouldHideYellowDot"_sel));
        camera::setFlashOptionsExpanded("collapse");
        camera::changeMode("pano");
        EXPECT_TRUE(ask(topBar(), "_shouldHideFlashButton"_sel));
        EXPECT_TRUE(ask(topBar(), "ln_shouldHideYellowDot"_sel));
        camera::changeMode("photo");

        // For a mode: hidden when the flash button is hidden for it, or without a flash.
        EXPECT_TRUE(objc_msgSend<BOOL>(view, "ln_shouldHideYellowDotForMode:"_sel, NSInteger(camera::ModePanorama)));
        EXPECT_FALSE(objc_msgSend<BOOL>(view, "ln_shouldHideYellowDotForMode:"_sel, NSInteger(camera::ModeVideo)));
        EXPECT_FALSE(objc_msgSend<BOOL>(view, "ln_topBarShouldHideYellowDot:"_sel, topBar()));
        camera::switchCamera("front");
        EXPECT_TRUE(objc_msgSend<BOOL>(view, "ln_shouldHideYellowDotForMode:"_sel, NSInteger(camera::ModePhoto)));
        EXPECT_TRUE(objc_msgSend<BOOL>(view, "ln_topBarShouldHideYellowDot:"_sel, topBar()));
        // Enabled only when the flash button is, and with a flash.
        EXPECT_FALSE(ask(view, "ln__shouldEnableYellowDot"_sel));
        camera::switchCamera("rear");
        EXPECT_TRUE(ask(view, "ln__shouldEnableYellowDot"_sel));
        camera::startTimerPhoto();
        EXPECT_FALSE(ask(view, "_shouldEnableFlashButton"_sel));
        EXPECT_FALSE(ask(view, "ln__shouldEnableYellowDot"_sel));
    });
    EXPECT_TRUE(ok);
}

TEST(TorchButton, WrappersKeepTheButtonInStepWithTheCamera)
{
    bool ok = runWithCamera({}, [] {
        auto* dot = static_cast<UIControl*>(camera::torchButton());
        ASSERT_NE(dot, nullptr);
        EXPECT_EQ(dot, btn);
        EXPECT_TRUE(camera::isShown(dot));
        // The look: half the small shutter button, a yellow centre, a ringed edge.
        EXPECT_EQ(dot->transform(), CGAffineTransformMakeScale(0.5, 0.5));

        camera::setFlashOptionsExpanded("expand");
        EXPECT_FALSE(camera::isShown(dot));
        camera::setFlashOptionsExpanded("collapse");
        EXPECT_TRUE(camera::isShown(dot));

        camera::changeMode("time-lapse");
        EXPECT_FALSE(camera::isShown(dot));
        camera::changeMode("video");
        EXPECT_TRUE(camera::isShown(dot));
        camera::record("start");
        EXPECT_TRUE(camera::isShown(dot));
        camera::record("stop");
        camera::changeMode("photo");

        camera::startTimerPhoto();
        EXPECT_FALSE(dot->isEnabled());
        camera::stopTimer();
        EXPECT_TRUE(dot->isEnabled());

        // Fades take their time on the clock and end in the right state.
        camera::changeMode("pano");
        RunLoop::main().runFor(1);
        EXPECT_TRUE(dot->isHidden());
        camera::changeMode("photo");
        RunLoop::main().runFor(1);
        EXPECT_FALSE(dot->isHidden());
        EXPECT_EQ(dot->alpha(), 1);
    });
    EXPECT_TRUE(ok);
}

TEST(TorchDuringCapture, RelightsAfterAFlashPhotoOnlyWhenItShould)
{
    auto settings = std::vector { preference(kLMTorchKey, NSNumber::numberWithBool(YES)), preference(kLMTorchVal, NSNumber::numberWithFloat(0.5f)) };
    bool ok = runWithCamera(settings, [] {
        AVCaptureDevice* torch = rearTorch();
        EXPECT_FLOAT_EQ(torch->torchLevel(), 0.5f) << "preview start lights the torch in torch mode";

        camera::setFlashMode("on");
        camera::takePhoto();
        EXPECT_FLOAT_EQ(torch->torchLevel(), 0) << "the flash puts the torch out";
        RunLoop::main().runFor(0.299);
        EXPECT_FLOAT_EQ(torch->torchLevel(), 0);
        RunLoop::main().runFor(0.001);
        EXPECT_FLOAT_EQ(torch->torchLevel(), 0.5f);

        // The relight reads the level when it runs, and runs even if torch
        // mode went off in between.
        camera::takePhoto();
        settingTorchLevel = 0.25f;
        settingTorchMode = NO;
        RunLoop::main().runFor(0.3);
        EXPECT_FLOAT_EQ(torch->torchLevel(), 0.25f);
        settingTorchMode = YES;

        // No relight without the flash, in a burst, or without torch mode.
        size_t before = RunLoop::main().pendingTaskCount();
        camera::setFlashMode("auto");
        camera::takePhoto();
        camera::setFlashMode("on");
        camera::takeBurst(3);
        settingTorchMode = NO;
        camera::takePhoto();
        EXPECT_EQ(RunLoop::main().pendingTaskCount(), before);
    });
    EXPECT_TRUE(ok);
}

TEST(TorchDuringCapture, VideoKeepsTheChosenLevelAndPreviewStartLeavesVideoAlone)
{
    bool ok = runWithCamera({}, [] {
        AVCaptureDevice* torch = rearTorch();
        camera::setFlashMode("on");
        camera::changeMode("video");

        // At 0.5 the camera's own video torch request is skipped.
        settingTorchLevel = 0.5f;
        camera::record("start");
        EXPECT_FLOAT_EQ(torch->torchLevel(), 0);
        camera::record("stop");

        // At exactly 1.0 it goes through: the camera lights its torch.
        settingTorchLevel = 1.0f;
        camera::record("start");
        EXPECT_FLOAT_EQ(torch->torchLevel(), 1.0f);
        camera::record("stop");
        EXPECT_FLOAT_EQ(torch->torchLevel(), 0);

        // Just below 1.0, and at the platform's maximum (a stored 1.0, or no
        // level stored at all), it is skipped.
        for (float level : { std::nextafter(1.0f, 0.0f), AVCaptureMaxAvailableTorchLevel }) {
            settingTorchLevel = level;
            camera::record("start");
            EXPECT_FLOAT_EQ(torch->torchLevel(), 0) << level;
            camera::record("stop");
        }

        // Preview start in video on a camera with a flash leaves the torch as it is.
        AVCaptureDevice* device = torch;
        device->lockForConfiguration(nullptr);
        device->setTorchModeOnWithLevel(0.7f, nullptr);
        device->unlockForConfiguration();
        camera::restartPreview();
        EXPECT_FLOAT_EQ(torch->torchLevel(), 0.7f);

        // In photo mode it applies torch mode (off here).
        camera::changeMode("photo");
        EXPECT_FLOAT_EQ(torch->torchLevel(), 0);
    });
    EXPECT_TRUE(ok);
}
