#include "foundation/NSString.h"

#include "device/Device.h"
#include "foundation/NSException.h"

#include <charconv>
#include <cstdio>
#include <cstring>
#include <functional>

constinit objc_class OBJC_METACLASS_NSString(&OBJC_METACLASS_NSObject, "NSString", &OBJC_METACLASS_NSObject, true, nullptr);
constinit objc_class OBJC_CLASS_NSString(&OBJC_METACLASS_NSString, "NSString", &OBJC_CLASS_NSObject, false, nullptr);
constinit objc_class OBJC_METACLASS_NSConstantString(&OBJC_METACLASS_NSObject, "NSConstantString", &OBJC_METACLASS_NSString, true, nullptr);
constinit objc_class OBJC_CLASS_NSConstantString(&OBJC_METACLASS_NSConstantString, "NSConstantString", &OBJC_CLASS_NSString, false, nullptr);

namespace {

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

id description(id self, SEL) { return self; }
const char* utf8String(id self, SEL) { return static_cast<NSString*>(self)->UTF8String(); }
id stringWithString(id, SEL, NSString* other) { return NSString::create(other ? other->view() : "")->autorelease(); }
id stringWithUTF8String(id, SEL, const char* text) { return NSString::create(text ? text : "")->autorelease(); }

} // namespace

Class NSString::staticClass()
{
    static Class cls = [] {
        objc_detail::registerStaticClass(&OBJC_CLASS_NSConstantString);
        return ClassBuilder<NSString>(&OBJC_CLASS_NSString)
            .method("description", description)
            .method("UTF8String", utf8String)
            .method(
                "copy", +[](id self, SEL) -> id { self->retain(); return self; })
            .classMethod("stringWithString:", stringWithString)
            .classMethod("stringWithUTF8String:", stringWithUTF8String)
            .method<&NSString::length>("length")
            .method<&NSString::boolValue>("boolValue")
            .method<&NSString::floatValue>("floatValue")
            .method<&NSString::doubleValue>("doubleValue")
            .method<&NSString::intValue>("intValue")
            .method<&NSString::integerValue>("integerValue")
            .method<&NSString::isEqualToString>("isEqualToString:")
            .method<&NSString::hasPrefix>("hasPrefix:")
            .method<&NSString::stringByAppendingString>("stringByAppendingString:")
            .method<&NSString::fileSystemRepresentation>("fileSystemRepresentation")
            .build();
    }();
    return cls;
}

NSString::NSString() noexcept
    : m_data("")
    , m_length(0)
{
}

NSString::NSString(std::string_view text)
    : m_length(text.size())
    , m_owned(true)
{
    char* data = new char[text.size() + 1];
    std::memcpy(data, text.data(), text.size());
    data[text.size()] = '\0';
    m_data = data;
}

NSString::~NSString()
{
    if (m_owned)
        delete[] m_data;
}

Ref<NSString> NSString::create(std::string_view text)
{
    return adoptObject(new NSString(text));
}

Ref<NSString> NSString::stringWithFormat(const char* format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    auto result = stringWithFormatV(format, arguments);
    va_end(arguments);
    return result;
}

Ref<NSString> NSString::stringWithFormatV(const char* format, va_list arguments)
{
    std::string out;
    va_list args;
    va_copy(args, arguments);
    for (const char* p = format; *p;) {
        if (*p != '%') {
            out += *p++;
            continue;
        }
        const char* start = p++;
        if (*p == '%') {
            out += '%';
            ++p;
            continue;
        }
        // Flags, width, precision, length; then the conversion.
        while (*p && std::strchr("-+ #0", *p))
            ++p;
        bool starWidth = false, starPrecision = false;
        if (*p == '*') {
            starWidth = true;
            ++p;
        }
        while (*p >= '0' && *p <= '9')
            ++p;
        if (*p == '.') {
            ++p;
            if (*p == '*') {
                starPrecision = true;
                ++p;
            }
            while (*p >= '0' && *p <= '9')
                ++p;
        }
        std::string length;
        while (*p && std::strchr("hljztLq", *p))
            length += *p++;
        char conversion = *p ? *p++ : '\0';
        std::string directive(start, p);
        int width = starWidth ? va_arg(args, int) : 0;
        int precision = starPrecision ? va_arg(args, int) : 0;
        // An integer argument as wide as its length says: "l" is a long (as
        // wide as the build), "q", "ll" and "j" are 64 bits, "z" and "t" a
        // size, anything shorter an int, narrowed by "h" and "hh".
        auto signedArgument = [&]() -> long long {
            if (length == "q" || length == "ll" || length == "j")
                return va_arg(args, long long);
            if (length == "l")
                return va_arg(args, long);
            if (length == "z" || length == "t")
                return va_arg(args, ptrdiff_t);
            if (length == "hh")
                return static_cast<signed char>(va_arg(args, int));
            if (length == "h")
                return static_cast<short>(va_arg(args, int));
            return va_arg(args, int);
        };
        auto unsignedArgument = [&]() -> unsigned long long {
            if (length == "q" || length == "ll" || length == "j")
                return va_arg(args, unsigned long long);
            if (length == "l")
                return va_arg(args, unsigned long);
            if (length == "z" || length == "t")
                return va_arg(args, size_t);
            if (length == "hh")
                return static_cast<unsigned char>(va_arg(args, unsigned int));
            if (length == "h")
                return static_cast<unsigned short>(va_arg(args, unsigned int));
            return va_arg(args, unsigned int);
        };
        char buffer[512];
        auto emit = [&](auto value) {
            if (starWidth && starPrecision)
                std::snprintf(buffer, sizeof buffer, directive.c_str(), width, precision, value);
            else if (starWidth)
                std::snprintf(buffer, sizeof buffer, directive.c_str(), width, value);
            else if (starPrecision)
                std::snprintf(buffer, sizeof buffer, directive.c_str(), precision, value);
            else
                std::snprintf(buffer, sizeof buffer, directive.c_str(), value);
            out += buffer;
        };
        switch (conversion) {
        case '@': {
            id object = va_arg(args, id);
            if (!object) {
                out += "(null)";
                break;
            }
            auto* text = objc_msgSend<NSString*>(object, "description"_sel);
            out += text ? text->view() : std::string_view("(null)");
            break;
        }
        case 'd':
        case 'i':
            directive = directive.substr(0, directive.size() - 1 - length.size()) + "ll" + conversion;
            emit(signedArgument());
            break;
        case 'u':
        case 'x':
        case 'X':
        case 'o':
            directive = directive.substr(0, directive.size() - 1 - length.size()) + "ll" + conversion;
            emit(unsignedArgument());
            break;
        case 'f':
        case 'F':
        case 'e':
        case 'E':
        case 'g':
        case 'G':
        case 'a':
        case 'A':
            if (length == "L")
                emit(va_arg(args, long double));
            else
                emit(va_arg(args, double));
            break;
        case 'c':
            emit(va_arg(args, int));
            break;
        case 's':
            emit(va_arg(args, const char*));
            break;
        case 'p':
            emit(va_arg(args, void*));
            break;
        default:
            out += directive;
            break;
        }
    }
    va_end(args);
    return create(out);
}

NSUInteger NSString::length() const noexcept
{
    NSUInteger units = 0;
    for (size_t i = 0; i < m_length; ++i) {
        auto byte = static_cast<unsigned char>(m_data[i]);
        if ((byte & 0xC0) == 0x80)
            continue; // continuation byte
        units += byte >= 0xF0 ? 2 : 1;
    }
    return units;
}

bool NSString::isEqualToString(const NSString* other) const noexcept
{
    return other && view() == other->view();
}

bool NSString::isEqual(const Object* other) const noexcept
{
    if (this == other)
        return true;
    if (!other || !class_isSubclassOf(other->isa(), &OBJC_CLASS_NSString))
        return false;
    return isEqualToString(static_cast<const NSString*>(other));
}

NSUInteger NSString::hash() const noexcept
{
    return std::hash<std::string_view> {}(view());
}

bool NSString::hasPrefix(const NSString* prefix) const noexcept
{
    return prefix && view().starts_with(prefix->view());
}

Ref<NSString> NSString::stringByAppendingString(const NSString* other) const
{
    if (!other)
        NSException::raise(NSInvalidArgumentException, "*** -[NSString stringByAppendingString:]: nil argument");
    return create(string() + other->string());
}

const char* NSString::fileSystemRepresentation() const
{
    std::optional<std::filesystem::path> host;
    if (view().find('\0') == std::string_view::npos)
        host = device::hostEntryPath(view());
    Object* result = create(host ? host->string() : std::string()).leakRef()->autorelease();
    return static_cast<NSString*>(result)->UTF8String();
}

// YES for text starting with Y, y, T, t or a digit 1-9, after leading white
// space, an optional sign and any zeros.
BOOL NSString::boolValue() const noexcept
{
    std::string_view text = view();
    size_t i = 0;
    while (i < text.size() && isSpace(text[i]))
        ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        ++i;
    while (i < text.size() && text[i] == '0')
        ++i;
    if (i == text.size())
        return NO;
    char c = text[i];
    return c == 'Y' || c == 'y' || c == 'T' || c == 't' || (c >= '1' && c <= '9');
}

// The leading decimal number after white space; 0 when there is none.
double NSString::doubleValue() const noexcept
{
    std::string_view text = view();
    size_t i = 0;
    while (i < text.size() && isSpace(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    // Only the decimal forms: digits, a point, digits, an exponent.
    size_t start = i;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9')
        ++i;
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9')
            ++i;
    }
    if (i == start || (i == start + 1 && text[start] == '.'))
        return 0;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        size_t mark = i++;
        if (i < text.size() && (text[i] == '+' || text[i] == '-'))
            ++i;
        size_t digits = i;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9')
            ++i;
        if (i == digits)
            i = mark;
    }
    double value = 0;
    std::from_chars(text.data() + start, text.data() + i, value, std::chars_format::general);
    return negative ? -value : value;
}

float NSString::floatValue() const noexcept
{
    return static_cast<float>(doubleValue());
}

NSInteger NSString::integerValue() const noexcept
{
    std::string_view text = view();
    size_t i = 0;
    while (i < text.size() && isSpace(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    NSInteger value = 0;
    std::from_chars(text.data() + i, text.data() + text.size(), value);
    return negative ? -value : value;
}

int NSString::intValue() const noexcept
{
    return static_cast<int>(integerValue());
}

Class NSClassFromString(NSString* name)
{
    return name ? objc_getClass(name->UTF8String()) : nullptr;
}
