// The iOS 8 module's hook table: the iOS 9 table on the CAM classes.
#include "ios8/HookTable.h"
#include "common/CameraHookTable.h"

std::span<const HookRow> ios8HookTable()
{
    return cameraHookTable<"CAMTopBar", "CAMCameraView", "CAMCaptureController">();
}
