// Basic types of the object runtime, named as the device's runtime names them.
#pragma once

#include "Export.h"

#include <cstddef>
#include <cstdint>

class Object;
struct objc_class;
struct objc_selector;
struct objc_ivar;

using id = Object*;
using Class = objc_class*;
using SEL = const objc_selector*;
using Ivar = const objc_ivar*;

// An untyped method implementation. Callers cast it to the method's real
// signature, R (*)(id self, SEL _cmd, Args...), as on the device.
using IMP = void (*)();

// This build is the 64-bit platform: BOOL is C++ bool ("B"), NSInteger is
// long ("q"), CGFloat is double.
using BOOL = bool;
inline constexpr BOOL YES = true;
inline constexpr BOOL NO = false;
using NSInteger = long;
using NSUInteger = unsigned long;
inline constexpr NSUInteger NSNotFound = static_cast<NSUInteger>(INTPTR_MAX);

// Casts any function pointer to IMP, for method tables.
template <typename F>
inline IMP imp_cast(F* function) noexcept
{
    return reinterpret_cast<IMP>(function);
}
