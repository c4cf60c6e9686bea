#include "common/CameraQueries.h"

#include "common/Generation.h"
#include "common/Settings.h"
#include "common/TorchButton.h"

namespace {

// The controller's class, asked for by name where the camera's own code
// would use NSClassFromString.
Class controllerClassByName()
{
    static RefPtr<NSString> name = NSString::create(generation().captureControllerClass);
    return NSClassFromString(name.get());
}

} // namespace

NSInteger cameraModeOf(id object)
{
    return objc_msgSend<NSInteger>(object, "cameraMode"_sel);
}

bool isVideoModeByControllerClass(id, NSInteger mode)
{
    return objc_msgSend<BOOL>(controllerClassByName(), "isVideoMode:"_sel, mode);
}

bool isStillImageModeByControllerClass(id, NSInteger mode)
{
    return objc_msgSend<BOOL>(controllerClassByName(), "isStillImageMode:"_sel, mode);
}

bool isRearCamera(id object)
{
    return objc_msgSend<NSInteger>(object, "cameraDevice"_sel) == 0;
}

bool controllerIsFlashCapable(id controller, id)
{
    return generation().isFlashCapable(controller);
}

bool controllerIsInStillImageMode(id controller, id)
{
    return generation().isStillImageMode(controller, cameraModeOf(controller));
}

bool controllerIsInVideoMode(id controller, id)
{
    return generation().isVideoMode(controller, cameraModeOf(controller));
}

bool leavesTorchInVideoOnFlashCamera(id controller)
{
    const Generation& camera = generation();
    return camera.isFlashCapable(controller) && camera.isVideoMode(controller, cameraModeOf(controller));
}

bool wantsRelightAfterFlashPhoto(id controller)
{
    const Generation& camera = generation();
    return settingTorchMode
        && objc_msgSend<NSInteger>(controller, "flashMode"_sel) == 1
        && camera.isFlashCapable(controller)
        && camera.isStillImageMode(controller, cameraModeOf(controller))
        && !objc_msgSend<BOOL>(controller, "performingAvalancheCapture"_sel);
}

Generation cameraKitGeneration(const char* captureControllerClass, const char* shutterButtonClass, bool (*isFlashCapable)(id))
{
    return {
        .frameworkPath = "/System/Library/PrivateFrameworks/CameraKit.framework/CameraKit",
        .captureControllerClass = captureControllerClass,
        .shutterButtonClass = shutterButtonClass,
        .setHiddenSelector = "cam_setHidden:animated:",
        .isFlashCapable = isFlashCapable,
        .isVideoMode = isVideoModeByControllerClass,
        .isStillImageMode = isStillImageModeByControllerClass,
        .listFlashCapable = controllerIsFlashCapable,
        .listStillImageMode = controllerIsInStillImageMode,
        .listVideoMode = controllerIsInVideoMode,
        .controllerFlashCapable = isFlashCapable,
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
}
