// The hook table of the iOS 9 and iOS 8 modules: the same rows in the same
// order, on each generation's top bar, camera view and capture controller.
#pragma once

#include "common/CameraIntegration.h"

template <objc_detail::FixedString TopBar, objc_detail::FixedString CameraView, objc_detail::FixedString CaptureController>
std::span<const HookRow> cameraHookTable()
{
    static const HookRow rows[] = {
        added<ln_shouldHideYellowDot>(TopBar.data, "ln_shouldHideYellowDot"),
        hooked<hook_updateHiddenViewsForButtonExpansionAnimated>(TopBar.data, "_updateHiddenViewsForButtonExpansionAnimated:", &orig_updateHiddenViewsForButtonExpansionAnimated),
        added<ln_listTapped>(CameraView.data, "ln_listTapped:"),
        hooked<hook_createDefaultControlsIfNecessary>(CameraView.data, "_createDefaultControlsIfNecessary", &orig_createDefaultControlsIfNecessary),
        hooked<hook_rotateCameraControlsAndInterface>(CameraView.data, "_rotateCameraControlsAndInterface", &orig_rotateCameraControlsAndInterface),
        added<ln_topBarShouldHideYellowDot>(CameraView.data, "ln_topBarShouldHideYellowDot:"),
        added<ln_shouldHideYellowDotForMode>(CameraView.data, "ln_shouldHideYellowDotForMode:"),
        added<ln__shouldEnableYellowDot>(CameraView.data, "ln__shouldEnableYellowDot"),
        hooked<hook_updateEnabledControlsWithReason>(CameraView.data, "_updateEnabledControlsWithReason:forceLog:", &orig_updateEnabledControlsWithReason),
        hooked<hook_showControlsForChangeToMode>(CameraView.data, "_showControlsForChangeToMode:animated:", &orig_showControlsForChangeToMode),
        hooked<hook_hideControlsForChangeToMode>(CameraView.data, "_hideControlsForChangeToMode:animated:", &orig_hideControlsForChangeToMode),
        hooked<hook_showControlsForCapturingVideoAnimated>(CameraView.data, "_showControlsForCapturingVideoAnimated:", &orig_showControlsForCapturingVideoAnimated),
        hooked<hook_hideControlsForCapturingVideoAnimated>(CameraView.data, "_hideControlsForCapturingVideoAnimated:", &orig_hideControlsForCapturingVideoAnimated),
        hooked<hook_stopDelayedCapture>(CameraView.data, "_stopDelayedCapture", &orig_stopDelayedCapture),
        hooked<hook_cameraControllerPreviewDidStart>(CameraView.data, "cameraControllerPreviewDidStart:", &orig_cameraControllerPreviewDidStart),
        hooked<hook_didTakePhoto>(CaptureController.data, "_didTakePhoto", &orig_didTakePhoto),
        hooked<hook_applyTorchSettingsFromVideoRequest>(CaptureController.data, "_applyTorchSettingsFromVideoRequest:", &orig_applyTorchSettingsFromVideoRequest),
    };
    return rows;
}
