// The iOS 8 camera: the CAM classes, and no capabilities object: the rear
// camera counts as the one with a flash.
#include "common/CameraQueries.h"
#include "common/Generation.h"
#include "common/TorchButton.h"

const Generation& generation()
{
    static const Generation iOS8 = {
        .frameworkPath = "/System/Library/PrivateFrameworks/CameraKit.framework/CameraKit",
        .captureControllerClass = "CAMCaptureController",
        .shutterButtonClass = "CAMShutterButton",
        .setHiddenSelector = "cam_setHidden:animated:",
        .isFlashCapable = isRearCamera,
        .isVideoMode = isVideoModeByControllerClass,
        .isStillImageMode = isStillImageModeByControllerClass,
        .listFlashCapable = controllerIsFlashCapable,
        .listStillImageMode = controllerIsInStillImageMode,
        .listVideoMode = controllerIsInVideoMode,
        .controllerFlashCapable = isRearCamera,
        .leavesTorchAtPreviewStart = leavesTorchInVideoOnFlashCamera,
        .wantsRelightAfterPhoto = wantsRelightAfterFlashPhoto,
        .preventFlag = nullptr,
        .setsCellLayoutMargins = true,
        .switchOnTintColor = "orangeColor",
        .buttonScale = 0.5,
        .hidesOuterRing = false,
        .outerRingBorderWidth = 3.0,
        .buttonTarget = topBarDelegate,
        .placeButton = placeBesideFlashOrFlip,
    };
    return iOS8;
}
