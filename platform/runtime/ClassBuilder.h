// Registering C++ classes with the runtime.
//
//   Class UIView::staticClass()
//   {
//       static Class cls = ClassBuilder<UIView>("UIView", UIResponder::staticClass())
//           .method<&UIView::isHidden>("isHidden")
//           .method<&UIView::setHidden>("setHidden:")
//           .build();
//       return cls;
//   }
//
// A method bound to a member function gets a thunk that casts the receiver
// and calls the member; its type encoding is derived from the member's C++
// signature. A member that returns Ref<T> hands the object out +1 for
// selectors of the alloc/new/copy/init family and autoreleased otherwise, as
// the platform's naming conventions require.
#pragma once

#include "runtime/message.h"

#include <type_traits>

PLATFORM_EXPORT void object_setClass(id object, Class cls);
PLATFORM_EXPORT BOOL class_addIvarAtOffset(Class cls, const char* name, ptrdiff_t offset, const char* types);
// Whether a method of this name hands its object result to the caller (+1).
PLATFORM_EXPORT bool sel_returnsRetained(const char* name);

// Adds a plain implementation, R (*)(id self, SEL _cmd, A...), with the
// encoding of its signature on the width of the build.
template <typename R, typename... A>
inline BOOL class_addTypedMethod(Class cls, SEL name, R (*function)(id, SEL, A...))
{
    return class_addMethod(cls, name, imp_cast(function), definedMethodTypeEncoding<R, A...>().c_str());
}

// Declares the runtime class of a C++ class; put it first in the class body.
#define OBJC_CLASS(T)           \
public:                         \
    using SelfType = T;         \
    static Class staticClass(); \
    template <typename>         \
    friend class ::ClassBuilder;

// Takes over a new object: gives it its runtime class and adopts the
// reference that `new` made.
template <typename T>
inline Ref<T> adoptObject(T* object, Class cls)
{
    object_setClass(object, cls);
    return adoptRef(*object);
}

template <typename T>
inline Ref<T> adoptObject(T* object)
{
    static_assert(std::is_same_v<typename T::SelfType, T>, "the class does not declare OBJC_CLASS(T)");
    return adoptObject(object, T::staticClass());
}

namespace objc_detail {

template <typename T>
struct IsRef : std::false_type {
};
template <typename T>
struct IsRef<Ref<T>> : std::true_type {
};
template <typename T>
struct IsRef<RefPtr<T>> : std::true_type {
};

template <typename T>
Object* leakObject(Ref<T>&& ref) { return ref.leakRef(); }
template <typename T>
Object* leakObject(RefPtr<T>&& ref) { return ref.leakRef(); }

// A member's C++ bool travels as the platform's BOOL.
template <typename T>
using Travelling = std::conditional_t<std::is_same_v<T, bool>, BOOL, T>;

// The type a result travels as: objects held by Ref travel as id.
template <typename R>
using Returned = std::conditional_t<IsRef<R>::value, id, Travelling<R>>;

template <typename A>
using Param = Travelling<std::remove_cvref_t<A>>;

template <bool Retained, typename R, typename Call>
inline Returned<R> deliver(Call&& call)
{
    if constexpr (IsRef<R>::value) {
        Object* object = leakObject(call());
        if constexpr (Retained)
            return object;
        else
            return object ? object->autorelease() : nullptr;
    } else {
        return call();
    }
}

template <auto Member, bool Retained>
struct MemberThunk;

#define OBJC_MEMBER_THUNK(qualifiers)                                                                                 \
    template <typename C, typename R, typename... A, bool NE, R (C::*M)(A...) qualifiers noexcept(NE), bool Retained> \
    struct MemberThunk<M, Retained> {                                                                                 \
        using Owner = C;                                                                                              \
        static Returned<R> call(id self, SEL, Param<A>... args)                                                       \
        {                                                                                                             \
            return deliver<Retained, R>([&]() -> R { return (static_cast<C*>(self)->*M)(args...); });                 \
        }                                                                                                             \
        static std::string encoding() { return definedMethodTypeEncoding<Returned<R>, Param<A>...>(); }               \
    };
OBJC_MEMBER_THUNK()
OBJC_MEMBER_THUNK(const)
#undef OBJC_MEMBER_THUNK

template <auto Function, bool Retained>
struct FunctionThunk;

template <typename R, typename... A, bool NE, R (*F)(A...) noexcept(NE), bool Retained>
struct FunctionThunk<F, Retained> {
    static Returned<R> call(id, SEL, Param<A>... args)
    {
        return deliver<Retained, R>([&]() -> R { return F(args...); });
    }
    static std::string encoding() { return definedMethodTypeEncoding<Returned<R>, Param<A>...>(); }
};

template <typename T, typename C, typename M>
inline ptrdiff_t memberOffset(M C::*member)
{
    alignas(T) static unsigned char storage[sizeof(T)];
    T* object = reinterpret_cast<T*>(storage);
    return reinterpret_cast<const unsigned char*>(&(object->*member)) - reinterpret_cast<const unsigned char*>(static_cast<Object*>(object));
}

template <typename M>
struct IvarEncoding {
    static constexpr const char* value = TypeEncoding<M>::value;
};
template <typename T>
struct IvarEncoding<Ref<T>> {
    static constexpr const char* value = "@";
};
template <typename T>
struct IvarEncoding<RefPtr<T>> {
    static constexpr const char* value = "@";
};

} // namespace objc_detail

template <typename T>
class ClassBuilder;

template <typename T>
class ClassBuilder {
public:
    // A class of that name that another image registered first keeps the
    // name in the class table; T's class then stays unlisted, so that T's
    // instances still get T's methods.
    ClassBuilder(const char* name, Class superclass)
        : m_class(objc_allocateClassPair(superclass, name, allocator()))
    {
        if (!m_class)
            m_class = objc_detail::allocateUnlistedClassPair(superclass, name, allocator());
    }

    // Fills a statically allocated class (one that constant objects point to).
    explicit ClassBuilder(Class staticClass)
        : m_class(staticClass)
    {
        objc_detail::registerStaticClass(m_class);
        if (!m_class->allocate)
            m_class->allocate = allocator();
    }

    // An instance method bound to a member function of T (or of a base).
    template <auto Member>
    ClassBuilder& method(const char* selector)
    {
        if (sel_returnsRetained(selector))
            return add<objc_detail::MemberThunk<Member, true>>(m_class, selector);
        return add<objc_detail::MemberThunk<Member, false>>(m_class, selector);
    }

    // A class method bound to a static or free function.
    template <auto Function>
    ClassBuilder& classMethod(const char* selector)
    {
        if (sel_returnsRetained(selector))
            return add<objc_detail::FunctionThunk<Function, true>>(object_getClass(m_class), selector);
        return add<objc_detail::FunctionThunk<Function, false>>(object_getClass(m_class), selector);
    }

    // A method given as a plain implementation (id self, SEL _cmd, ...).
    template <typename R, typename... A>
    ClassBuilder& method(const char* selector, R (*function)(id, SEL, A...))
    {
        class_addTypedMethod(m_class, sel_registerName(selector), function);
        return *this;
    }
    template <typename R, typename... A>
    ClassBuilder& classMethod(const char* selector, R (*function)(id, SEL, A...))
    {
        class_addTypedMethod(object_getClass(m_class), sel_registerName(selector), function);
        return *this;
    }

    // An instance variable reachable by name (class_getInstanceVariable).
    template <auto Member>
    ClassBuilder& ivar(const char* name)
    {
        using M = std::remove_cvref_t<decltype(std::declval<T&>().*Member)>;
        class_addIvarAtOffset(m_class, name, objc_detail::memberOffset<T>(Member), objc_detail::IvarEncoding<M>::value);
        return *this;
    }

    Class build()
    {
        objc_registerClassPair(m_class);
        return m_class;
    }

private:
    template <typename Thunk>
    ClassBuilder& add(Class target, const char* selector)
    {
        if constexpr (requires { typename Thunk::Owner; })
            static_assert(std::is_base_of_v<typename Thunk::Owner, T>, "method of an unrelated class");
        class_addMethod(target, sel_registerName(selector), imp_cast(&Thunk::call), Thunk::encoding().c_str());
        return *this;
    }

    // Makes instances of T for +alloc. A class whose C++ type cannot be made
    // that way (no default constructor reachable from here: declare the
    // class with OBJC_CLASS, or befriend ::ClassBuilder) refuses +alloc
    // rather than making an instance of its superclass's type.
    static objc_class::Allocator allocator()
    {
        if constexpr (!std::is_abstract_v<T> && requires { new T(); }) {
            return [](Class cls) -> Object* {
                T* object = new T();
                object_setClass(object, cls);
                return object;
            };
        } else {
            return [](Class) -> Object* { return nullptr; };
        }
    }

    Class m_class;
};
