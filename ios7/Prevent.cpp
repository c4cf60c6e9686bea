#include "ios7/Prevent.h"

#include "corefoundation/CoreFoundation.h"
#include "runtime/message.h"

BOOL prevent = NO;
IMP orig_updateFlashModeIfNecessary;

void hook_updateFlashModeIfNecessary(id self, SEL cmd)
{
    if (prevent)
        return;
    callIMP<void>(orig_updateFlashModeIfNecessary, self, cmd);
}

bool hasGuardedFlashModeUpdate()
{
    constexpr double kFirst = 847.23;
    constexpr double kAfterLast = 1129.15;
    return kCFCoreFoundationVersionNumber >= kFirst && kCFCoreFoundationVersionNumber < kAfterLast;
}
