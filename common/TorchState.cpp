#include "common/Torch.h"

#include "common/CameraQueries.h"
#include "common/Generation.h"
#include "common/Settings.h"
#include "foundation/NSValue.h"

namespace {

// Torch mode on in a photo mode: the torch burns at the chosen level.
bool restoreChosenLevel(id controller)
{
    if (!settingTorchMode || !generation().isStillImageMode(controller, cameraModeOf(controller)))
        return false;
    applyTorchState(controller);
    return true;
}

} // namespace

void applyTorchState(id controller)
{
    watchTorch(controller, restoreChosenLevel);
    withLockedTorch(controller, [controller](id device) {
        const Generation& camera = generation();
        bool recordingVideo = camera.controllerFlashCapable(controller) && camera.isVideoMode(controller, cameraModeOf(controller));
        if (settingTorchMode || recordingVideo)
            lightTorch(device, settingTorchLevel);
        else
            objc_msgSend<void>(device, "setTorchMode:"_sel, NSInteger(0));
    });
}
