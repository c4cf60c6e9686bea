// The iOS 7 camera: CAM top bar and shutter button, PhotoLibrary's PL
// camera view and controller. The rear camera counts as the one with a
// flash; modes are asked of the camera view and the shared controller.
#include "common/CameraQueries.h"
#include "common/Generation.h"
#include "common/Settings.h"
#include "common/TorchButton.h"
#include "ios7/Prevent.h"

namespace {

bool isVideoMode(id, NSInteger mode)
{
    return objc_msgSend<BOOL>(sharedCaptureController(), "_isVideoMode:"_sel, mode);
}

bool isStillImageMode(id controller, NSInteger mode)
{
    return objc_msgSend<BOOL>(objc_msgSend<id>(controller, "delegate"_sel), "_isStillImageMode:"_sel, mode);
}

bool listFlashCapable(id, id view) { return isRearCamera(view); }
bool listStillImageMode(id, id view) { return objc_msgSend<BOOL>(view, "_isStillImageMode:"_sel, cameraModeOf(view)); }
bool listVideoMode(id controller, id) { return isVideoMode(controller, cameraModeOf(controller)); }

// The torch list's own routine decides, also in video.
bool leavesTorchAtPreviewStart(id)
{
    return false;
}

// The camera device and mode come from the controller's delegate, asked
// afresh each time; a timed capture gets no relight.
bool wantsRelightAfterPhoto(id controller)
{
    return settingTorchMode
        && objc_msgSend<NSInteger>(controller, "flashMode"_sel) == 1
        && isRearCamera(objc_msgSend<id>(controller, "delegate"_sel))
        && objc_msgSend<BOOL>(objc_msgSend<id>(controller, "delegate"_sel), "_isStillImageMode:"_sel, cameraModeOf(objc_msgSend<id>(controller, "delegate"_sel)))
        && !objc_msgSend<BOOL>(controller, "performingTimedCapture"_sel);
}

} // namespace

const Generation& generation()
{
    static const Generation iOS7 = {
        .frameworkPath = "/System/Library/PrivateFrameworks/PhotoLibrary.framework/PhotoLibrary",
        .captureControllerClass = "PLCameraController",
        .shutterButtonClass = "CAMShutterButton",
        .setHiddenSelector = "pl_setHidden:animated:",
        .isFlashCapable = isRearCamera,
        .isVideoMode = isVideoMode,
        .isStillImageMode = isStillImageMode,
        .listFlashCapable = listFlashCapable,
        .listStillImageMode = listStillImageMode,
        .listVideoMode = listVideoMode,
        .controllerFlashCapable = isRearCamera,
        .leavesTorchAtPreviewStart = leavesTorchAtPreviewStart,
        .wantsRelightAfterPhoto = wantsRelightAfterPhoto,
        .preventFlag = &prevent,
        .setsCellLayoutMargins = false,
        .switchOnTintColor = "systemOrangeColor",
        // The single-precision 0.55, widened.
        .buttonScale = static_cast<CGFloat>(0.55f),
        .hidesOuterRing = true,
        .outerRingBorderWidth = 0,
        .buttonTarget = sharedControllerDelegate,
        .placeButton = placeAgainstTopBarEdges,
    };
    return iOS7;
}
