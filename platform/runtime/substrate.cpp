#include "runtime/substrate.h"

#include "device/Trace.h"
#include "runtime/message.h"

namespace {
size_t g_hookCount = 0;
}

void MSHookMessageEx(Class cls, SEL sel, IMP replacement, IMP* previous)
{
    if (!cls || !sel || !replacement) {
        device::tracef(device::TraceKind::Hook, "hook %s of %s skipped: %s", sel_getName(sel), class_getName(cls),
            !cls ? "no such class" : "nothing to hook");
        return;
    }
    IMP current = class_getMethodImplementation(cls, sel);
    const char* types = class_getMethodTypeEncoding(cls, sel);
    if (!current || !types) {
        device::tracef(device::TraceKind::Hook, "hook %c[%s %s] skipped: no such method", class_isMetaClass(cls) ? '+' : '-',
            class_getName(cls), sel_getName(sel));
        return;
    }
    // Replaces the class's own method, or adds an override of an inherited one.
    IMP old = class_replaceMethod(cls, sel, replacement, types);
    if (previous)
        *previous = old ? old : current;
    ++g_hookCount;
    device::tracef(device::TraceKind::Hook, "hooked %c[%s %s]", class_isMetaClass(cls) ? '+' : '-', class_getName(cls), sel_getName(sel));
}

size_t MSHookCount()
{
    return g_hookCount;
}
