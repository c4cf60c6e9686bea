// LumoraiOS6: the generation module for iOS 6's camera, a 32-bit one: the
// torch rows live in the camera's settings panel.
#include "common/Export.h"
#include "common/Settings.h"
#include "ios6/SettingsRows.h"

#include "device/dlfcn.h"

namespace {

[[gnu::constructor]] void moduleInit()
{
    registerSettingsObserver();
    loadSettings();
    if (!settingEnabled)
        return;
    dlopen("/System/Library/PrivateFrameworks/PhotoLibrary.framework/PhotoLibrary", RTLD_LAZY);
    // The other camera extension's row sits where ours would: make room.
    if (dlopen("/Library/MobileSubstrate/DynamicLibraries/Tidemark.dylib", RTLD_LAZY | RTLD_NOLOAD))
        rowOffset = 52.0f;
    installHookTable(ios6HookTable());
}

} // namespace
