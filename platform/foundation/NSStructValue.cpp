#include "foundation/NSStructValue.h"

#include "foundation/NSProcessInfo.h"

#include <algorithm>
#include <deque>
#include <functional>

Class NSValue::staticClass()
{
    static Class cls = ClassBuilder<NSValue>("NSValue", &OBJC_CLASS_NSObject)
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

// The registered description ("NSSize: {320, 44}"), or the bytes in hex.
Ref<NSString> NSValue::description() const
{
    if (auto* type = NSValueStructTypeForEncoding(m_type); type && type->describe && type->size == m_bytes.size())
        return NSString::create(type->describe(this));
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

namespace {

// A deque: registering keeps the entries handed out where they are.
std::deque<NSValueStructType>& structTypes()
{
    static auto* types = new std::deque<NSValueStructType> {
        NSValueStructType::of<NSOperatingSystemVersion>(),
    };
    return *types;
}

} // namespace

void NSValueRegisterStructType(const NSValueStructType& type)
{
    auto& types = structTypes();
    auto existing = std::find_if(types.begin(), types.end(), [&](auto& entry) { return std::string_view(entry.encoding) == type.encoding; });
    if (existing != types.end())
        *existing = type;
    else
        types.push_back(type);
}

const NSValueStructType* NSValueStructTypeForEncoding(std::string_view encoding)
{
    for (auto& type : structTypes()) {
        if (encoding == type.encoding)
            return &type;
    }
    return nullptr;
}
