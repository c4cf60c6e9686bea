#include "uikit/UIGeometry.h"

#include "foundation/NSStructValue.h"

#include <cstdarg>
#include <cstdio>
#include <string>

namespace {

std::string formatted(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string formatted(const char* format, ...)
{
    char text[256];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(text, sizeof text, format, arguments);
    va_end(arguments);
    return text;
}

// The platform's descriptions: "NSSize: {320, 44}", "NSRect: {{0, 0}, {320, 44}}".
std::string describePoint(const NSValue* value)
{
    auto p = value->get<CGPoint>();
    return formatted("NSPoint: {%g, %g}", p.x, p.y);
}

std::string describeSize(const NSValue* value)
{
    auto s = value->get<CGSize>();
    return formatted("NSSize: {%g, %g}", s.width, s.height);
}

std::string describeRect(const NSValue* value)
{
    auto r = value->get<CGRect>();
    return formatted("NSRect: {{%g, %g}, {%g, %g}}", r.origin.x, r.origin.y, r.size.width, r.size.height);
}

std::string describeInsets(const NSValue* value)
{
    auto i = value->get<UIEdgeInsets>();
    return formatted("UIEdgeInsets: {%g, %g, %g, %g}", i.top, i.left, i.bottom, i.right);
}

std::string describeTransform(const NSValue* value)
{
    auto t = value->get<CGAffineTransform>();
    return formatted("CGAffineTransform: {{%g, %g, %g, %g}, {%g, %g}}", t.a, t.b, t.c, t.d, t.tx, t.ty);
}

template <typename T>
id valueWithMethod(id, SEL, T value)
{
    return NSValue::valueWith(value).leakRef()->autorelease();
}

template <typename T>
T valueMethod(id self, SEL)
{
    return static_cast<NSValue*>(self)->get<T>();
}

// Registers T for boxing; a named type also gets +valueWith<name>: and
// -<name>Value.
template <typename T>
void addGeometryType(const std::string& name, std::string (*describe)(const NSValue*))
{
    NSValueRegisterStructType(NSValueStructType::of<T>(describe));
    if (name.empty())
        return;
    Class cls = NSValue::staticClass();
    class_addMethod(object_getClass(cls), sel_registerName(("valueWith" + name + ":").c_str()), imp_cast(valueWithMethod<T>),
        methodTypeEncoding<id, T>().c_str());
    class_addMethod(cls, sel_registerName((name + "Value").c_str()), imp_cast(valueMethod<T>), methodTypeEncoding<T>().c_str());
}

} // namespace

void UIKitRegisterGeometryValues()
{
    addGeometryType<CGPoint>("CGPoint", describePoint);
    addGeometryType<CGSize>("CGSize", describeSize);
    addGeometryType<CGRect>("CGRect", describeRect);
    addGeometryType<CGVector>("", nullptr);
    addGeometryType<UIEdgeInsets>("UIEdgeInsets", describeInsets);
    addGeometryType<CGAffineTransform>("CGAffineTransform", describeTransform);
}
