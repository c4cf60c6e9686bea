#include "common/Torch.h"

#include "common/Settings.h"
#include "dispatch/dispatch.h"

namespace {

void relightTorch(id controller)
{
    withLockedTorch(controller, [](id device) {
        objc_msgSend<void>(device, "setTorchMode:"_sel, NSInteger(0));
        lightTorch(device, settingTorchLevel);
    });
}

} // namespace

void scheduleRelightTorch(id controller)
{
    // The block keeps the controller alive until it has run.
    RefPtr<Object> protectedController = controller;
    dispatch_after(dispatch_time(DISPATCH_TIME_NOW, 300000000), dispatch_get_main_queue(),
        [protectedController] { relightTorch(protectedController.get()); });
}
