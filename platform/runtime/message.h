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
// Each class has a method cache keyed by selector and signature, holding only
// what that class has been sent: a few buckets inside the class, and a small
// open-addressed hash table for the rest. A send that misses looks the
// method up, checks its encoding and fills an entry. A method change (add,
// replace, remove, hook) updates or removes the entries for that selector in
// the changed class and those of its subclasses that inherit the method.
#pragma once

#include "runtime/Ref.h"
#include "runtime/TypeEncoding.h"
#include "runtime/runtime.h"

#include <cstring>

namespace objc_detail {

// What the sends of one C++ signature share, once per library: the interned
// encoding, in the place it takes in a cache key. Until the first send
// stores it, the bits are those of no cache entry, so that send misses and
// reaches the slow path.
struct SendSignature {
    std::atomic<uint64_t> keyBits;
    std::string (*encoding)();
};

template <typename R, typename... Args>
inline constinit SendSignature sendSignature { kUnknownSignatureKeyBits, &methodTypeEncoding<R, Args...> };

// Looks in the overflow table, then in the class's methods: fills the cache,
// checks the encoding, and raises when there is no such method or it differs.
PLATFORM_EXPORT IMP lookUpMiss(Class cls, SEL sel, SendSignature& signature, id receiver);

[[gnu::always_inline]] inline IMP lookUp(Class cls, SEL sel, SendSignature& signature, id receiver)
{
    uint64_t key = reinterpret_cast<uintptr_t>(sel) | signature.keyBits.load(std::memory_order_relaxed);
    const CacheBucket& bucket = cls->cache[cacheIndex(sel, kClassCacheSize - 1)];
    // A hook may swap the implementation in place: either one is right.
    if (bucket.key.load(std::memory_order_acquire) == key) [[likely]]
        return bucket.imp.load(std::memory_order_relaxed);
    return lookUpMiss(cls, sel, signature, receiver);
}

template <size_t N>
struct FixedString {
    char data[N];
    constexpr FixedString(const char (&text)[N])
    {
        for (size_t i = 0; i < N; ++i)
            data[i] = text[i];
    }
};

// A selector named in the code, interned by its first use.
template <FixedString Name>
inline constinit std::atomic<SEL> selectorReference { nullptr };

PLATFORM_EXPORT SEL resolveSelectorReference(std::atomic<SEL>& reference, const char* name);

template <FixedString Name>
[[gnu::always_inline]] inline SEL cachedSelector()
{
    SEL sel = selectorReference<Name>.load(std::memory_order_acquire);
    if (!sel) [[unlikely]]
        return resolveSelectorReference(selectorReference<Name>, Name.data);
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
// A C++ bool travels as the platform's BOOL, as it would be converted to a
// method's declared BOOL parameter.
template <>
struct Passed<bool> {
    using type = BOOL;
    static BOOL pass(bool value) { return value; }
};
template <size_t N>
struct Passed<char[N]> {
    using type = const char*;
    static const char* pass(const char* value) { return value; }
};

template <typename R, typename... Args>
[[gnu::always_inline]] inline R send(Class cls, id self, SEL sel, Args... args)
{
    IMP imp = lookUp(cls, sel, sendSignature<R, Args...>, self);
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
    static_assert(!isBareBool<R>, "a message's truth value is BOOL, not bool");
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
    static_assert(!isBareBool<R>, "a message's truth value is BOOL, not bool");
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
