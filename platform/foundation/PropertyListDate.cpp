// Dates of the XML form. A date is a double count of seconds since
// 2001-01-01 00:00:00 UTC, and the XML form writes it as a proleptic
// Gregorian date and time. Doubles reach years of some 300 digits, so the
// conversion works on integers of any size; the calendar arithmetic is the
// usual days-from-civil with 400-year eras.
#include "foundation/PropertyListFormats.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace plist_detail {

namespace {

// A signed integer of any size: magnitude in 32-bit limbs, least
// significant first, with no leading zero limbs (zero has none).
class BigInteger {
public:
    BigInteger() = default;
    explicit BigInteger(int64_t value)
        : m_negative(value < 0)
    {
        uint64_t magnitude = value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
        while (magnitude) {
            m_limbs.push_back(static_cast<uint32_t>(magnitude));
            magnitude >>= 32;
        }
    }

    // An integral finite double, exactly.
    static BigInteger fromIntegralDouble(double value)
    {
        BigInteger result;
        double magnitude = std::fabs(value);
        int exponent = 0;
        double fraction = std::frexp(magnitude, &exponent); // magnitude = fraction * 2^exponent
        if (fraction == 0)
            return result;
        auto mantissa = static_cast<uint64_t>(std::ldexp(fraction, 53));
        int shift = exponent - 53;
        if (shift < 0) {
            mantissa >>= -shift;
            shift = 0;
        }
        result.m_limbs = { static_cast<uint32_t>(mantissa), static_cast<uint32_t>(mantissa >> 32) };
        result.shiftLeft(shift);
        result.m_negative = value < 0;
        result.trim();
        return result;
    }

    bool isZero() const { return m_limbs.empty(); }
    bool isNegative() const { return m_negative; }

    // The nearest double (ties to even); infinite past the double's range.
    double toDouble() const
    {
        if (m_limbs.empty())
            return 0;
        size_t bits = bitLength();
        double result;
        if (bits <= 64) {
            result = static_cast<double>(low64(0));
        } else {
            // The top 64 bits, with any lower bit that is set folded into the
            // last one, round exactly as the whole number does.
            size_t shift = bits - 64;
            uint64_t top = low64(shift);
            if (anyBitBelow(shift))
                top |= 1;
            result = shift > 2000 ? HUGE_VAL : std::ldexp(static_cast<double>(top), static_cast<int>(shift));
        }
        return m_negative ? -result : result;
    }

    void multiplyAdd(uint32_t factor, uint32_t addend)
    {
        uint64_t carry = addend;
        for (auto& limb : m_limbs) {
            uint64_t product = static_cast<uint64_t>(limb) * factor + carry;
            limb = static_cast<uint32_t>(product);
            carry = product >> 32;
        }
        if (carry)
            m_limbs.push_back(static_cast<uint32_t>(carry));
        trim();
    }

    // this += value, for a value of either sign.
    void add(int64_t value)
    {
        BigInteger other(value);
        if (other.m_negative == m_negative || isZero()) {
            bool negative = isZero() ? other.m_negative : m_negative;
            addMagnitude(other);
            m_negative = negative;
        } else if (compareMagnitude(other) >= 0) {
            subtractMagnitude(other);
        } else {
            other.subtractMagnitude(*this);
            *this = std::move(other);
        }
        trim();
    }

    // Floor division by a positive divisor; returns the remainder, which is
    // never negative.
    uint32_t floorDivide(uint32_t divisor)
    {
        bool negative = m_negative;
        uint64_t remainder = 0;
        for (size_t i = m_limbs.size(); i-- > 0;) {
            uint64_t current = (remainder << 32) | m_limbs[i];
            m_limbs[i] = static_cast<uint32_t>(current / divisor);
            remainder = current % divisor;
        }
        // The quotient of the magnitude, then towards minus infinity.
        m_negative = false;
        trim();
        if (negative && remainder) {
            add(1);
            remainder = divisor - remainder;
        }
        if (negative)
            negate();
        return static_cast<uint32_t>(remainder);
    }

    std::string toDecimal() const
    {
        BigInteger magnitude = *this;
        magnitude.m_negative = false;
        std::string digits;
        do {
            uint32_t chunk = magnitude.floorDivide(1000000000);
            for (int i = 0; i < 9; ++i) {
                digits += static_cast<char>('0' + chunk % 10);
                chunk /= 10;
            }
        } while (!magnitude.isZero());
        while (digits.size() > 1 && digits.back() == '0')
            digits.pop_back();
        std::reverse(digits.begin(), digits.end());
        return digits;
    }

    void negate()
    {
        if (!isZero())
            m_negative = !m_negative;
    }

private:
    void trim()
    {
        while (!m_limbs.empty() && !m_limbs.back())
            m_limbs.pop_back();
        if (m_limbs.empty())
            m_negative = false;
    }

    size_t bitLength() const
    {
        uint32_t top = m_limbs.back();
        size_t bits = (m_limbs.size() - 1) * 32;
        while (top) {
            ++bits;
            top >>= 1;
        }
        return bits;
    }

    uint32_t limb(size_t index) const { return index < m_limbs.size() ? m_limbs[index] : 0; }

    // The 64 bits from bit shift upwards.
    uint64_t low64(size_t shift) const
    {
        uint64_t result = 0;
        for (size_t bit = 0; bit < 64; bit += 32) {
            size_t at = shift + bit;
            uint64_t piece = limb(at / 32) >> (at % 32);
            if (at % 32)
                piece |= static_cast<uint64_t>(limb(at / 32 + 1)) << (32 - at % 32);
            result |= (piece & 0xffffffffu) << bit;
        }
        return result;
    }

    bool anyBitBelow(size_t shift) const
    {
        for (size_t i = 0; i < shift / 32; ++i) {
            if (m_limbs[i])
                return true;
        }
        return shift % 32 && (limb(shift / 32) & ((1u << (shift % 32)) - 1));
    }

    void shiftLeft(int bits)
    {
        if (bits <= 0 || m_limbs.empty())
            return;
        size_t whole = static_cast<size_t>(bits) / 32;
        int part = bits % 32;
        std::vector<uint32_t> shifted(whole, 0);
        uint32_t carry = 0;
        for (uint32_t value : m_limbs) {
            shifted.push_back(part ? (value << part) | carry : value);
            carry = part ? value >> (32 - part) : 0;
        }
        if (carry)
            shifted.push_back(carry);
        m_limbs = std::move(shifted);
    }

    int compareMagnitude(const BigInteger& other) const
    {
        if (m_limbs.size() != other.m_limbs.size())
            return m_limbs.size() < other.m_limbs.size() ? -1 : 1;
        for (size_t i = m_limbs.size(); i-- > 0;) {
            if (m_limbs[i] != other.m_limbs[i])
                return m_limbs[i] < other.m_limbs[i] ? -1 : 1;
        }
        return 0;
    }

    void addMagnitude(const BigInteger& other)
    {
        uint64_t carry = 0;
        size_t count = std::max(m_limbs.size(), other.m_limbs.size());
        m_limbs.resize(count, 0);
        for (size_t i = 0; i < count; ++i) {
            uint64_t sum = static_cast<uint64_t>(m_limbs[i]) + other.limb(i) + carry;
            m_limbs[i] = static_cast<uint32_t>(sum);
            carry = sum >> 32;
        }
        if (carry)
            m_limbs.push_back(static_cast<uint32_t>(carry));
    }

    // |this| -= |other|, for |this| >= |other|.
    void subtractMagnitude(const BigInteger& other)
    {
        int64_t borrow = 0;
        for (size_t i = 0; i < m_limbs.size(); ++i) {
            int64_t difference = static_cast<int64_t>(m_limbs[i]) - other.limb(i) - borrow;
            borrow = difference < 0;
            m_limbs[i] = static_cast<uint32_t>(difference + (borrow << 32));
        }
    }

    bool m_negative = false;
    std::vector<uint32_t> m_limbs;
};

constexpr uint32_t kSecondsPerDay = 86400;
constexpr uint32_t kDaysPerEra = 146097; // 400 Gregorian years
// Days from 0000-03-01, where the eras begin, to 2001-01-01.
constexpr int64_t kEraStartToReferenceDate = 730791;
// The longest year the XML form may give: doubles end before year 10^301.
constexpr size_t kMaxYearDigits = 320;

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Reads exactly count digits at text[position].
std::optional<uint32_t> fixedDigits(std::string_view text, size_t& position, size_t count)
{
    if (position + count > text.size())
        return std::nullopt;
    uint32_t value = 0;
    for (size_t i = 0; i < count; ++i) {
        char c = text[position + i];
        if (!isDigit(c))
            return std::nullopt;
        value = value * 10 + static_cast<uint32_t>(c - '0');
    }
    position += count;
    return value;
}

bool expectCharacter(std::string_view text, size_t& position, char c)
{
    if (position >= text.size() || text[position] != c)
        return false;
    ++position;
    return true;
}

} // namespace

std::optional<std::string> formatXMLDate(double seconds)
{
    if (!std::isfinite(seconds) || std::floor(seconds) != seconds)
        return std::nullopt;
    BigInteger days = BigInteger::fromIntegralDouble(seconds);
    uint32_t secondOfDay = days.floorDivide(kSecondsPerDay);

    // Days since 0000-03-01, split into 400-year eras and the day of the era.
    days.add(kEraStartToReferenceDate);
    BigInteger era = days;
    uint32_t dayOfEra = era.floorDivide(kDaysPerEra);
    uint32_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    uint32_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    uint32_t shiftedMonth = (5 * dayOfYear + 2) / 153; // March is 0
    uint32_t day = dayOfYear - (153 * shiftedMonth + 2) / 5 + 1;
    uint32_t month = shiftedMonth < 10 ? shiftedMonth + 3 : shiftedMonth - 9;

    BigInteger year = era;
    year.multiplyAdd(400, 0);
    year.add(static_cast<int64_t>(yearOfEra) + (month <= 2 ? 1 : 0));

    std::string text = year.isNegative() ? "-" : "";
    std::string digits = year.toDecimal();
    if (digits.size() < 4)
        text.append(4 - digits.size(), '0');
    text += digits;
    char rest[32];
    std::snprintf(rest, sizeof rest, "-%02u-%02uT%02u:%02u:%02uZ", month, day, secondOfDay / 3600, secondOfDay / 60 % 60, secondOfDay % 60);
    return text + rest;
}

std::optional<double> parseXMLDate(std::string_view text)
{
    size_t position = 0;
    bool negative = expectCharacter(text, position, '-');
    size_t yearStart = position;
    while (position < text.size() && isDigit(text[position]))
        ++position;
    size_t yearDigits = position - yearStart;
    if (!yearDigits || yearDigits > kMaxYearDigits)
        return std::nullopt;
    BigInteger year;
    for (size_t i = yearStart; i < position; ++i)
        year.multiplyAdd(10, static_cast<uint32_t>(text[i] - '0'));
    if (negative)
        year.negate();

    std::optional<uint32_t> month, day, hour, minute, second;
    if (!expectCharacter(text, position, '-') || !(month = fixedDigits(text, position, 2)) || !expectCharacter(text, position, '-')
        || !(day = fixedDigits(text, position, 2)) || !expectCharacter(text, position, 'T') || !(hour = fixedDigits(text, position, 2))
        || !expectCharacter(text, position, ':') || !(minute = fixedDigits(text, position, 2)) || !expectCharacter(text, position, ':')
        || !(second = fixedDigits(text, position, 2)) || !expectCharacter(text, position, 'Z') || position != text.size())
        return std::nullopt;
    if (*month < 1 || *month > 12 || *day < 1 || *day > 31 || *hour > 23 || *minute > 59 || *second > 60)
        return std::nullopt;

    // Years counted from March, so that a leap day ends its year.
    if (*month <= 2)
        year.add(-1);
    BigInteger era = year;
    uint32_t yearOfEra = era.floorDivide(400);
    uint32_t shiftedMonth = *month > 2 ? *month - 3 : *month + 9;
    uint32_t dayOfYear = (153 * shiftedMonth + 2) / 5 + *day - 1;
    uint32_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;

    BigInteger seconds = era;
    seconds.multiplyAdd(kDaysPerEra, 0);
    seconds.add(static_cast<int64_t>(dayOfEra) - kEraStartToReferenceDate);
    seconds.multiplyAdd(kSecondsPerDay, 0);
    seconds.add(static_cast<int64_t>(*hour) * 3600 + *minute * 60 + *second);
    double result = seconds.toDouble();
    if (!std::isfinite(result))
        return std::nullopt;
    return result;
}

} // namespace plist_detail
