// The property-list formats behind PropertyList.h: XML, binary ("bplist00")
// and the old OpenStep text form. Each reader takes the whole file and
// returns null for bytes it cannot read; each writer returns nothing for a
// value it cannot write exactly.
#pragma once

#include "foundation/NSCollections.h"
#include "foundation/NSValue.h"

#include <optional>
#include <string>
#include <string_view>

namespace plist_detail {

// The deepest nesting the readers accept (they recurse) and the writers
// write.
constexpr int kMaxDepth = 512;

RefPtr<Object> readXML(std::string_view bytes);
RefPtr<Object> readBinary(std::string_view bytes);
RefPtr<Object> readText(std::string_view bytes);

// The XML form holds whole-second dates of four-digit years and text of
// the characters XML allows; anything else has only the binary form.
std::optional<std::string> writeXML(Object* root);
std::optional<std::string> writeBinary(Object* root);

// The property-list types, as the writers tell them apart.
enum class ValueType {
    String,
    Number,
    Data,
    Date,
    UID,
    Array,
    Dictionary,
    Other,
};
ValueType typeOf(Object* value);

// Dates in the XML form, "2001-01-01T00:00:00Z" (seconds since 2001): any
// year the double covers, with "-" before years before 1 (year 0 is 1 BC).
// Formatting needs whole seconds; parsing fails past the double's range.
// Other readers take only the years 1 to 9999, so the writer gives dates
// outside them the binary form (the reader takes any year, for traces and
// for files other writers made).
std::optional<std::string> formatXMLDate(double seconds);
constexpr double kFirstXMLDate = -63113904000; // 0001-01-01T00:00:00Z
constexpr double kLastXMLDate = 252423993599;  // 9999-12-31T23:59:59Z
std::optional<double> parseXMLDate(std::string_view text);

// Text encodings. Strings are kept as UTF-8; a UTF-16 code unit that is half
// of no pair (which the platform's strings may hold) is kept as its
// three-byte UTF-8 form, and comes back as the same code unit.
void appendUTF8(std::string& out, char32_t codePoint);
// Latin-1 bytes (each byte its own code point) as UTF-8.
std::string latin1ToUTF8(std::string_view bytes);
// Decodes UTF-16; with strict, a lone surrogate fails instead.
std::optional<std::string> decodeUTF16(std::string_view bytes, bool bigEndian, bool strict);
std::u16string encodeUTF16(std::string_view utf8);
// Whether text is UTF-8 (without surrogates) and so fit for an XML file.
bool isValidUTF8(std::string_view text);

} // namespace plist_detail
