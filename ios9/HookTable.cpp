// The iOS 9 module's hook table, on CameraKit's CMK classes.
#include "ios9/HookTable.h"
#include "common/CameraHookTable.h"

std::span<const HookRow> ios9HookTable()
{
    return cameraHookTable<"CMKTopBar", "CMKCameraView", "CMKCaptureController">();
}
