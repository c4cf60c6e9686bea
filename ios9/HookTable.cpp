// The iOS 9 module's hook table.
#include "common/CameraIntegration.h"
#include "ios9/HookTable.h"

// What the module adds to and hooks on the camera, in the order installed.
std::span<const HookRow> ios9HookTable()
{
    static const HookRow rows[] = {
        added<ln_shouldHideYellowDot>("CMKTopBar", "ln_shouldHideYellowDot", "B@:"),
        hooked<hook_updateHiddenViewsForButtonExpansionAnimated>("CMKTopBar", "_updateHiddenViewsForButtonExpansionAnimated:", &orig_updateHiddenViewsForButtonExpansionAnimated),
        added<ln_listTapped>("CMKCameraView", "ln_listTapped:", "v@:@"),
        hooked<hook_createDefaultControlsIfNecessary>("CMKCameraView", "_createDefaultControlsIfNecessary", &orig_createDefaultControlsIfNecessary),
        hooked<hook_rotateCameraControlsAndInterface>("CMKCameraView", "_rotateCameraControlsAndInterface", &orig_rotateCameraControlsAndInterface),
        added<ln_topBarShouldHideYellowDot>("CMKCameraView", "ln_topBarShouldHideYellowDot:", "B@:@"),
        added<ln_shouldHideYellowDotForMode>("CMKCameraView", "ln_shouldHideYellowDotForMode:", "B@:q"),
        added<ln__shouldEnableYellowDot>("CMKCameraView", "ln__shouldEnableYellowDot", "B@:"),
        hooked<hook_updateEnabledControlsWithReason>("CMKCameraView", "_updateEnabledControlsWithReason:forceLog:", &orig_updateEnabledControlsWithReason),
        hooked<hook_showControlsForChangeToMode>("CMKCameraView", "_showControlsForChangeToMode:animated:", &orig_showControlsForChangeToMode),
        hooked<hook_hideControlsForChangeToMode>("CMKCameraView", "_hideControlsForChangeToMode:animated:", &orig_hideControlsForChangeToMode),
        hooked<hook_showControlsForCapturingVideoAnimated>("CMKCameraView", "_showControlsForCapturingVideoAnimated:", &orig_showControlsForCapturingVideoAnimated),
        hooked<hook_hideControlsForCapturingVideoAnimated>("CMKCameraView", "_hideControlsForCapturingVideoAnimated:", &orig_hideControlsForCapturingVideoAnimated),
        hooked<hook_stopDelayedCapture>("CMKCameraView", "_stopDelayedCapture", &orig_stopDelayedCapture),
        hooked<hook_cameraControllerPreviewDidStart>("CMKCameraView", "cameraControllerPreviewDidStart:", &orig_cameraControllerPreviewDidStart),
        hooked<hook_didTakePhoto>("CMKCaptureController", "_didTakePhoto", &orig_didTakePhoto),
        hooked<hook_applyTorchSettingsFromVideoRequest>("CMKCaptureController", "_applyTorchSettingsFromVideoRequest:", &orig_applyTorchSettingsFromVideoRequest),
    };
    return rows;
}
