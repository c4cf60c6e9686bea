// Compile-time type encodings of C++ types, in the platform's notation
// ("v" void, "B" bool, "c" signed char, "i" int, "q" long long, "@" object,
// ":" selector ...). Struct types (CGRect, CGSize ...) add their own
// specialisations next to their definitions.
#pragma once

#include "runtime/objc.h"

#include <functional>
#include <string>
#include <type_traits>

template <typename T, typename = void>
struct TypeEncoding {
    static_assert(sizeof(T) == 0, "no type encoding for this type; add a TypeEncoding specialisation");
};

#define PLATFORM_TYPE_ENCODING(type, encoding)         \
    template <>                                        \
    struct TypeEncoding<type> {                        \
        static constexpr const char* value = encoding; \
    }

PLATFORM_TYPE_ENCODING(void, "v");
PLATFORM_TYPE_ENCODING(bool, "B");
PLATFORM_TYPE_ENCODING(char, "c");
PLATFORM_TYPE_ENCODING(signed char, "c");
PLATFORM_TYPE_ENCODING(unsigned char, "C");
PLATFORM_TYPE_ENCODING(short, "s");
PLATFORM_TYPE_ENCODING(unsigned short, "S");
PLATFORM_TYPE_ENCODING(int, "i");
PLATFORM_TYPE_ENCODING(unsigned int, "I");
PLATFORM_TYPE_ENCODING(long, sizeof(long) == 8 ? "q" : "l");
PLATFORM_TYPE_ENCODING(unsigned long, sizeof(long) == 8 ? "Q" : "L");
PLATFORM_TYPE_ENCODING(long long, "q");
PLATFORM_TYPE_ENCODING(unsigned long long, "Q");
PLATFORM_TYPE_ENCODING(float, "f");
PLATFORM_TYPE_ENCODING(double, "d");
PLATFORM_TYPE_ENCODING(Class, "#");
PLATFORM_TYPE_ENCODING(SEL, ":");
PLATFORM_TYPE_ENCODING(const char*, "*");
PLATFORM_TYPE_ENCODING(char*, "*");
PLATFORM_TYPE_ENCODING(void*, "^v");
PLATFORM_TYPE_ENCODING(const void*, "^v");
PLATFORM_TYPE_ENCODING(std::nullptr_t, "@");
PLATFORM_TYPE_ENCODING(float*, "^f");
PLATFORM_TYPE_ENCODING(double*, "^d");
PLATFORM_TYPE_ENCODING(bool*, "^B");

// Enumerations travel as their underlying integer type.
template <typename T>
struct TypeEncoding<T, std::enable_if_t<std::is_enum_v<T>>> {
    static constexpr const char* value = TypeEncoding<std::underlying_type_t<T>>::value;
};

// Objects.
template <typename T>
struct TypeEncoding<T*, std::enable_if_t<std::is_base_of_v<Object, T> && !std::is_same_v<std::remove_cv_t<T>, objc_class>>> {
    static constexpr const char* value = "@";
};
// Out-parameters for objects (NSError **).
template <typename T>
struct TypeEncoding<T**, std::enable_if_t<std::is_base_of_v<Object, T>>> {
    static constexpr const char* value = "^@";
};
// Blocks.
template <typename F>
struct TypeEncoding<std::function<F>> {
    static constexpr const char* value = "@?";
};

// The encoding of a method with result R and arguments Args, receiver and
// selector included: "v@:@" for void (id).
template <typename R, typename... Args>
std::string methodTypeEncoding()
{
    std::string encoding = TypeEncoding<R>::value;
    encoding += "@:";
    ((encoding += TypeEncoding<Args>::value), ...);
    return encoding;
}

// C++ bool is the platform's BOOL on 64-bit builds only: a method that is
// defined to take or answer a truth value says BOOL, so that it has one
// signature on every width. (objc_msgSend refuses a bool result and sends
// bool arguments as BOOL; only objc_detail::send says bool, as key-value
// coding does to reach a property registered as "B".)
template <typename T>
inline constexpr bool isBareBool = std::is_same_v<std::remove_cv_t<T>, bool> && !std::is_same_v<BOOL, bool>;

template <typename R, typename... Args>
std::string definedMethodTypeEncoding()
{
    static_assert(!isBareBool<R> && (!isBareBool<Args> && ...), "a method's truth value is BOOL, not bool");
    return methodTypeEncoding<R, Args...>();
}
