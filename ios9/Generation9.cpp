// The iOS 9 camera: CameraKit's CMK classes, with a capabilities object
// that knows which camera has a flash.
#include "common/Generation.h"
#include "common/Settings.h"
#include "common/TorchButton.h"

namespace {

Class captureControllerClass()
{
    static Class cls = objc_getClass("CMKCaptureController");
    return cls;
}

Class capabilitiesClass()
{
    static Class cls = objc_getClass("CAMCaptureCapabilities");
    return cls;
}

bool isFlashCapable(id x)
{
    id capabilities = objc_msgSend<id>(capabilitiesClass(), "capabilities"_sel);
    return objc_msgSend<BOOL>(capabilities, "isFlashSupportedForDevice:"_sel, objc_msgSend<NSInteger>(x, "cameraDevice"_sel));
}

bool isVideoMode(id, NSInteger mode)
{
    return objc_msgSend<BOOL>(NSClassFromString("CMKCaptureController"_ns), "isVideoMode:"_sel, mode);
}

bool isStillImageMode(id, NSInteger mode)
{
    return objc_msgSend<BOOL>(NSClassFromString("CMKCaptureController"_ns), "isStillImageMode:"_sel, mode);
}

NSInteger modeOf(id controller)
{
    return objc_msgSend<NSInteger>(controller, "cameraMode"_sel);
}

bool listFlashCapable(id controller, id) { return isFlashCapable(controller); }
bool listStillImageMode(id controller, id) { return isStillImageMode(controller, modeOf(controller)); }
bool listVideoMode(id controller, id) { return isVideoMode(controller, modeOf(controller)); }

bool leavesTorchAtPreviewStart(id controller)
{
    return isFlashCapable(controller) && isVideoMode(controller, modeOf(controller));
}

bool wantsRelightAfterPhoto(id controller)
{
    return settingTorchMode
        && objc_msgSend<NSInteger>(controller, "flashMode"_sel) == 1
        && isFlashCapable(controller)
        && isStillImageMode(controller, modeOf(controller))
        && !objc_msgSend<BOOL>(controller, "performingAvalancheCapture"_sel);
}

} // namespace

const Generation& generation()
{
    static const Generation iOS9 = {
        .frameworkPath = "/System/Library/PrivateFrameworks/CameraKit.framework/CameraKit",
        .captureControllerClass = "CMKCaptureController",
        .shutterButtonClass = "CMKShutterButton",
        .setHiddenSelector = "cam_setHidden:animated:",
        .isFlashCapable = isFlashCapable,
        .isVideoMode = isVideoMode,
        .isStillImageMode = isStillImageMode,
        .listFlashCapable = listFlashCapable,
        .listStillImageMode = listStillImageMode,
        .listVideoMode = listVideoMode,
        .controllerFlashCapable = isFlashCapable,
        .leavesTorchAtPreviewStart = leavesTorchAtPreviewStart,
        .wantsRelightAfterPhoto = wantsRelightAfterPhoto,
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

id sharedCaptureController()
{
    return objc_msgSend<id>(captureControllerClass(), "sharedInstance"_sel);
}
