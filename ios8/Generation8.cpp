// The iOS 8 camera: the CAM classes, and no capabilities object: the rear
// camera counts as the one with a flash.
#include "common/Generation.h"
#include "common/Settings.h"
#include "common/TorchButton.h"

namespace {

Class captureControllerClass()
{
    static Class cls = objc_getClass("CAMCaptureController");
    return cls;
}

bool isRearCamera(id x)
{
    return objc_msgSend<NSInteger>(x, "cameraDevice"_sel) == 0;
}

bool isVideoMode(id, NSInteger mode)
{
    return objc_msgSend<BOOL>(NSClassFromString("CAMCaptureController"_ns), "isVideoMode:"_sel, mode);
}

bool isStillImageMode(id, NSInteger mode)
{
    return objc_msgSend<BOOL>(NSClassFromString("CAMCaptureController"_ns), "isStillImageMode:"_sel, mode);
}

NSInteger modeOf(id controller)
{
    return objc_msgSend<NSInteger>(controller, "cameraMode"_sel);
}

bool listFlashCapable(id controller, id) { return isRearCamera(controller); }
bool listStillImageMode(id controller, id) { return isStillImageMode(controller, modeOf(controller)); }
bool listVideoMode(id controller, id) { return isVideoMode(controller, modeOf(controller)); }

bool leavesTorchAtPreviewStart(id controller)
{
    return isRearCamera(controller) && isVideoMode(controller, modeOf(controller));
}

bool wantsRelightAfterPhoto(id controller)
{
    return settingTorchMode
        && objc_msgSend<NSInteger>(controller, "flashMode"_sel) == 1
        && isRearCamera(controller)
        && isStillImageMode(controller, modeOf(controller))
        && !objc_msgSend<BOOL>(controller, "performingAvalancheCapture"_sel);
}

} // namespace

const Generation& generation()
{
    static const Generation iOS8 = {
        .frameworkPath = "/System/Library/PrivateFrameworks/CameraKit.framework/CameraKit",
        .captureControllerClass = "CAMCaptureController",
        .shutterButtonClass = "CAMShutterButton",
        .setHiddenSelector = "cam_setHidden:animated:",
        .isFlashCapable = isRearCamera,
        .isVideoMode = isVideoMode,
        .isStillImageMode = isStillImageMode,
        .listFlashCapable = listFlashCapable,
        .listStillImageMode = listStillImageMode,
        .listVideoMode = listVideoMode,
        .controllerFlashCapable = isRearCamera,
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
    return iOS8;
}

id sharedCaptureController()
{
    return objc_msgSend<id>(captureControllerClass(), "sharedInstance"_sel);
}
