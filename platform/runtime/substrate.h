// MobileSubstrate's method hooking.
//
// MSHookMessageEx(cls, sel, replacement, &previous) makes every send of sel
// to an instance of cls (or of a subclass that inherits the method) reach
// replacement, and stores in previous the implementation that was in place,
// which behaves exactly as the method did. Hooking a method that cls only
// inherits adds an override to cls alone; previous is then the
// superclass's implementation. A missing class or selector changes nothing.
#pragma once

#include "runtime/runtime.h"

extern "C" PLATFORM_EXPORT void MSHookMessageEx(Class cls, SEL sel, IMP replacement, IMP* previous);

// How many methods have been hooked in this process.
PLATFORM_EXPORT size_t MSHookCount();
