// The torch on the camera's capture device, changed only between the
// capture controller's configuration lock and unlock.
#pragma once

#include "runtime/message.h"

#include <functional>

// Lights the torch at settingTorchLevel when torch mode is on, or when the
// camera records video on a device with a flash; puts it out otherwise.
void applyTorchState(id controller);
// Turns the torch off and on again at settingTorchLevel, as it is at that
// moment, 0.3 s from now.
void scheduleRelightTorch(id controller);

// Runs change with the controller's current device between the
// controller's configuration lock and unlock, when the device has a torch
// available and the lock is granted; returns whether it ran. Whatever the
// platform raises in between is dropped there, and the lock is given back.
bool withLockedTorch(id controller, const std::function<void(id device)>& change);
// Lights the torch of a locked device at level; where the device does not
// accept that level now (it is hot), at the highest level it does accept,
// rather than leaving it dark. A torch that something else puts out again
// at once is tried again a second later, as a hot one is.
void lightTorch(id device, float level);

// What a module does when the torch can burn as chosen again: the torch
// has become available, or it misses settingTorchLevel (hot and burning
// below it, or put out as it was lit: it is tried again every second until
// it burns as chosen). Returns whether the chosen level is wanted now
// (torch mode on in a photo mode); no more tries follow when it is not.
using TorchRestorer = bool (*)(id controller);
// From now on, watches the controller's current device for these.
void watchTorch(id controller, TorchRestorer restore);
