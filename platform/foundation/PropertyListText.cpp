// The old OpenStep text form of property lists, which the platform still
// reads (filter files of tweak libraries use it):
//   Filter = { Bundles = ("com.apple.camera"); Executables = (Camera); };
// Its values are strings, data (<0fbd 77>), arrays and dictionaries; a
// bare list of entries at the top is a dictionary.
#include "foundation/PropertyListFormats.h"

namespace plist_detail {

namespace {

bool isUnquotedCharacter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '$' || c == '+' || c == '/'
        || c == ':' || c == '.' || c == '-';
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

class TextReader {
public:
    explicit TextReader(std::string_view text)
        : m_text(text)
    {
    }

    RefPtr<Object> readRoot()
    {
        skip();
        if (m_position == m_text.size())
            return nullptr;
        RefPtr<Object> value;
        if (peek() == '{' || peek() == '(' || peek() == '<') {
            value = readValue(0);
        } else {
            // A bare list of entries is a dictionary; else a single string.
            value = readEntries('\0', 0);
            if (!value) {
                m_position = 0;
                m_failed = false;
                value = readString();
            }
        }
        skip();
        if (m_failed || !value || m_position != m_text.size())
            return nullptr;
        return value;
    }

private:
    char peek() const { return m_position < m_text.size() ? m_text[m_position] : '\0'; }

    void skip()
    {
        while (m_position < m_text.size()) {
            char c = m_text[m_position];
            if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v') {
                ++m_position;
            } else if (m_text.substr(m_position, 2) == "//") {
                while (m_position < m_text.size() && m_text[m_position] != '\n')
                    ++m_position;
            } else if (m_text.substr(m_position, 2) == "/*") {
                auto end = m_text.find("*/", m_position + 2);
                m_position = end == std::string_view::npos ? m_text.size() : end + 2;
            } else {
                break;
            }
        }
    }

    bool expect(char c)
    {
        skip();
        if (peek() != c) {
            m_failed = true;
            return false;
        }
        ++m_position;
        return true;
    }

    // \n and kin, \NNN (octal, a byte read as Latin-1) and \UXXXX (a UTF-16
    // code unit; two of them may make a pair).
    bool readEscape(std::string& out, char16_t& pendingHigh)
    {
        if (m_position >= m_text.size())
            return false;
        char c = m_text[m_position++];
        if (c == 'U') {
            uint32_t unit = 0;
            int digits = 0;
            while (digits < 4 && hexValue(peek()) >= 0) {
                unit = unit * 16 + static_cast<uint32_t>(hexValue(peek()));
                ++m_position;
                ++digits;
            }
            if (!digits)
                return false;
            if (unit >= 0xDC00 && unit <= 0xDFFF && pendingHigh) {
                appendUTF8(out, 0x10000 + ((pendingHigh - 0xD800u) << 10) + (unit - 0xDC00));
                pendingHigh = 0;
                return true;
            }
            if (pendingHigh) {
                appendUTF8(out, pendingHigh);
                pendingHigh = 0;
            }
            if (unit >= 0xD800 && unit <= 0xDBFF)
                pendingHigh = static_cast<char16_t>(unit);
            else
                appendUTF8(out, unit);
            return true;
        }
        if (pendingHigh) {
            appendUTF8(out, pendingHigh);
            pendingHigh = 0;
        }
        if (c >= '0' && c <= '7') {
            uint32_t value = static_cast<uint32_t>(c - '0');
            for (int i = 0; i < 2 && peek() >= '0' && peek() <= '7'; ++i)
                value = value * 8 + static_cast<uint32_t>(m_text[m_position++] - '0');
            appendUTF8(out, value & 0xFF);
            return true;
        }
        switch (c) {
        case 'a':
            out += '\a';
            break;
        case 'b':
            out += '\b';
            break;
        case 'f':
            out += '\f';
            break;
        case 'n':
            out += '\n';
            break;
        case 'r':
            out += '\r';
            break;
        case 't':
            out += '\t';
            break;
        case 'v':
            out += '\v';
            break;
        default:
            out += c; // \" \' \\ and any other character stand for themselves
        }
        return true;
    }

    RefPtr<NSString> readString()
    {
        skip();
        std::string out;
        char quote = peek();
        if (quote == '"' || quote == '\'') {
            ++m_position;
            char16_t pendingHigh = 0;
            while (m_position < m_text.size() && m_text[m_position] != quote) {
                char c = m_text[m_position++];
                if (c == '\\') {
                    if (!readEscape(out, pendingHigh)) {
                        m_failed = true;
                        return nullptr;
                    }
                    continue;
                }
                if (pendingHigh) {
                    appendUTF8(out, pendingHigh);
                    pendingHigh = 0;
                }
                out += c;
            }
            if (pendingHigh)
                appendUTF8(out, pendingHigh);
            if (!expect(quote))
                return nullptr;
            return NSString::create(out);
        }
        while (m_position < m_text.size() && isUnquotedCharacter(m_text[m_position]))
            out += m_text[m_position++];
        if (out.empty()) {
            m_failed = true;
            return nullptr;
        }
        return NSString::create(out);
    }

    RefPtr<Object> readData()
    {
        ++m_position; // <
        std::vector<uint8_t> bytes;
        int high = -1;
        for (;;) {
            skip();
            char c = peek();
            if (c == '>') {
                ++m_position;
                break;
            }
            int value = hexValue(c);
            if (value < 0) {
                m_failed = true;
                return nullptr;
            }
            ++m_position;
            if (high < 0) {
                high = value;
            } else {
                bytes.push_back(static_cast<uint8_t>(high * 16 + value));
                high = -1;
            }
        }
        if (high >= 0) {
            m_failed = true;
            return nullptr;
        }
        return NSData::create(std::move(bytes));
    }

    RefPtr<Object> readEntries(char close, int depth)
    {
        auto dictionary = NSMutableDictionary::create();
        for (;;) {
            skip();
            if (peek() == close) {
                if (close)
                    ++m_position;
                return dictionary;
            }
            auto key = readString();
            if (!key || !expect('='))
                return nullptr;
            auto value = readValue(depth + 1);
            if (!value || !expect(';'))
                return nullptr;
            dictionary->setObjectForKey(value.get(), key.get());
        }
    }

    RefPtr<Object> readArray(int depth)
    {
        ++m_position; // (
        std::vector<RefPtr<Object>> objects;
        for (;;) {
            skip();
            if (peek() == ')') {
                ++m_position;
                return NSArray::create(std::move(objects));
            }
            auto item = readValue(depth + 1);
            if (!item)
                return nullptr;
            objects.push_back(std::move(item));
            skip();
            if (peek() == ',')
                ++m_position;
            else if (peek() != ')') {
                m_failed = true;
                return nullptr;
            }
        }
    }

    RefPtr<Object> readValue(int depth)
    {
        skip();
        if (depth > kMaxDepth) {
            m_failed = true;
            return nullptr;
        }
        RefPtr<Object> value;
        if (peek() == '{') {
            ++m_position;
            value = readEntries('}', depth);
        } else if (peek() == '(') {
            value = readArray(depth);
        } else if (peek() == '<') {
            value = readData();
        } else {
            value = readString();
        }
        return m_failed ? nullptr : value;
    }

    std::string_view m_text;
    size_t m_position = 0;
    bool m_failed = false;
};

} // namespace

RefPtr<Object> readText(std::string_view bytes)
{
    std::string decoded;
    if (bytes.starts_with("\xEF\xBB\xBF")) {
        bytes.remove_prefix(3);
    } else if (bytes.starts_with("\xFE\xFF") || bytes.starts_with("\xFF\xFE")) {
        auto text = decodeUTF16(bytes.substr(2), bytes[0] == '\xFE', true);
        if (!text)
            return nullptr;
        decoded = std::move(*text);
        bytes = decoded;
    }
    if (!isValidUTF8(bytes))
        return nullptr;
    return TextReader(bytes).readRoot();
}

} // namespace plist_detail
