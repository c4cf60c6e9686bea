#include "foundation/NSStructValue.h"

#include <functional>
#include <string_view>

Class NSValue::staticClass()
{
    static Class cls = ClassBuilder<NSValue>("NSValue", &OBJC_CLASS_NSObject)
                           .classMethod<&NSValue::valueWithCGPoint>("valueWithCGPoint:")
                           .classMethod<&NSValue::valueWithCGSize>("valueWithCGSize:")
                           .classMethod<&NSValue::valueWithCGRect>("valueWithCGRect:")
                           .classMethod<&NSValue::valueWithUIEdgeInsets>("valueWithUIEdgeInsets:")
                           .classMethod<&NSValue::valueWithCGAffineTransform>("valueWithCGAffineTransform:")
                           .method<&NSValue::CGPointValue>("CGPointValue")
                           .method<&NSValue::CGSizeValue>("CGSizeValue")
                           .method<&NSValue::CGRectValue>("CGRectValue")
                           .method<&NSValue::UIEdgeInsetsValue>("UIEdgeInsetsValue")
                           .method<&NSValue::CGAffineTransformValue>("CGAffineTransformValue")
                           .method<&NSValue::objCType>("objCType")
                           .method<&NSValue::isEqualToValue>("isEqualToValue:")
                           .method<&NSValue::description>("description")
                           .build();
    return cls;
}

NSValue::~NSValue() = default;

Ref<NSValue> NSValue::create(const char* objCType, const void* bytes, size_t size)
{
    auto value = adoptObject(new NSValue);
    value->m_type = objc_typeEncodingString(objc_internTypeEncoding(objCType ? objCType : ""));
    auto* first = static_cast<const uint8_t*>(bytes);
    value->m_bytes.assign(first, first + (bytes ? size : 0));
    return value;
}

BOOL NSValue::isEqualToValue(const NSValue* other) const noexcept
{
    return other && (this == other || (std::strcmp(m_type, other->m_type) == 0 && m_bytes == other->m_bytes));
}

bool NSValue::isEqual(const Object* other) const noexcept
{
    if (this == other)
        return true;
    if (!other || !class_isSubclassOf(other->isa(), staticClass()))
        return false;
    return isEqualToValue(static_cast<const NSValue*>(other));
}

NSUInteger NSValue::hash() const noexcept
{
    return std::hash<std::string_view> {}(std::string_view(reinterpret_cast<const char*>(m_bytes.data()), m_bytes.size()));
}

// The platform's descriptions: "NSSize: {320, 44}", "NSRect: {{0, 0}, {320, 44}}".
Ref<NSString> NSValue::description() const
{
    if (holds<CGPoint>()) {
        auto p = CGPointValue();
        return NSString::stringWithFormat("NSPoint: {%g, %g}", p.x, p.y);
    }
    if (holds<CGSize>()) {
        auto s = CGSizeValue();
        return NSString::stringWithFormat("NSSize: {%g, %g}", s.width, s.height);
    }
    if (holds<CGRect>()) {
        auto r = CGRectValue();
        return NSString::stringWithFormat("NSRect: {{%g, %g}, {%g, %g}}", r.origin.x, r.origin.y, r.size.width, r.size.height);
    }
    if (holds<UIEdgeInsets>()) {
        auto i = UIEdgeInsetsValue();
        return NSString::stringWithFormat("UIEdgeInsets: {%g, %g, %g, %g}", i.top, i.left, i.bottom, i.right);
    }
    if (holds<CGAffineTransform>()) {
        auto t = CGAffineTransformValue();
        return NSString::stringWithFormat("CGAffineTransform: {{%g, %g, %g, %g}, {%g, %g}}", t.a, t.b, t.c, t.d, t.tx, t.ty);
    }
    std::string hex = "<";
    char byte[4];
    for (size_t i = 0; i < m_bytes.size(); ++i) {
        if (i && i % 4 == 0)
            hex += ' ';
        std::snprintf(byte, sizeof byte, "%02x", m_bytes[i]);
        hex += byte;
    }
    hex += '>';
    return NSString::create(hex);
}
