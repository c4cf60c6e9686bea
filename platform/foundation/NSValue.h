// Numbers, data, dates and archiver UIDs: the scalar values of property
// lists.
#pragma once

#include "foundation/NSString.h"

#include <vector>

class PLATFORM_EXPORT NSNumber : public NSObject {
    OBJC_CLASS(NSNumber)
public:
    // What the number was made from; property lists keep booleans, integers
    // and reals apart. Integers are signed 64-bit; UnsignedInteger holds the
    // values from 2^63 to 2^64 - 1, which only an unsigned number can.
    enum class Kind : uint8_t { Bool,
        Integer,
        UnsignedInteger,
        Float,
        Double };

    static Ref<NSNumber> numberWithBool(BOOL value);
    static Ref<NSNumber> numberWithInteger(NSInteger value);
    static Ref<NSNumber> numberWithInt(int value) { return numberWithLongLong(value); }
    static Ref<NSNumber> numberWithLongLong(long long value);
    static Ref<NSNumber> numberWithUnsignedLongLong(unsigned long long value);
    static Ref<NSNumber> numberWithFloat(float value);
    static Ref<NSNumber> numberWithDouble(double value);

    Kind kind() const noexcept { return m_kind; }
    BOOL boolValue() const noexcept;
    float floatValue() const noexcept;
    double doubleValue() const noexcept;
    int intValue() const noexcept { return static_cast<int>(longLongValue()); }
    // NSInteger is the width of the build: on 32-bit builds a larger value
    // comes back cut to its low bits, as on the device; longLongValue always
    // has all of it.
    NSInteger integerValue() const noexcept { return static_cast<NSInteger>(longLongValue()); }
    NSUInteger unsignedIntegerValue() const noexcept { return static_cast<NSUInteger>(longLongValue()); }
    long long longLongValue() const noexcept;
    unsigned long long unsignedLongLongValue() const noexcept { return static_cast<unsigned long long>(longLongValue()); }
    Ref<NSString> stringValue() const;

    bool isEqual(const Object* other) const noexcept override;
    NSUInteger hash() const noexcept override;

private:
    NSNumber() = default;
    bool isIntegral() const noexcept { return m_kind == Kind::Bool || m_kind == Kind::Integer || m_kind == Kind::UnsignedInteger; }
    Kind m_kind = Kind::Integer;
    long long m_integer = 0; // an UnsignedInteger's bits
    double m_real = 0;
};

class PLATFORM_EXPORT NSData : public NSObject {
    OBJC_CLASS(NSData)
public:
    static Ref<NSData> create(std::vector<uint8_t> bytes);
    const std::vector<uint8_t>& bytes() const noexcept { return m_bytes; }
    NSUInteger length() const noexcept { return m_bytes.size(); }
    bool isEqual(const Object* other) const noexcept override;
    NSUInteger hash() const noexcept override;

private:
    NSData() = default;
    std::vector<uint8_t> m_bytes;
};

class PLATFORM_EXPORT NSDate : public NSObject {
    OBJC_CLASS(NSDate)
public:
    static Ref<NSDate> dateWithTimeIntervalSinceReferenceDate(double seconds);
    double timeIntervalSinceReferenceDate() const noexcept { return m_seconds; }
    bool isEqual(const Object* other) const noexcept override;
    NSUInteger hash() const noexcept override;

private:
    NSDate() = default;
    double m_seconds = 0;
};

// The UID of keyed archives (the platform's __NSCFKeyedArchiverUID): an
// opaque index that binary property lists store as a type of its own.
class PLATFORM_EXPORT CFKeyedArchiverUID : public NSObject {
    OBJC_CLASS(CFKeyedArchiverUID)
public:
    static Ref<CFKeyedArchiverUID> create(uint64_t value);
    uint64_t value() const noexcept { return m_value; }
    bool isEqual(const Object* other) const noexcept override;
    NSUInteger hash() const noexcept override { return static_cast<NSUInteger>(m_value); }

private:
    CFKeyedArchiverUID() = default;
    uint64_t m_value = 0;
};

class PLATFORM_EXPORT NSError : public NSObject {
    OBJC_CLASS(NSError)
public:
    static Ref<NSError> create(NSString* domain, NSInteger code, NSString* description = nullptr);
    NSString* domain() const noexcept { return m_domain.get(); }
    NSInteger code() const noexcept { return m_code; }
    NSString* localizedDescription() const noexcept { return m_description.get(); }

private:
    NSError() = default;
    RefPtr<NSString> m_domain;
    NSInteger m_code = 0;
    RefPtr<NSString> m_description;
};
