// The iOS 7 module's hook table: the CAM top bar with PhotoLibrary's camera
// view and controller; no delayed-capture or video-torch hooks, and the
// flash-mode update guarded on the systems that have it (installed last).
#include "ios7/HookTable.h"
#include "common/CameraIntegration.h"
#include "ios7/Prevent.h"

std::span<const HookRow> ios7HookTable()
{
    static const HookRow rows[] = {
        added<ln_shouldHideYellowDot>("CAMTopBar", "ln_shouldHideYellowDot"),
        hooked<hook_updateHiddenViewsForButtonExpansionAnimated>("CAMTopBar", "_updateHiddenViewsForButtonExpansionAnimated:", &orig_updateHiddenViewsForButtonExpansionAnimated),
        added<ln_listTapped>("PLCameraView", "ln_listTapped:"),
        hooked<hook_createDefaultControlsIfNecessary>("PLCameraView", "_createDefaultControlsIfNecessary", &orig_createDefaultControlsIfNecessary),
        hooked<hook_rotateCameraControlsAndInterface>("PLCameraView", "_rotateCameraControlsAndInterface", &orig_rotateCameraControlsAndInterface),
        added<ln_topBarShouldHideYellowDot>("PLCameraView", "ln_topBarShouldHideYellowDot:"),
        added<ln_shouldHideYellowDotForMode>("PLCameraView", "ln_shouldHideYellowDotForMode:"),
        added<ln__shouldEnableYellowDot>("PLCameraView", "ln__shouldEnableYellowDot"),
        hooked<hook_updateEnabledControlsWithReason>("PLCameraView", "_updateEnabledControlsWithReason:forceLog:", &orig_updateEnabledControlsWithReason),
        hooked<hook_showControlsForChangeToMode>("PLCameraView", "_showControlsForChangeToMode:animated:", &orig_showControlsForChangeToMode),
        hooked<hook_hideControlsForChangeToMode>("PLCameraView", "_hideControlsForChangeToMode:animated:", &orig_hideControlsForChangeToMode),
        hooked<hook_showControlsForCapturingVideoAnimated>("PLCameraView", "_showControlsForCapturingVideoAnimated:", &orig_showControlsForCapturingVideoAnimated),
        hooked<hook_hideControlsForCapturingVideoAnimated>("PLCameraView", "_hideControlsForCapturingVideoAnimated:", &orig_hideControlsForCapturingVideoAnimated),
        hooked<hook_cameraControllerPreviewDidStart>("PLCameraView", "cameraControllerPreviewDidStart:", &orig_cameraControllerPreviewDidStart),
        hooked<hook_didTakePhoto>("PLCameraController", "_didTakePhoto", &orig_didTakePhoto),
        hooked<hook_updateFlashModeIfNecessary>("PLCameraView", "_updateFlashModeIfNecessary", &orig_updateFlashModeIfNecessary, hasGuardedFlashModeUpdate),
    };
    return rows;
}
