#include "foundation/NSValue.h"

#include <cmath>
#include <cstring>
#include <functional>

Class NSNumber::staticClass()
{
    static Class cls = ClassBuilder<NSNumber>("NSNumber", &OBJC_CLASS_NSObject)
                           .classMethod<&NSNumber::numberWithBool>("numberWithBool:")
                           .classMethod<&NSNumber::numberWithInteger>("numberWithInteger:")
                           .classMethod<&NSNumber::numberWithInt>("numberWithInt:")
                           .classMethod<&NSNumber::numberWithLongLong>("numberWithLongLong:")
                           .classMethod<&NSNumber::numberWithUnsignedLongLong>("numberWithUnsignedLongLong:")
                           .classMethod<&NSNumber::numberWithFloat>("numberWithFloat:")
                           .classMethod<&NSNumber::numberWithDouble>("numberWithDouble:")
                           .method<&NSNumber::boolValue>("boolValue")
                           .method<&NSNumber::floatValue>("floatValue")
                           .method<&NSNumber::doubleValue>("doubleValue")
                           .method<&NSNumber::intValue>("intValue")
                           .method<&NSNumber::integerValue>("integerValue")
                           .method<&NSNumber::unsignedIntegerValue>("unsignedIntegerValue")
                           .method<&NSNumber::longLongValue>("longLongValue")
                           .method<&NSNumber::unsignedLongLongValue>("unsignedLongLongValue")
                           .method<&NSNumber::stringValue>("stringValue")
                           .method<&NSNumber::stringValue>("description")
                           .build();
    return cls;
}

Ref<NSNumber> NSNumber::numberWithBool(BOOL value)
{
    auto number = adoptObject(new NSNumber);
    number->m_kind = Kind::Bool;
    number->m_integer = value ? 1 : 0;
    number->m_real = number->m_integer;
    return number;
}

Ref<NSNumber> NSNumber::numberWithInteger(NSInteger value)
{
    return numberWithLongLong(value);
}

Ref<NSNumber> NSNumber::numberWithLongLong(long long value)
{
    auto number = adoptObject(new NSNumber);
    number->m_kind = Kind::Integer;
    number->m_integer = value;
    number->m_real = static_cast<double>(value);
    return number;
}

Ref<NSNumber> NSNumber::numberWithUnsignedLongLong(unsigned long long value)
{
    if (value <= static_cast<unsigned long long>(INT64_MAX))
        return numberWithLongLong(static_cast<long long>(value));
    auto number = adoptObject(new NSNumber);
    number->m_kind = Kind::UnsignedInteger;
    number->m_integer = static_cast<long long>(value);
    number->m_real = static_cast<double>(value);
    return number;
}

Ref<NSNumber> NSNumber::numberWithFloat(float value)
{
    auto number = adoptObject(new NSNumber);
    number->m_kind = Kind::Float;
    number->m_real = value;
    return number;
}

Ref<NSNumber> NSNumber::numberWithDouble(double value)
{
    auto number = adoptObject(new NSNumber);
    number->m_kind = Kind::Double;
    number->m_real = value;
    return number;
}

BOOL NSNumber::boolValue() const noexcept
{
    if (isIntegral())
        return m_integer != 0;
    return m_real != 0;
}

float NSNumber::floatValue() const noexcept
{
    return static_cast<float>(doubleValue());
}

double NSNumber::doubleValue() const noexcept
{
    if (m_kind == Kind::UnsignedInteger)
        return static_cast<double>(static_cast<uint64_t>(m_integer));
    if (isIntegral())
        return static_cast<double>(m_integer);
    return m_real;
}

long long NSNumber::longLongValue() const noexcept
{
    if (isIntegral())
        return m_integer;
    // Out of range (or not a number) has no integer reading; converting it
    // would be undefined.
    if (!(m_real > -0x1p63 && m_real < 0x1p63))
        return 0;
    return static_cast<long long>(m_real);
}

Ref<NSString> NSNumber::stringValue() const
{
    switch (m_kind) {
    case Kind::Bool:
    case Kind::Integer:
        return NSString::stringWithFormat("%lld", m_integer);
    case Kind::UnsignedInteger:
        return NSString::stringWithFormat("%llu", static_cast<unsigned long long>(m_integer));
    case Kind::Float:
        return NSString::stringWithFormat("%.9g", m_real);
    case Kind::Double:
        return NSString::stringWithFormat("%.17g", m_real);
    }
    return NSString::create("");
}

bool NSNumber::isEqual(const Object* other) const noexcept
{
    if (this == other)
        return true;
    if (!other || !class_isSubclassOf(other->isa(), staticClass()))
        return false;
    auto* number = static_cast<const NSNumber*>(other);
    // An unsigned number is above every signed one: equal bits are not equal
    // values across the two.
    if (isIntegral() && number->isIntegral())
        return m_integer == number->m_integer && (m_kind == Kind::UnsignedInteger) == (number->m_kind == Kind::UnsignedInteger);
    return doubleValue() == number->doubleValue();
}

NSUInteger NSNumber::hash() const noexcept
{
    return static_cast<NSUInteger>(std::hash<double> {}(doubleValue()));
}

// MARK: NSData

Class NSData::staticClass()
{
    static Class cls = ClassBuilder<NSData>("NSData", &OBJC_CLASS_NSObject)
                           .method<&NSData::length>("length")
                           .build();
    return cls;
}

Ref<NSData> NSData::create(std::vector<uint8_t> bytes)
{
    auto data = adoptObject(new NSData);
    data->m_bytes = std::move(bytes);
    return data;
}

bool NSData::isEqual(const Object* other) const noexcept
{
    if (this == other)
        return true;
    if (!other || !class_isSubclassOf(other->isa(), staticClass()))
        return false;
    return m_bytes == static_cast<const NSData*>(other)->m_bytes;
}

NSUInteger NSData::hash() const noexcept
{
    return std::hash<std::string_view> {}(std::string_view(reinterpret_cast<const char*>(m_bytes.data()), m_bytes.size()));
}

// MARK: NSDate

Class NSDate::staticClass()
{
    static Class cls = ClassBuilder<NSDate>("NSDate", &OBJC_CLASS_NSObject)
                           .method<&NSDate::timeIntervalSinceReferenceDate>("timeIntervalSinceReferenceDate")
                           .build();
    return cls;
}

Ref<NSDate> NSDate::dateWithTimeIntervalSinceReferenceDate(double seconds)
{
    auto date = adoptObject(new NSDate);
    date->m_seconds = seconds;
    return date;
}

bool NSDate::isEqual(const Object* other) const noexcept
{
    if (this == other)
        return true;
    if (!other || !class_isSubclassOf(other->isa(), staticClass()))
        return false;
    return m_seconds == static_cast<const NSDate*>(other)->m_seconds;
}

NSUInteger NSDate::hash() const noexcept
{
    return std::hash<double> {}(m_seconds);
}

// MARK: CFKeyedArchiverUID

Class CFKeyedArchiverUID::staticClass()
{
    static Class cls = ClassBuilder<CFKeyedArchiverUID>("__NSCFKeyedArchiverUID", &OBJC_CLASS_NSObject).build();
    return cls;
}

Ref<CFKeyedArchiverUID> CFKeyedArchiverUID::create(uint64_t value)
{
    auto uid = adoptObject(new CFKeyedArchiverUID);
    uid->m_value = value;
    return uid;
}

bool CFKeyedArchiverUID::isEqual(const Object* other) const noexcept
{
    if (this == other)
        return true;
    if (!other || !class_isSubclassOf(other->isa(), staticClass()))
        return false;
    return m_value == static_cast<const CFKeyedArchiverUID*>(other)->m_value;
}

// MARK: NSError

Class NSError::staticClass()
{
    static Class cls = ClassBuilder<NSError>("NSError", &OBJC_CLASS_NSObject)
                           .method<&NSError::domain>("domain")
                           .method<&NSError::code>("code")
                           .method<&NSError::localizedDescription>("localizedDescription")
                           .build();
    return cls;
}

Ref<NSError> NSError::create(NSString* domain, NSInteger code, NSString* description)
{
    auto error = adoptObject(new NSError);
    error->m_domain = domain;
    error->m_code = code;
    error->m_description = description;
    return error;
}
