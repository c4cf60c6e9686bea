// NSValue: a boxed C struct, tagged with its type encoding. Key-value coding
// and observation hand out geometry values (points, sizes, rectangles, edge
// insets, affine transforms) in it.
//
// On the device NSNumber is a subclass of NSValue; here the two are separate
// classes (NSNumber lives with the property-list values).
#pragma once

#include "foundation/NSString.h"
#include "graphics/CGGeometry.h"
#include "uikit/UIGeometry.h"

#include <cstring>
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

    static Ref<NSValue> valueWithCGPoint(CGPoint point) { return valueWith(point); }
    static Ref<NSValue> valueWithCGSize(CGSize size) { return valueWith(size); }
    static Ref<NSValue> valueWithCGRect(CGRect rect) { return valueWith(rect); }
    static Ref<NSValue> valueWithUIEdgeInsets(UIEdgeInsets insets) { return valueWith(insets); }
    static Ref<NSValue> valueWithCGAffineTransform(CGAffineTransform transform) { return valueWith(transform); }

    CGPoint CGPointValue() const noexcept { return get<CGPoint>(); }
    CGSize CGSizeValue() const noexcept { return get<CGSize>(); }
    CGRect CGRectValue() const noexcept { return get<CGRect>(); }
    UIEdgeInsets UIEdgeInsetsValue() const noexcept { return get<UIEdgeInsets>(); }
    CGAffineTransform CGAffineTransformValue() const noexcept { return get<CGAffineTransform>(); }

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
