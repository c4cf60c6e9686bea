// Basic types of the object runtime, named as the device's runtime names them.
#pragma once

#include "Export.h"

#include <cstddef>
#include <cstdint>

class Object;
struct objc_class;
struct objc_selector;
struct objc_method;
struct objc_ivar;

using id = Object*;
using Class = objc_class*;
using SEL = const objc_selector*;
using Method = const objc_method*;
using Ivar = const objc_ivar*;

// An untyped method implementation. Callers cast it to the method's real
// signature, R (*)(id self, SEL _cmd, Args...), as on the device.
using IMP = void (*)();

// The width of the build decides the platform's basic types, here and
// nowhere else, as the device's SDK decides them by __LP64__: on 64-bit
// builds BOOL is C++ bool ("B"), NSInteger long ("q") and CGFloat double;
// on 32-bit builds BOOL is signed char ("c"), NSInteger int ("i") and
// CGFloat float.
#if defined(__LP64__) && __LP64__
#define PLATFORM_LP64 1
using BOOL = bool;
using NSInteger = long;
using NSUInteger = unsigned long;
#define NSINTEGER_ENCODING "q"
#define NSUINTEGER_ENCODING "Q"
#else
#define PLATFORM_LP64 0
using BOOL = signed char;
using NSInteger = int;
using NSUInteger = unsigned int;
#define NSINTEGER_ENCODING "i"
#define NSUINTEGER_ENCODING "I"
#endif
inline constexpr BOOL YES = true;
inline constexpr BOOL NO = false;
inline constexpr NSUInteger NSNotFound = static_cast<NSUInteger>(INTPTR_MAX);

// Casts any function pointer to IMP, for method tables.
template <typename F>
inline IMP imp_cast(F* function) noexcept
{
    return reinterpret_cast<IMP>(function);
}
