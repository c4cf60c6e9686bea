// The XML form of property lists: a small non-validating reader of the
// plist document type in any encoding the platform reads, and the writer
// of the platform's own layout.
#include "foundation/PropertyListFormats.h"

#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <locale.h>

namespace plist_detail {

namespace {

constexpr std::string_view kHeader = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                     "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" \"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
                                     "<plist version=\"1.0\">\n";

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

std::string_view trim(std::string_view text)
{
    while (!text.empty() && isSpace(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isSpace(text.back()))
        text.remove_suffix(1);
    return text;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i] >= 'A' && a[i] <= 'Z' ? static_cast<char>(a[i] + 32) : a[i];
        char y = b[i] >= 'A' && b[i] <= 'Z' ? static_cast<char>(b[i] + 32) : b[i];
        if (x != y)
            return false;
    }
    return true;
}

// MARK: Encodings

// The encoding a declaration names: <?xml version="1.0" encoding="..."?>.
std::string_view declaredEncoding(std::string_view text)
{
    if (!text.starts_with("<?xml"))
        return {};
    auto end = text.find("?>");
    if (end == std::string_view::npos)
        return {};
    std::string_view declaration = text.substr(0, end);
    auto at = declaration.find("encoding");
    if (at == std::string_view::npos)
        return {};
    at = declaration.find_first_of("\"'", at);
    if (at == std::string_view::npos)
        return {};
    auto close = declaration.find(declaration[at], at + 1);
    if (close == std::string_view::npos)
        return {};
    return declaration.substr(at + 1, close - at - 1);
}

// The document as UTF-8, from its byte-order mark or its declaration.
std::optional<std::string> decodeDocument(std::string_view bytes)
{
    auto startsWith = [&](std::string_view prefix) { return bytes.starts_with(prefix); };
    if (startsWith("\xEF\xBB\xBF"))
        bytes.remove_prefix(3);
    else if (startsWith(std::string_view("\xFF\xFE\0\0", 4)) || startsWith(std::string_view("\0\0\xFE\xFF", 4)))
        return std::nullopt; // UTF-32: not an encoding of property lists
    else if (startsWith("\xFE\xFF"))
        return decodeUTF16(bytes.substr(2), true, true);
    else if (startsWith("\xFF\xFE"))
        return decodeUTF16(bytes.substr(2), false, true);
    else if (startsWith(std::string_view("\0<", 2)))
        return decodeUTF16(bytes, true, true);
    else if (startsWith(std::string_view("<\0", 2)))
        return decodeUTF16(bytes, false, true);

    std::string_view encoding = declaredEncoding(bytes);
    if (encoding.empty() || equalsIgnoringCase(encoding, "UTF-8") || equalsIgnoringCase(encoding, "UTF8")
        || equalsIgnoringCase(encoding, "US-ASCII") || equalsIgnoringCase(encoding, "ASCII")) {
        if (!isValidUTF8(bytes))
            return std::nullopt;
        return std::string(bytes);
    }
    if (equalsIgnoringCase(encoding, "ISO-8859-1") || equalsIgnoringCase(encoding, "Latin1") || equalsIgnoringCase(encoding, "ISO-Latin-1"))
        return latin1ToUTF8(bytes);
    return std::nullopt;
}

// MARK: Reading

class XMLReader {
public:
    explicit XMLReader(std::string_view text)
        : m_text(text)
    {
    }

    RefPtr<Object> readDocument()
    {
        skipWhitespace();
        if (!skipMisc())
            return nullptr;
        if (lookingAt("<!DOCTYPE")) {
            if (!skipDoctype() || !skipMisc())
                return nullptr;
        }
        auto tag = readStartTag();
        if (!tag)
            return nullptr;
        RefPtr<Object> root;
        if (tag->name == "plist") {
            // Exactly one value inside the plist element.
            if (tag->empty || !skipMisc() || lookingAt("</"))
                return nullptr;
            auto inner = readStartTag();
            if (!inner || !(root = readValue(*inner, 0)) || !skipMisc() || !readEndTag("plist"))
                return nullptr;
        } else if (!(root = readValue(*tag, 0))) {
            return nullptr;
        }
        // Comments and white space may follow; nothing else.
        if (!skipMisc() || m_position != m_text.size())
            return nullptr;
        return root;
    }

private:
    struct Tag {
        std::string_view name;
        bool empty = false; // <name/>
    };

    bool atEnd() const { return m_position >= m_text.size(); }
    bool lookingAt(std::string_view prefix) const { return m_text.substr(m_position).starts_with(prefix); }

    void skipWhitespace()
    {
        while (!atEnd() && isSpace(m_text[m_position]))
            ++m_position;
    }

    bool skipPast(std::string_view terminator)
    {
        auto end = m_text.find(terminator, m_position);
        if (end == std::string_view::npos)
            return false;
        m_position = end + terminator.size();
        return true;
    }

    // White space, comments and processing instructions (the XML
    // declaration among them).
    bool skipMisc()
    {
        for (;;) {
            skipWhitespace();
            if (lookingAt("<!--")) {
                if (!skipPast("-->"))
                    return false;
            } else if (lookingAt("<?")) {
                if (!skipPast("?>"))
                    return false;
            } else {
                return true;
            }
        }
    }

    // <!DOCTYPE plist PUBLIC "..." "..." [internal subset]>: skipped whole;
    // nothing in it is used (no entities are defined from it).
    bool skipDoctype()
    {
        m_position += 9;
        char quote = 0;
        int brackets = 0;
        for (; !atEnd(); ++m_position) {
            char c = m_text[m_position];
            if (quote) {
                if (c == quote)
                    quote = 0;
            } else if (c == '"' || c == '\'') {
                quote = c;
            } else if (c == '[') {
                ++brackets;
            } else if (c == ']') {
                --brackets;
            } else if (c == '>' && brackets <= 0) {
                ++m_position;
                return true;
            }
        }
        return false;
    }

    static bool isNameCharacter(char c)
    {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == ':' || c == '-' || c == '.'
            || static_cast<unsigned char>(c) >= 0x80;
    }

    std::string_view readName()
    {
        size_t start = m_position;
        while (!atEnd() && isNameCharacter(m_text[m_position]))
            ++m_position;
        return m_text.substr(start, m_position - start);
    }

    // <name attribute="value" ...> or <name/>; attributes are ignored.
    std::optional<Tag> readStartTag()
    {
        if (!lookingAt("<") || lookingAt("</"))
            return std::nullopt;
        ++m_position;
        Tag tag;
        tag.name = readName();
        if (tag.name.empty())
            return std::nullopt;
        for (;;) {
            skipWhitespace();
            if (lookingAt("/>")) {
                m_position += 2;
                tag.empty = true;
                return tag;
            }
            if (lookingAt(">")) {
                ++m_position;
                return tag;
            }
            if (readName().empty())
                return std::nullopt;
            skipWhitespace();
            if (!lookingAt("="))
                return std::nullopt;
            ++m_position;
            skipWhitespace();
            if (atEnd() || (m_text[m_position] != '"' && m_text[m_position] != '\''))
                return std::nullopt;
            char quote = m_text[m_position++];
            auto close = m_text.find(quote, m_position);
            if (close == std::string_view::npos)
                return std::nullopt;
            m_position = close + 1;
        }
    }

    bool readEndTag(std::string_view name)
    {
        if (!lookingAt("</"))
            return false;
        m_position += 2;
        if (readName() != name)
            return false;
        skipWhitespace();
        if (!lookingAt(">"))
            return false;
        ++m_position;
        return true;
    }

    bool readReference(std::string& out)
    {
        auto end = m_text.find(';', m_position);
        if (end == std::string_view::npos || end - m_position > 12)
            return false;
        std::string_view name = m_text.substr(m_position + 1, end - m_position - 1);
        m_position = end + 1;
        if (name == "lt")
            out += '<';
        else if (name == "gt")
            out += '>';
        else if (name == "amp")
            out += '&';
        else if (name == "quot")
            out += '"';
        else if (name == "apos")
            out += '\'';
        else if (name.starts_with("#")) {
            bool hex = name.starts_with("#x");
            std::string_view digits = name.substr(hex ? 2 : 1);
            uint32_t codePoint = 0;
            auto [rest, error] = std::from_chars(digits.data(), digits.data() + digits.size(), codePoint, hex ? 16 : 10);
            if (digits.empty() || error != std::errc() || rest != digits.data() + digits.size() || codePoint > 0x10FFFF
                || (codePoint >= 0xD800 && codePoint <= 0xDFFF))
                return false;
            appendUTF8(out, codePoint);
        } else {
            return false;
        }
        return true;
    }

    // The character data of an element up to its end tag, with references
    // and CDATA sections resolved and comments dropped. Fails on an element
    // inside.
    std::optional<std::string> readText(const Tag& tag)
    {
        std::string out;
        if (tag.empty)
            return out;
        for (;;) {
            auto next = m_text.find_first_of("<&", m_position);
            if (next == std::string_view::npos)
                return std::nullopt;
            out.append(m_text.substr(m_position, next - m_position));
            m_position = next;
            if (m_text[next] == '&') {
                if (!readReference(out))
                    return std::nullopt;
            } else if (lookingAt("<![CDATA[")) {
                m_position += 9;
                auto end = m_text.find("]]>", m_position);
                if (end == std::string_view::npos)
                    return std::nullopt;
                out.append(m_text.substr(m_position, end - m_position));
                m_position = end + 3;
            } else if (lookingAt("<!--")) {
                if (!skipPast("-->"))
                    return std::nullopt;
            } else if (lookingAt("<?")) {
                if (!skipPast("?>"))
                    return std::nullopt;
            } else if (lookingAt("</")) {
                if (!readEndTag(tag.name))
                    return std::nullopt;
                return out;
            } else {
                return std::nullopt;
            }
        }
    }

    RefPtr<Object> readValue(const Tag& tag, int depth)
    {
        if (depth > kMaxDepth)
            return nullptr;
        std::string_view name = tag.name;
        if (name == "dict")
            return readDictionary(tag, depth);
        if (name == "array")
            return readArray(tag, depth);
        if (name == "true" || name == "false") {
            auto text = readText(tag);
            if (!text || !trim(*text).empty())
                return nullptr;
            return NSNumber::numberWithBool(name == "true");
        }
        auto text = readText(tag);
        if (!text)
            return nullptr;
        if (name == "string")
            return NSString::create(*text);
        if (name == "integer")
            return parseInteger(trim(*text));
        if (name == "real")
            return parseReal(trim(*text));
        if (name == "date") {
            auto seconds = parseXMLDate(trim(*text));
            return seconds ? RefPtr<Object>(NSDate::dateWithTimeIntervalSinceReferenceDate(*seconds)) : nullptr;
        }
        if (name == "data")
            return parseBase64(*text);
        return nullptr;
    }

    RefPtr<Object> readArray(const Tag& tag, int depth)
    {
        std::vector<RefPtr<Object>> objects;
        if (!tag.empty) {
            for (;;) {
                if (!skipMisc())
                    return nullptr;
                if (lookingAt("</")) {
                    if (!readEndTag("array"))
                        return nullptr;
                    break;
                }
                auto item = readStartTag();
                RefPtr<Object> value = item ? readValue(*item, depth + 1) : nullptr;
                if (!value)
                    return nullptr;
                objects.push_back(std::move(value));
            }
        }
        return NSArray::create(std::move(objects));
    }

    RefPtr<Object> readDictionary(const Tag& tag, int depth)
    {
        auto dictionary = NSMutableDictionary::create();
        if (!tag.empty) {
            for (;;) {
                if (!skipMisc())
                    return nullptr;
                if (lookingAt("</")) {
                    if (!readEndTag("dict"))
                        return nullptr;
                    break;
                }
                auto keyTag = readStartTag();
                if (!keyTag || keyTag->name != "key")
                    return nullptr;
                auto key = readText(*keyTag);
                if (!key || !skipMisc())
                    return nullptr;
                auto valueTag = readStartTag();
                RefPtr<Object> value = valueTag ? readValue(*valueTag, depth + 1) : nullptr;
                if (!value)
                    return nullptr;
                dictionary->setObjectForKey(value.get(), NSString::create(*key).ptr());
            }
        }
        // Keyed archives' UIDs: a dictionary of the one integer "CF$UID".
        if (dictionary->count() == 1) {
            id uid = dictionary->objectForKey("CF$UID"_ns);
            if (uid && class_isSubclassOf(uid->isa(), NSNumber::staticClass())) {
                auto* number = static_cast<NSNumber*>(uid);
                bool integral = number->kind() == NSNumber::Kind::Integer || number->kind() == NSNumber::Kind::UnsignedInteger;
                if (integral && (number->kind() == NSNumber::Kind::UnsignedInteger || number->integerValue() >= 0))
                    return CFKeyedArchiverUID::create(number->unsignedLongLongValue());
            }
        }
        return dictionary;
    }

    // Decimal or 0x hexadecimal, with a sign; -2^63 to 2^64 - 1.
    static RefPtr<Object> parseInteger(std::string_view text)
    {
        bool negative = false;
        if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
            negative = text.front() == '-';
            text.remove_prefix(1);
        }
        int base = 10;
        if (text.starts_with("0x") || text.starts_with("0X")) {
            base = 16;
            text.remove_prefix(2);
        }
        uint64_t magnitude = 0;
        auto [rest, error] = std::from_chars(text.data(), text.data() + text.size(), magnitude, base);
        if (text.empty() || error != std::errc() || rest != text.data() + text.size())
            return nullptr;
        if (!negative)
            return NSNumber::numberWithUnsignedLongLong(magnitude);
        if (magnitude > static_cast<uint64_t>(INT64_MAX) + 1)
            return nullptr;
        return NSNumber::numberWithLongLong(static_cast<long long>(0 - magnitude));
    }

    static RefPtr<Object> parseReal(std::string_view text)
    {
        std::string_view body = text;
        bool negative = false;
        if (!body.empty() && (body.front() == '-' || body.front() == '+')) {
            negative = body.front() == '-';
            body.remove_prefix(1);
        }
        if (equalsIgnoringCase(body, "inf") || equalsIgnoringCase(body, "infinity"))
            return NSNumber::numberWithDouble(negative ? -HUGE_VAL : HUGE_VAL);
        if (equalsIgnoringCase(body, "nan"))
            return NSNumber::numberWithDouble(std::nan(""));
        if (body.empty() || !((body.front() >= '0' && body.front() <= '9') || body.front() == '.'))
            return nullptr;
        // strtod in the C locale: it rounds correctly and saturates to
        // infinity or zero out of range, as the platform's reading does.
        static locale_t cLocale = newlocale(LC_ALL_MASK, "C", nullptr);
        std::string copy(text);
        char* end = nullptr;
        double value = strtod_l(copy.c_str(), &end, cLocale);
        if (end != copy.c_str() + copy.size())
            return nullptr;
        return NSNumber::numberWithDouble(value);
    }

    static RefPtr<Object> parseBase64(std::string_view text)
    {
        std::vector<uint8_t> bytes;
        bytes.reserve(text.size() * 3 / 4);
        uint32_t buffer = 0;
        int bits = 0;
        bool padding = false;
        for (char c : text) {
            int value;
            if (c >= 'A' && c <= 'Z')
                value = c - 'A';
            else if (c >= 'a' && c <= 'z')
                value = c - 'a' + 26;
            else if (c >= '0' && c <= '9')
                value = c - '0' + 52;
            else if (c == '+')
                value = 62;
            else if (c == '/')
                value = 63;
            else if (c == '=') {
                padding = true;
                continue;
            } else if (isSpace(c)) {
                continue;
            } else {
                return nullptr;
            }
            if (padding)
                return nullptr; // data after the padding
            buffer = (buffer << 6) | static_cast<uint32_t>(value);
            bits += 6;
            if (bits >= 8) {
                bits -= 8;
                bytes.push_back(static_cast<uint8_t>(buffer >> bits));
            }
        }
        return NSData::create(std::move(bytes));
    }

    std::string_view m_text;
    size_t m_position = 0;
};

// MARK: Writing

// Characters XML 1.0 allows (and that survive its line-end handling once
// escaped): no other control character, no surrogate, no U+FFFE or U+FFFF.
bool fitsXML(std::string_view text)
{
    if (!isValidUTF8(text))
        return false;
    for (size_t i = 0; i < text.size(); ++i) {
        auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x20 && c != '\t' && c != '\n' && c != '\r')
            return false;
        if (c == 0xEF && i + 2 < text.size() && static_cast<unsigned char>(text[i + 1]) == 0xBF
            && (static_cast<unsigned char>(text[i + 2]) == 0xBE || static_cast<unsigned char>(text[i + 2]) == 0xBF))
            return false;
    }
    return true;
}

class XMLWriter {
public:
    std::optional<std::string> write(Object* root)
    {
        m_out = kHeader;
        if (!writeValue(root, 0))
            return std::nullopt;
        m_out += "</plist>\n";
        return std::move(m_out);
    }

private:
    void indent(int depth) { m_out.append(static_cast<size_t>(depth), '\t'); }

    bool writeEscaped(std::string_view text)
    {
        if (!fitsXML(text))
            return false;
        for (char c : text) {
            switch (c) {
            case '<':
                m_out += "&lt;";
                break;
            case '>':
                m_out += "&gt;";
                break;
            case '&':
                m_out += "&amp;";
                break;
            case '\r':
                m_out += "&#13;"; // a raw one would read back as a line feed
                break;
            default:
                m_out += c;
            }
        }
        return true;
    }

    bool writeTextElement(const char* name, std::string_view text, int depth)
    {
        indent(depth);
        m_out += '<';
        m_out += name;
        m_out += '>';
        if (!writeEscaped(text))
            return false;
        m_out += "</";
        m_out += name;
        m_out += ">\n";
        return true;
    }

    bool writeNumber(NSNumber* number, int depth)
    {
        char buffer[64];
        switch (number->kind()) {
        case NSNumber::Kind::Bool:
            indent(depth);
            m_out += number->boolValue() ? "<true/>\n" : "<false/>\n";
            return true;
        case NSNumber::Kind::Integer:
            std::snprintf(buffer, sizeof buffer, "%lld", number->longLongValue());
            return writeTextElement("integer", buffer, depth);
        case NSNumber::Kind::UnsignedInteger:
            std::snprintf(buffer, sizeof buffer, "%llu", number->unsignedLongLongValue());
            return writeTextElement("integer", buffer, depth);
        case NSNumber::Kind::Float:
        case NSNumber::Kind::Double: {
            double value = number->doubleValue();
            if (std::isnan(value))
                return writeTextElement("real", "nan", depth);
            if (std::isinf(value))
                return writeTextElement("real", value > 0 ? "+infinity" : "-infinity", depth);
            // The shortest text that reads back as the same double.
            auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value);
            return writeTextElement("real", std::string_view(buffer, static_cast<size_t>(end - buffer)), depth);
        }
        }
        return false;
    }

    void writeData(const std::vector<uint8_t>& bytes, int depth)
    {
        static constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
        constexpr size_t kLineBytes = 51; // 68 characters a line
        indent(depth);
        m_out += "<data>\n";
        for (size_t line = 0; line < bytes.size(); line += kLineBytes) {
            indent(depth);
            size_t end = std::min(bytes.size(), line + kLineBytes);
            for (size_t i = line; i < end; i += 3) {
                uint32_t group = static_cast<uint32_t>(bytes[i]) << 16;
                if (i + 1 < end)
                    group |= static_cast<uint32_t>(bytes[i + 1]) << 8;
                if (i + 2 < end)
                    group |= bytes[i + 2];
                m_out += kAlphabet[(group >> 18) & 63];
                m_out += kAlphabet[(group >> 12) & 63];
                m_out += i + 1 < end ? kAlphabet[(group >> 6) & 63] : '=';
                m_out += i + 2 < end ? kAlphabet[group & 63] : '=';
            }
            m_out += '\n';
        }
        indent(depth);
        m_out += "</data>\n";
    }

    bool writeValue(Object* value, int depth)
    {
        if (depth > kMaxDepth)
            return false;
        switch (typeOf(value)) {
        case ValueType::String:
            return writeTextElement("string", static_cast<NSString*>(value)->view(), depth);
        case ValueType::Number:
            return writeNumber(static_cast<NSNumber*>(value), depth);
        case ValueType::Data:
            writeData(static_cast<NSData*>(value)->bytes(), depth);
            return true;
        case ValueType::Date: {
            double seconds = static_cast<NSDate*>(value)->timeIntervalSinceReferenceDate();
            if (!(seconds >= kFirstXMLDate && seconds <= kLastXMLDate))
                return false;
            auto text = formatXMLDate(seconds);
            return text && writeTextElement("date", *text, depth);
        }
        case ValueType::UID: {
            indent(depth);
            m_out += "<dict>\n";
            indent(depth + 1);
            m_out += "<key>CF$UID</key>\n";
            char buffer[32];
            std::snprintf(buffer, sizeof buffer, "%llu", static_cast<unsigned long long>(static_cast<CFKeyedArchiverUID*>(value)->value()));
            if (!writeTextElement("integer", buffer, depth + 1))
                return false;
            indent(depth);
            m_out += "</dict>\n";
            return true;
        }
        case ValueType::Array: {
            auto* array = static_cast<NSArray*>(value);
            indent(depth);
            if (!array->count()) {
                m_out += "<array/>\n";
                return true;
            }
            m_out += "<array>\n";
            for (const auto& item : *array) {
                if (!writeValue(item.get(), depth + 1))
                    return false;
            }
            indent(depth);
            m_out += "</array>\n";
            return true;
        }
        case ValueType::Dictionary: {
            auto* dictionary = static_cast<NSDictionary*>(value);
            indent(depth);
            if (!dictionary->count()) {
                m_out += "<dict/>\n";
                return true;
            }
            m_out += "<dict>\n";
            for (const auto& entry : dictionary->entries()) {
                if (typeOf(entry.key.ptr()) != ValueType::String)
                    return false;
                if (!writeTextElement("key", static_cast<NSString*>(entry.key.ptr())->view(), depth + 1) || !writeValue(entry.value.ptr(), depth + 1))
                    return false;
            }
            indent(depth);
            m_out += "</dict>\n";
            return true;
        }
        case ValueType::Other:
            return false;
        }
        return false;
    }

    std::string m_out;
};

} // namespace

RefPtr<Object> readXML(std::string_view bytes)
{
    auto text = decodeDocument(bytes);
    if (!text)
        return nullptr;
    return XMLReader(*text).readDocument();
}

std::optional<std::string> writeXML(Object* root)
{
    return XMLWriter().write(root);
}

} // namespace plist_detail
