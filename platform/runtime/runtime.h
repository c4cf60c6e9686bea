// The object runtime's C interface, under the device runtime's names.
//
// Classes are registered by name, each with a metaclass that holds its class
// methods; class objects are themselves objects (their isa is the metaclass),
// so a message to a class reaches a class method. Methods carry the
// platform's type-encoding strings ("v@:@", "B@:q"); a typed send is checked
// against them (see runtime/message.h).
#pragma once

#include "runtime/Object.h"

#include <atomic>
#include <string>
#include <vector>

class NSString;

namespace objc_detail {

// One entry of a class's method cache. The key is the selector's address
// with the interned type encoding of the method in its top 16 bits, so that
// one comparison checks both the selector and the signature of a send.
struct alignas(16) CacheBucket {
    std::atomic<uint64_t> key; // 0 while empty
    std::atomic<IMP> imp;
};

inline constexpr unsigned kCacheKeyAddressBits = 48;
inline constexpr uint64_t kCacheKeyAddressMask = (uint64_t(1) << kCacheKeyAddressBits) - 1;
// Encodings interned from 1 up to this one, exclusive, fit in a key; the
// value itself marks a signature not yet known (or beyond that range), which
// no entry carries.
inline constexpr uint32_t kUnknownSignature = 0xFFFF;
inline constexpr uint64_t kUnknownSignatureKeyBits = uint64_t(kUnknownSignature) << kCacheKeyAddressBits;

// The buckets of the first level of a cache, inside the class.
inline constexpr size_t kClassCacheSize = 8;

// The one-bucket overflow table of a class that needed none yet.
PLATFORM_EXPORT extern const CacheBucket emptyCache;

// A selector's bucket in a table of mask + 1 buckets: selectors are 16-byte
// aligned, so their addresses spread over the table without a shift.
inline size_t cacheOffset(SEL sel, uintptr_t maskBytes)
{
    return reinterpret_cast<uintptr_t>(sel) & maskBytes;
}
inline size_t cacheIndex(SEL sel, uintptr_t mask)
{
    return cacheOffset(sel, mask * sizeof(CacheBucket)) / sizeof(CacheBucket);
}

struct MethodTable;

} // namespace objc_detail

// What the runtime knows of one class. Class objects are immortal.
struct PLATFORM_EXPORT objc_class : Object {
    using Allocator = Object* (*)(Class cls);

    constexpr objc_class(Class metaclass, const char* className, Class superclass, bool meta, Allocator allocator) noexcept
        : Object(ImmortalTag {}, metaclass)
        , name(className)
        , superclass(superclass)
        , isMeta(meta)
        , allocate(allocator)
    {
    }

    const char* name;
    Class superclass;
    bool isMeta;
    bool registered = false;
    Allocator allocate; // makes an instance (isa already set); null if the class cannot be instantiated
    // The method cache, filled by first sends and read without a lock by
    // every send. Its first level is a small direct-mapped table inside the
    // class, so that a hit costs one load beyond the isa. An entry whose
    // bucket there is taken goes to the overflow table: a power-of-two array
    // of buckets, allocated for the first such entry and replaced whole, by
    // one at least as large, when it runs out of room. Its buckets are
    // stored before its mask and read after it, so that no reader indexes
    // beyond the table it reads.
    objc_detail::CacheBucket cache[objc_detail::kClassCacheSize] {};
    std::atomic<const objc_detail::CacheBucket*> overflowBuckets { &objc_detail::emptyCache };
    std::atomic<uintptr_t> overflowMask { 0 }; // the offset of the last bucket, in bytes
    objc_detail::MethodTable* methods = nullptr;
    std::vector<objc_ivar*>* ivars = nullptr;
    // The class hierarchy seen from above, so that a method change reaches
    // the caches of the changed class and its subclasses only.
    Class firstSubclass = nullptr;
    Class nextSibling = nullptr;
    bool linked = false;
    // Entries in the overflow table, and those plus the buckets of removed
    // entries (which are not reused in the same table).
    uint32_t overflowOccupied = 0;
    uint32_t overflowUsed = 0;
    // Live instances whose isa is exactly this class.
    size_t instanceCount = 0;
};

// The statically allocated root class and its metaclass.
PLATFORM_EXPORT extern objc_class OBJC_CLASS_NSObject;
PLATFORM_EXPORT extern objc_class OBJC_METACLASS_NSObject;

// Aligned so that method caches can index by a selector's address alone.
struct alignas(16) objc_selector {
    const char* name;
};

struct objc_method {
    Class cls;
    SEL sel;
};

struct objc_ivar {
    const char* name;
    const char* type;
    ptrdiff_t offset; // from the object's address (its Object base)
};

// Selectors.
PLATFORM_EXPORT SEL sel_registerName(const char* name);
PLATFORM_EXPORT SEL sel_getUid(const char* name);
PLATFORM_EXPORT const char* sel_getName(SEL sel);

// Classes.
PLATFORM_EXPORT Class objc_getClass(const char* name);
PLATFORM_EXPORT Class objc_lookUpClass(const char* name);
PLATFORM_EXPORT Class objc_getMetaClass(const char* name);
PLATFORM_EXPORT Class NSClassFromString(NSString* name);
// Nil when the name is missing or a class of that name exists already.
PLATFORM_EXPORT Class objc_allocateClassPair(Class superclass, const char* name, objc_class::Allocator allocator);
PLATFORM_EXPORT void objc_registerClassPair(Class cls);
PLATFORM_EXPORT const char* class_getName(Class cls);
PLATFORM_EXPORT Class class_getSuperclass(Class cls);
PLATFORM_EXPORT BOOL class_isMetaClass(Class cls);
PLATFORM_EXPORT BOOL class_respondsToSelector(Class cls, SEL sel);
PLATFORM_EXPORT BOOL class_addMethod(Class cls, SEL name, IMP imp, const char* types);
PLATFORM_EXPORT IMP class_replaceMethod(Class cls, SEL name, IMP imp, const char* types);
PLATFORM_EXPORT IMP class_getMethodImplementation(Class cls, SEL name);
// The encoding of the method a send of sel to an instance of cls reaches, or null.
PLATFORM_EXPORT const char* class_getMethodTypeEncoding(Class cls, SEL name);
// A method as the runtime hands it out: the class that has it (cls or the
// ancestor it inherits it from) and its selector; it lives as long as the
// process. Its encoding and implementation are read when asked, so they
// follow later hooks; both are null once the method is removed.
PLATFORM_EXPORT Method class_getInstanceMethod(Class cls, SEL name);
PLATFORM_EXPORT SEL method_getName(Method method);
PLATFORM_EXPORT const char* method_getTypeEncoding(Method method);
PLATFORM_EXPORT IMP method_getImplementation(Method method);
PLATFORM_EXPORT Ivar class_getInstanceVariable(Class cls, const char* name);
PLATFORM_EXPORT ptrdiff_t ivar_getOffset(Ivar ivar);
PLATFORM_EXPORT const char* ivar_getName(Ivar ivar);
PLATFORM_EXPORT const char* ivar_getTypeEncoding(Ivar ivar);
PLATFORM_EXPORT BOOL class_isSubclassOf(Class cls, Class ancestor);

// Objects.
PLATFORM_EXPORT Class object_getClass(id object);
PLATFORM_EXPORT const char* object_getClassName(id object);
PLATFORM_EXPORT id object_getIvar(id object, Ivar ivar);
PLATFORM_EXPORT id class_createInstance(Class cls);

// Live instances of exactly this class (not of its subclasses).
PLATFORM_EXPORT size_t class_getInstanceCount(Class cls);

namespace objc_detail {
// Adds a statically allocated class (and its metaclass) to the class table.
PLATFORM_EXPORT void registerStaticClass(Class cls);
// A class pair of that name that stays out of the class table (objc_getClass
// does not find it); for a C++ class whose name another image took first.
PLATFORM_EXPORT Class allocateUnlistedClassPair(Class superclass, const char* name, objc_class::Allocator allocator);
// Raises an NSException with this name and reason (Foundation implements it).
[[noreturn]] PLATFORM_EXPORT void raise(const char* name, const std::string& reason);
// Removes a method that the class itself has (not one it inherits); YES when
// there was one. Sends reach the inherited method again, if any.
PLATFORM_EXPORT BOOL removeMethod(Class cls, SEL sel);
// Called with every object that reached the root -dealloc, just before its
// C++ destructor runs (Foundation drops the object's observations there).
using DestroyHook = void (*)(Object*);
PLATFORM_EXPORT void setDestroyHook(DestroyHook hook);

// Sends read method caches without a lock, so a table that a cache grows
// out of is freed only once no thread can still be reading it. The thread
// that loaded the runtime (the main thread) takes part from the start; any
// other thread that sends messages joins before its first send, reports
// now and then a moment when it is inside no send, and leaves before it
// ends.
PLATFORM_EXPORT void joinSendingThreads();
PLATFORM_EXPORT void leaveSendingThreads();
PLATFORM_EXPORT void quiescentPoint();

// The number of buckets in the class's overflow table (1 while it has none).
PLATFORM_EXPORT size_t overflowCapacity(Class cls);
}

// Interned type encodings: equal strings get equal ids (never 0).
PLATFORM_EXPORT uint32_t objc_internTypeEncoding(const char* types);
PLATFORM_EXPORT const char* objc_typeEncodingString(uint32_t types);
