// The iOS 6 module: the torch rows in the camera's settings panel, their
// two controls, and the relight after a flash photo.
#pragma once

#include "common/Export.h"
#include "common/HookTable.h"

// The fade of the level row after the switch, in seconds (a float on this
// 32-bit camera).
extern "C" LUMORA_EXPORT const float kAnimInterval;

// 52 points when the other camera extension was loaded at start-up.
extern float rowOffset;

std::span<const HookRow> ios6HookTable();
