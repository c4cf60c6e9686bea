// Message sending.
//
//   objc_msgSend<BOOL>(view, "_shouldHideFlashButtonForMode:"_sel, mode)
//
// sends a message with a result of type R. The C++ types of the result and
// arguments form a type encoding that must equal the encoding of the method
// reached; a mismatch raises NSInvalidArgumentException instead of calling
// through a wrong signature. A message to nil returns a zeroed R. A message
// that the receiver does not answer raises the platform's "unrecognized
// selector sent to instance" exception.
//
// Lookup goes through a per-class dispatch table indexed by selector; adding
// or replacing a method anywhere empties every table.
#pragma once

#include "runtime/Ref.h"
#include "runtime/TypeEncoding.h"
#include "runtime/runtime.h"

#include <cstring>

namespace objc_detail {

// Finds the implementation of sel for an instance of cls, fills the dispatch
// table, and checks the encoding; raises when there is none or it differs.
PLATFORM_EXPORT IMP lookUpSlow(Class cls, SEL sel, uint32_t types, id receiver);

[[gnu::always_inline]] inline IMP lookUp(Class cls, SEL sel, uint32_t types, id receiver)
{
    uint32_t index = sel->index;
    if (index < cls->cacheCapacity) [[likely]] {
        const objc_class::CacheEntry& entry = cls->cache[index];
        if (entry.types == types) [[likely]]
            return entry.imp;
    }
    return lookUpSlow(cls, sel, types, receiver);
}

// Empties every class's dispatch table (after a method changed).
PLATFORM_EXPORT void flushMethodCaches();

template <size_t N>
struct FixedString {
    char data[N];
    constexpr FixedString(const char (&text)[N])
    {
        for (size_t i = 0; i < N; ++i)
            data[i] = text[i];
    }
};

template <FixedString Name>
[[gnu::always_inline]] inline SEL cachedSelector()
{
    static const SEL sel = sel_registerName(Name.data);
    return sel;
}

// How an argument travels: objects as id, everything else as itself.
template <typename T, typename = void>
struct Passed {
    using type = std::decay_t<T>;
    static type pass(const T& value) { return value; }
};
template <typename T>
struct Passed<T, std::enable_if_t<std::is_pointer_v<std::decay_t<T>> && std::is_base_of_v<Object, std::remove_pointer_t<std::decay_t<T>>> && !std::is_same_v<std::decay_t<T>, Class>>> {
    using type = id;
    static id pass(T value) { return value; }
};
template <typename T>
struct Passed<Ref<T>> {
    using type = id;
    static id pass(const Ref<T>& value) { return value.ptr(); }
};
template <typename T>
struct Passed<RefPtr<T>> {
    using type = id;
    static id pass(const RefPtr<T>& value) { return value.get(); }
};
template <>
struct Passed<std::nullptr_t> {
    using type = id;
    static id pass(std::nullptr_t) { return nullptr; }
};
template <size_t N>
struct Passed<char[N]> {
    using type = const char*;
    static const char* pass(const char* value) { return value; }
};

template <typename R, typename... Args>
[[gnu::always_inline]] inline uint32_t typesOf()
{
    static const uint32_t types = objc_internTypeEncoding(methodTypeEncoding<R, Args...>().c_str());
    return types;
}

template <typename R, typename... Args>
[[gnu::always_inline]] inline R send(Class cls, id self, SEL sel, Args... args)
{
    IMP imp = lookUp(cls, sel, typesOf<R, Args...>(), self);
    return reinterpret_cast<R (*)(id, SEL, Args...)>(imp)(self, sel, args...);
}

} // namespace objc_detail

// "name:"_sel is the selector of that name, interned once per call site.
//
// clang 14 crashes when it prints such a literal, which it does for the
// body of a lambda that initialises a static and fails to be a constant
// ("static Class cls = [] { ... "x:"_sel ... }();"): initialise the static
// from a named function instead.
template <objc_detail::FixedString Name>
inline SEL operator""_sel()
{
    return objc_detail::cachedSelector<Name>();
}

template <typename R = void, typename... Args>
inline R objc_msgSend(id self, SEL sel, Args&&... args)
{
    if (!self) {
        if constexpr (std::is_void_v<R>)
            return;
        else
            return R {};
    }
    return objc_detail::send<R, typename objc_detail::Passed<std::remove_cvref_t<Args>>::type...>(
        self->isa(), self, sel, objc_detail::Passed<std::remove_cvref_t<Args>>::pass(args)...);
}

// Sends to self, starting the method search at cls (as [super ...] does with
// the superclass of the method's class).
template <typename R = void, typename... Args>
inline R objc_msgSendSuper(id self, Class cls, SEL sel, Args&&... args)
{
    if (!self) {
        if constexpr (std::is_void_v<R>)
            return;
        else
            return R {};
    }
    return objc_detail::send<R, typename objc_detail::Passed<std::remove_cvref_t<Args>>::type...>(
        cls, self, sel, objc_detail::Passed<std::remove_cvref_t<Args>>::pass(args)...);
}

// Calls an implementation directly, as a hook calls the one it replaced.
template <typename R = void, typename... Args>
inline R callIMP(IMP imp, id self, SEL sel, Args... args)
{
    return reinterpret_cast<R (*)(id, SEL, Args...)>(imp)(self, sel, args...);
}

// Whether obj answers sel (the runtime's -respondsToSelector:, without a send).
PLATFORM_EXPORT BOOL objc_respondsToSelector(id object, SEL sel);
