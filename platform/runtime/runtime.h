// The object runtime's C interface, under the device runtime's names.
//
// Classes are registered by name, each with a metaclass that holds its class
// methods; class objects are themselves objects (their isa is the metaclass),
// so a message to a class reaches a class method. Methods carry the
// platform's type-encoding strings ("v@:@", "B@:q"); a typed send is checked
// against them (see runtime/message.h).
#pragma once

#include "runtime/Object.h"

#include <string>
#include <vector>

class NSString;

// What the runtime knows of one class. Class objects are immortal.
struct PLATFORM_EXPORT objc_class : Object {
    using Allocator = Object* (*)(Class cls);

    struct CacheEntry {
        IMP imp;
        uint32_t types; // interned encoding; 0 marks an empty entry
    };
    struct Method {
        SEL sel;
        IMP imp;
        uint32_t types;
    };

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
    std::vector<Method>* methods = nullptr;
    std::vector<objc_ivar*>* ivars = nullptr;
    // Dispatch table indexed by selector index; emptied whenever a method is
    // added or replaced anywhere.
    CacheEntry* cache = nullptr;
    uint32_t cacheCapacity = 0;
    // Live instances whose isa is exactly this class.
    size_t instanceCount = 0;
};

// The statically allocated root class and its metaclass.
PLATFORM_EXPORT extern objc_class OBJC_CLASS_NSObject;
PLATFORM_EXPORT extern objc_class OBJC_METACLASS_NSObject;

struct objc_selector {
    const char* name;
    uint32_t index;
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
PLATFORM_EXPORT Ivar class_getInstanceVariable(Class cls, const char* name);
PLATFORM_EXPORT BOOL class_addIvar(Class cls, const char* name, ptrdiff_t offset, const char* type);
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
// Raises an NSException with this name and reason (Foundation implements it).
[[noreturn]] PLATFORM_EXPORT void raise(const char* name, const std::string& reason);
// Removes a method that the class itself has (not one it inherits); YES when
// there was one. Sends reach the inherited method again, if any.
PLATFORM_EXPORT BOOL removeMethod(Class cls, SEL sel);
// Called with every object that reached the root -dealloc, just before its
// C++ destructor runs (Foundation drops the object's observations there).
using DestroyHook = void (*)(Object*);
PLATFORM_EXPORT void setDestroyHook(DestroyHook hook);
}

// Interned type encodings: equal strings get equal ids (never 0).
PLATFORM_EXPORT uint32_t objc_internTypeEncoding(const char* types);
PLATFORM_EXPORT const char* objc_typeEncodingString(uint32_t types);
