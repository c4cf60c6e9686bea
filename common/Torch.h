// The torch on the camera's capture device, changed only between the
// capture controller's configuration lock and unlock.
#pragma once

#include "runtime/message.h"

// Lights the torch at settingTorchLevel when torch mode is on, or when the
// camera records video on a device with a flash; puts it out otherwise.
void applyTorchState(id controller);
// Turns the torch off and on again at settingTorchLevel, as it is at that
// moment, 0.3 s from now.
void scheduleRelightTorch(id controller);
