#include "common/Torch.h"

#include "common/Settings.h"
#include "dispatch/dispatch.h"
#include "foundation/NSValue.h"

namespace {

id currentDevice(id controller)
{
    return objc_msgSend<id>(controller, "currentDevice"_sel);
}

void relightTorch(id controller)
{
    if (!objc_msgSend<BOOL>(currentDevice(controller), "isTorchAvailable"_sel))
        return;
    if (!objc_msgSend<BOOL>(controller, "_lockCurrentDeviceForConfiguration"_sel))
        return;
    objc_msgSend<void>(currentDevice(controller), "setTorchMode:"_sel, NSInteger(0));
    objc_msgSend<BOOL>(currentDevice(controller), "setTorchModeOnWithLevel:error:"_sel, settingTorchLevel, static_cast<NSError**>(nullptr));
    objc_msgSend<void>(controller, "_unlockCurrentDeviceForConfiguration"_sel);
}

} // namespace

void scheduleRelightTorch(id controller)
{
    // The block keeps the controller alive until it has run.
    RefPtr<Object> protectedController = controller;
    dispatch_after(dispatch_time(DISPATCH_TIME_NOW, 300000000), dispatch_get_main_queue(),
        [protectedController] { relightTorch(protectedController.get()); });
}
