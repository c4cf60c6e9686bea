// What the iOS 8 module adds to and hooks on the camera, in the order it is
// installed.
#pragma once

#include "common/HookTable.h"

std::span<const HookRow> ios8HookTable();
