// The iOS 7 module's guard against the camera's flash-mode update while the
// torch switch is being applied.
#pragma once

#include "common/Export.h"
#include "runtime/objc.h"

// YES only for the duration of one applyTorchState from the torch switch.
extern "C" LUMORA_EXPORT BOOL prevent;

void hook_updateFlashModeIfNecessary(id self, SEL _cmd);
extern IMP orig_updateFlashModeIfNecessary;
// Whether this system's camera has the flash-mode update to guard.
bool hasGuardedFlashModeUpdate();
