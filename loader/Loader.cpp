// The generation loader: the one library MobileSubstrate injects. When it is
// loaded it opens the generation module that fits the running system, chosen
// by the CoreFoundation version number, and does nothing else.
#include "corefoundation/CoreFoundation.h"
#include "device/dlfcn.h"

namespace {

// Where each generation begins (compared in double precision).
constexpr double kIOS9 = 1217.11;
constexpr double kIOS8 = 1129.15;
constexpr double kIOS6 = 793.0;

const char* modulePathForVersion(double version)
{
    if (version >= kIOS9)
        return "/Library/Application Support/Lumora/LumoraiOS9.dylib";
    if (version >= kIOS8 && version < kIOS9)
        return "/Library/Application Support/Lumora/LumoraiOS8.dylib";
    if (version > kIOS6 && version < kIOS8)
        return "/Library/Application Support/Lumora/LumoraiOS7.dylib";
    if (version == kIOS6)
        return "/Library/Application Support/Lumora/LumoraiOS6.dylib";
    return nullptr; // older systems, and a version that is not a number
}

// The image initialiser. The module's own initialiser starts the rest; the
// handle is not kept and a module that cannot be opened is left out quietly.
[[gnu::constructor]] void loadGenerationModule()
{
    if (const char* path = modulePathForVersion(kCFCoreFoundationVersionNumber))
        dlopen(path, RTLD_LAZY);
}

} // namespace
