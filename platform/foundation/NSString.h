// Immutable strings, stored as UTF-8.
//
// "text"_ns is a constant string: an immortal object made at compile time,
// like the platform's @"text", usable in constant initialisation.
#pragma once

#include "runtime/ClassBuilder.h"

#include <cstdarg>
#include <string>
#include <string_view>

PLATFORM_EXPORT extern objc_class OBJC_CLASS_NSString;
PLATFORM_EXPORT extern objc_class OBJC_CLASS_NSConstantString;

class PLATFORM_EXPORT NSString : public NSObject {
    OBJC_CLASS(NSString)
public:
    static Ref<NSString> create(std::string_view text);
    // printf-style formatting with %@ for an object's -description.
    static Ref<NSString> stringWithFormat(const char* format, ...);
    static Ref<NSString> stringWithFormatV(const char* format, va_list arguments);

    std::string_view view() const noexcept { return { m_data, m_length }; }
    std::string string() const { return std::string(view()); }
    const char* UTF8String() const noexcept { return m_data; }
    // Length in UTF-16 code units, as the platform counts.
    NSUInteger length() const noexcept;

    bool isEqualToString(const NSString* other) const noexcept;
    bool isEqual(const Object* other) const noexcept override;
    NSUInteger hash() const noexcept override;

    // Numeric readings as the platform defines them (see NSString.cpp).
    BOOL boolValue() const noexcept;
    float floatValue() const noexcept;
    double doubleValue() const noexcept;
    int intValue() const noexcept;
    NSInteger integerValue() const noexcept;

    bool hasPrefix(const NSString* prefix) const noexcept;
    Ref<NSString> stringByAppendingString(const NSString* other) const;
    // The path as the file system's calls take it (lstat(), rename(), ...):
    // the host entry that stands for an absolute device path, below the
    // device's root. As on the device, a symbolic link at the path itself is
    // not resolved: the call decides whether it follows it (open() without
    // O_NOFOLLOW does, and may then leave the device). Empty for a path that
    // names nothing on the device (relative, or leading outside it through
    // its folders), which every file call refuses. Autoreleased.
    const char* fileSystemRepresentation() const;

    ~NSString() override;

protected:
    constexpr NSString(ImmortalTag tag, Class cls, const char* data, size_t length) noexcept
        : Object(tag, cls)
        , m_data(data)
        , m_length(length)
    {
    }
    NSString() noexcept;
    explicit NSString(std::string_view text);

private:
    const char* m_data;
    size_t m_length;
    bool m_owned = false;
};

class PLATFORM_EXPORT NSConstantString final : public NSString {
public:
    constexpr NSConstantString(const char* data, size_t length) noexcept
        : NSString(ImmortalTag {}, &OBJC_CLASS_NSConstantString, data, length)
    {
    }
};

namespace objc_detail {
template <FixedString Text>
inline constinit NSConstantString constantString { Text.data, sizeof(Text.data) - 1 };
}

template <objc_detail::FixedString Text>
consteval NSString* operator""_ns()
{
    return &objc_detail::constantString<Text>;
}

// Returns a string made from text.
inline Ref<NSString> NSStr(std::string_view text)
{
    return NSString::create(text);
}
