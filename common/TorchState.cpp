#include "common/Torch.h"

#include "common/Generation.h"
#include "common/Settings.h"
#include "foundation/NSValue.h"

namespace {

id currentDevice(id controller)
{
    return objc_msgSend<id>(controller, "currentDevice"_sel);
}

} // namespace

void applyTorchState(id controller)
{
    if (!objc_msgSend<BOOL>(currentDevice(controller), "isTorchAvailable"_sel))
        return;
    if (!objc_msgSend<BOOL>(controller, "_lockCurrentDeviceForConfiguration"_sel))
        return;
    const Generation& camera = generation();
    bool recordingVideo = camera.controllerFlashCapable(controller)
        && camera.isVideoMode(controller, objc_msgSend<NSInteger>(controller, "cameraMode"_sel));
    if (settingTorchMode || recordingVideo)
        objc_msgSend<BOOL>(currentDevice(controller), "setTorchModeOnWithLevel:error:"_sel, settingTorchLevel, static_cast<NSError**>(nullptr));
    else
        objc_msgSend<void>(currentDevice(controller), "setTorchMode:"_sel, NSInteger(0));
    objc_msgSend<void>(controller, "_unlockCurrentDeviceForConfiguration"_sel);
}
