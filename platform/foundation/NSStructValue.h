// NSValue: a boxed C struct, tagged with its type encoding. Key-value coding
// and observation hand out struct values in it: Foundation's own (the system
// version) and those a framework above registers (UIKit's geometry, see
// uikit/UIGeometry.h).
//
// On the device NSNumber is a subclass of NSValue; here the two are separate
// classes (NSNumber lives with the property-list values).
#pragma once

#include "foundation/NSString.h"

#include <cstring>
#include <string>
#include <string_view>
#include <vector>

class PLATFORM_EXPORT NSValue : public NSObject {
    OBJC_CLASS(NSValue)
public:
    // Copies size bytes of a value of the given type encoding.
    static Ref<NSValue> create(const char* objCType, const void* bytes, size_t size);

    template <typename T>
    static Ref<NSValue> valueWith(const T& value)
    {
        return create(TypeEncoding<T>::value, &value, sizeof(T));
    }
    // Whether the value holds a T (same encoding and size).
    template <typename T>
    bool holds() const noexcept
    {
        return m_bytes.size() == sizeof(T) && std::strcmp(m_type, TypeEncoding<T>::value) == 0;
    }
    // The value as a T; a zeroed T when it holds something else.
    template <typename T>
    T get() const noexcept
    {
        T value {};
        if (holds<T>())
            std::memcpy(&value, m_bytes.data(), sizeof(T));
        return value;
    }

    const char* objCType() const noexcept { return m_type; }
    const std::vector<uint8_t>& bytes() const noexcept { return m_bytes; }
    BOOL isEqualToValue(const NSValue* other) const noexcept;
    Ref<NSString> description() const;

    bool isEqual(const Object* other) const noexcept override;
    NSUInteger hash() const noexcept override;
    ~NSValue() override;

private:
    NSValue() = default;
    const char* m_type = ""; // interned
    std::vector<uint8_t> m_bytes;
};

// A struct type that key-value coding boxes as NSValue: how to send a getter
// that returns it and a setter that takes it, and how its values describe
// themselves ("NSSize: {320, 44}"; nullptr describes the bytes).
struct NSValueStructType {
    const char* encoding;
    size_t size;
    id (*sendGetter)(id object, SEL getter); // the result boxed, autoreleased
    void (*sendSetter)(id object, SEL setter, const NSValue* value);
    std::string (*describe)(const NSValue* value);

    template <typename T>
    static NSValueStructType of(std::string (*describe)(const NSValue*) = nullptr)
    {
        return {
            TypeEncoding<T>::value,
            sizeof(T),
            [](id object, SEL getter) -> id { return NSValue::valueWith(objc_msgSend<T>(object, getter)).leakRef()->autorelease(); },
            [](id object, SEL setter, const NSValue* value) { objc_msgSend<void>(object, setter, value->get<T>()); },
            describe,
        };
    }
};

// Adds a struct type (a framework does so when it loads); a later
// registration of the same encoding replaces the earlier one.
PLATFORM_EXPORT void NSValueRegisterStructType(const NSValueStructType& type);
// The registered struct type of an encoding, or nullptr.
PLATFORM_EXPORT const NSValueStructType* NSValueStructTypeForEncoding(std::string_view encoding);
