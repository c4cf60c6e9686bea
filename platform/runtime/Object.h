// The root of every runtime object: an isa pointer and an intrusive
// reference count.
//
// Objects are created with a reference count of one and freed when it drops
// to zero. Freeing sends -dealloc through the runtime (so a hook on -dealloc
// sees it); the root -dealloc runs the C++ destructor. Reference counts are
// not atomic: objects belong to the main thread, as on the device.
#pragma once

#include "runtime/objc.h"

class PLATFORM_EXPORT Object {
public:
    Object(const Object&) = delete;
    Object& operator=(const Object&) = delete;

    void retain() const noexcept
    {
        if (m_refCount < kSticky)
            ++m_refCount;
    }
    void release() const noexcept
    {
        if (m_refCount >= kSticky)
            return;
        if (--m_refCount == 0)
            beginDealloc();
    }
    // Hands one reference to the current autorelease pool; returns this.
    Object* autorelease() noexcept;

    uint32_t retainCount() const noexcept { return m_refCount; }
    bool isImmortal() const noexcept { return m_refCount == kImmortal; }
    Class isa() const noexcept { return m_isa; }

    // Equality and hashing as collections use them (-isEqual:, -hash).
    virtual bool isEqual(const Object* other) const noexcept { return this == other; }
    virtual NSUInteger hash() const noexcept { return reinterpret_cast<NSUInteger>(this); }

    // Counts of live runtime objects (not immortal ones), for leak checks.
    static size_t liveObjectCount() noexcept;

protected:
    Object() noexcept;
    // For objects that live forever (class objects, constant strings); usable
    // in constant initialisation.
    struct ImmortalTag { };
    constexpr Object(ImmortalTag, Class isa) noexcept
        : m_isa(isa)
        , m_refCount(kImmortal)
    {
    }
    virtual ~Object();

private:
    friend struct RuntimeAccess;
    friend void objc_destroyObject(Object*) noexcept;
    static constexpr uint32_t kSticky = 0x80000000u;
    static constexpr uint32_t kImmortal = 0xC0000000u;
    static constexpr uint32_t kDeallocating = 0x90000000u;

    void beginDealloc() const noexcept;

    Class m_isa = nullptr;
    mutable uint32_t m_refCount = 1;
};

// Runs the C++ destructor and frees the object: the root -dealloc.
PLATFORM_EXPORT void objc_destroyObject(Object* object) noexcept;

// The runtime's root class is NSObject; in C++ it is Object itself.
using NSObject = Object;

// Autorelease pools, as objc_autoreleasePoolPush/Pop; the run loop drains one
// around every task it runs.
PLATFORM_EXPORT void* objc_autoreleasePoolPush();
PLATFORM_EXPORT void objc_autoreleasePoolPop(void* token);

class AutoreleasePool {
public:
    AutoreleasePool()
        : m_token(objc_autoreleasePoolPush())
    {
    }
    ~AutoreleasePool() { objc_autoreleasePoolPop(m_token); }
    AutoreleasePool(const AutoreleasePool&) = delete;
    AutoreleasePool& operator=(const AutoreleasePool&) = delete;

private:
    void* m_token;
};
