// The iOS 9 camera: CameraKit's CMK classes, with a capabilities object
// that knows which camera has a flash.
#include "common/CameraQueries.h"
#include "common/Generation.h"
#include "common/TorchButton.h"

namespace {

Class capabilitiesClass()
{
    static Class cls = objc_getClass("CAMCaptureCapabilities");
    return cls;
}

bool isFlashSupportedByCapabilities(id x)
{
    id capabilities = objc_msgSend<id>(capabilitiesClass(), "capabilities"_sel);
    return objc_msgSend<BOOL>(capabilities, "isFlashSupportedForDevice:"_sel, objc_msgSend<NSInteger>(x, "cameraDevice"_sel));
}

} // namespace

const Generation& generation()
{
    static const Generation iOS9 = {
        .frameworkPath = "/System/Library/PrivateFrameworks/CameraKit.framework/CameraKit",
        .captureControllerClass = "CMKCaptureController",
        .shutterButtonClass = "CMKShutterButton",
        .setHiddenSelector = "cam_setHidden:animated:",
        .isFlashCapable = isFlashSupportedByCapabilities,
        .isVideoMode = isVideoModeByControllerClass,
        .isStillImageMode = isStillImageModeByControllerClass,
        .listFlashCapable = controllerIsFlashCapable,
        .listStillImageMode = controllerIsInStillImageMode,
        .listVideoMode = controllerIsInVideoMode,
        .controllerFlashCapable = isFlashSupportedByCapabilities,
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
    return iOS9;
}
