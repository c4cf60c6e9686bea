// The iOS 8 module's hook table: the iOS 9 table on the CAM classes.
#include "common/CameraIntegration.h"
#include "ios8/HookTable.h"

std::span<const HookRow> ios8HookTable()
{
    static const HookRow rows[] = {
        added<ln_shouldHideYellowDot>("CAMTopBar", "ln_shouldHideYellowDot", "B@:"),
        hooked<hook_updateHiddenViewsForButtonExpansionAnimated>("CAMTopBar", "_updateHiddenViewsForButtonExpansionAnimated:", &orig_updateHiddenViewsForButtonExpansionAnimated),
        added<ln_listTapped>("CAMCameraView", "ln_listTapped:", "v@:@"),
        hooked<hook_createDefaultControlsIfNecessary>("CAMCameraView", "_createDefaultControlsIfNecessary", &orig_createDefaultControlsIfNecessary),
        hooked<hook_rotateCameraControlsAndInterface>("CAMCameraView", "_rotateCameraControlsAndInterface", &orig_rotateCameraControlsAndInterface),
        added<ln_topBarShouldHideYellowDot>("CAMCameraView", "ln_topBarShouldHideYellowDot:", "B@:@"),
        added<ln_shouldHideYellowDotForMode>("CAMCameraView", "ln_shouldHideYellowDotForMode:", "B@:q"),
        added<ln__shouldEnableYellowDot>("CAMCameraView", "ln__shouldEnableYellowDot", "B@:"),
        hooked<hook_updateEnabledControlsWithReason>("CAMCameraView", "_updateEnabledControlsWithReason:forceLog:", &orig_updateEnabledControlsWithReason),
        hooked<hook_showControlsForChangeToMode>("CAMCameraView", "_showControlsForChangeToMode:animated:", &orig_showControlsForChangeToMode),
        hooked<hook_hideControlsForChangeToMode>("CAMCameraView", "_hideControlsForChangeToMode:animated:", &orig_hideControlsForChangeToMode),
        hooked<hook_showControlsForCapturingVideoAnimated>("CAMCameraView", "_showControlsForCapturingVideoAnimated:", &orig_showControlsForCapturingVideoAnimated),
        hooked<hook_hideControlsForCapturingVideoAnimated>("CAMCameraView", "_hideControlsForCapturingVideoAnimated:", &orig_hideControlsForCapturingVideoAnimated),
        hooked<hook_stopDelayedCapture>("CAMCameraView", "_stopDelayedCapture", &orig_stopDelayedCapture),
        hooked<hook_cameraControllerPreviewDidStart>("CAMCameraView", "cameraControllerPreviewDidStart:", &orig_cameraControllerPreviewDidStart),
        hooked<hook_didTakePhoto>("CAMCaptureController", "_didTakePhoto", &orig_didTakePhoto),
        hooked<hook_applyTorchSettingsFromVideoRequest>("CAMCaptureController", "_applyTorchSettingsFromVideoRequest:", &orig_applyTorchSettingsFromVideoRequest),
    };
    return rows;
}
