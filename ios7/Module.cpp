// LumoraiOS7: the generation module for iOS 7's camera.
#include "common/CameraIntegration.h"
#include "graphics/CGGeometry.h"
#include "ios7/HookTable.h"

extern "C" LUMORA_EXPORT const CGFloat kAnimInterval = 0.25;

namespace {

[[gnu::constructor]] void moduleInit()
{
    startModule(ios7HookTable());
}

} // namespace
