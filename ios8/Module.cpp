// LumoraiOS8: the generation module for iOS 8's camera.
#include "common/CameraIntegration.h"
#include "graphics/CGGeometry.h"
#include "ios8/HookTable.h"

extern "C" LUMORA_EXPORT const CGFloat kAnimInterval = 0.25;

namespace {

[[gnu::constructor]] void moduleInit()
{
    startModule(ios8HookTable());
}

} // namespace
