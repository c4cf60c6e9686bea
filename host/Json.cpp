#include "host/Json.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace camera::json {

namespace {

class Reader {
public:
    explicit Reader(const std::string& text)
        : m_text(text)
    {
    }

    bool parseObject(Object& object, std::string& error)
    {
        skipSpace();
        if (!consume('{'))
            return fail("expected an object", error);
        skipSpace();
        if (consume('}'))
            return finish(error);
        for (;;) {
            skipSpace();
            std::string key;
            if (peek() != '"' || !parseString(key))
                return fail("expected a key in quotes", error);
            skipSpace();
            if (!consume(':'))
                return fail("expected ':' after a key", error);
            skipSpace();
            Value value;
            if (peek() == '{' || peek() == '[')
                return fail("nested objects and arrays are not accepted", error);
            if (!parseValue(value))
                return fail("expected a value", error);
            if (object.count(key))
                return fail("the key \"" + key + "\" is given twice", error);
            object.emplace(std::move(key), std::move(value));
            skipSpace();
            if (consume(','))
                continue;
            if (consume('}'))
                return finish(error);
            return fail("expected ',' or '}'", error);
        }
    }

private:
    char peek() const { return m_position < m_text.size() ? m_text[m_position] : '\0'; }
    bool consume(char c)
    {
        if (peek() != c || m_position >= m_text.size())
            return false;
        ++m_position;
        return true;
    }
    void skipSpace()
    {
        while (m_position < m_text.size() && (m_text[m_position] == ' ' || m_text[m_position] == '\t' || m_text[m_position] == '\n' || m_text[m_position] == '\r'))
            ++m_position;
    }
    bool literal(const char* word)
    {
        size_t length = std::char_traits<char>::length(word);
        if (m_text.compare(m_position, length, word) != 0)
            return false;
        m_position += length;
        return true;
    }
    bool fail(const std::string& what, std::string& error)
    {
        error = what + " at offset " + std::to_string(m_position);
        return false;
    }
    bool finish(std::string& error)
    {
        skipSpace();
        if (m_position != m_text.size())
            return fail("unexpected text after the object", error);
        return true;
    }

    bool parseValue(Value& value)
    {
        char c = peek();
        if (c == '"') {
            std::string text;
            if (!parseString(text))
                return false;
            value = std::move(text);
            return true;
        }
        if (literal("true")) {
            value = true;
            return true;
        }
        if (literal("false")) {
            value = false;
            return true;
        }
        if (literal("null")) {
            value = nullptr;
            return true;
        }
        if (c == '-' || (c >= '0' && c <= '9')) {
            const char* start = m_text.c_str() + m_position;
            char* end = nullptr;
            double number = std::strtod(start, &end);
            if (end == start || !std::isfinite(number))
                return false;
            // strtod also reads what JSON has no place for (hex, inf, nan).
            for (const char* p = start; p < end; ++p) {
                if (!((*p >= '0' && *p <= '9') || *p == '-' || *p == '+' || *p == '.' || *p == 'e' || *p == 'E'))
                    return false;
            }
            m_position += static_cast<size_t>(end - start);
            value = number;
            return true;
        }
        return false;
    }

    static void appendUTF8(std::string& out, unsigned code)
    {
        if (code < 0x80) {
            out += static_cast<char>(code);
        } else if (code < 0x800) {
            out += static_cast<char>(0xc0 | code >> 6);
            out += static_cast<char>(0x80 | (code & 0x3f));
        } else if (code < 0x10000) {
            out += static_cast<char>(0xe0 | code >> 12);
            out += static_cast<char>(0x80 | (code >> 6 & 0x3f));
            out += static_cast<char>(0x80 | (code & 0x3f));
        } else {
            out += static_cast<char>(0xf0 | code >> 18);
            out += static_cast<char>(0x80 | (code >> 12 & 0x3f));
            out += static_cast<char>(0x80 | (code >> 6 & 0x3f));
            out += static_cast<char>(0x80 | (code & 0x3f));
        }
    }

    bool parseHex4(unsigned& code)
    {
        if (m_position + 4 > m_text.size())
            return false;
        code = 0;
        for (int i = 0; i < 4; ++i) {
            char c = m_text[m_position++];
            code <<= 4;
            if (c >= '0' && c <= '9')
                code |= static_cast<unsigned>(c - '0');
            else if (c >= 'a' && c <= 'f')
                code |= static_cast<unsigned>(c - 'a' + 10);
            else if (c >= 'A' && c <= 'F')
                code |= static_cast<unsigned>(c - 'A' + 10);
            else
                return false;
        }
        return true;
    }

    bool parseString(std::string& out)
    {
        if (!consume('"'))
            return false;
        while (m_position < m_text.size()) {
            char c = m_text[m_position++];
            if (c == '"')
                return true;
            if (static_cast<unsigned char>(c) < 0x20)
                return false;
            if (c != '\\') {
                out += c;
                continue;
            }
            if (m_position >= m_text.size())
                return false;
            char escape = m_text[m_position++];
            switch (escape) {
            case '"':
            case '\\':
            case '/':
                out += escape;
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
            case 'u': {
                unsigned code;
                if (!parseHex4(code))
                    return false;
                if (code >= 0xd800 && code < 0xdc00) {
                    unsigned low;
                    if (!literal("\\u") || !parseHex4(low) || low < 0xdc00 || low >= 0xe000)
                        return false;
                    code = 0x10000 + ((code - 0xd800) << 10) + (low - 0xdc00);
                } else if (code >= 0xdc00 && code < 0xe000) {
                    return false;
                }
                appendUTF8(out, code);
                break;
            }
            default:
                return false;
            }
        }
        return false;
    }

    const std::string& m_text;
    size_t m_position = 0;
};

} // namespace

bool parseObject(const std::string& text, Object& object, std::string& error)
{
    object.clear();
    return Reader(text).parseObject(object, error);
}

std::string quote(const std::string& text)
{
    std::string out = "\"";
    for (char c : text) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                char escape[8];
                std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(c));
                out += escape;
            } else {
                out += c;
            }
        }
    }
    return out + "\"";
}

std::string errorBody(const std::string& message)
{
    return "{\"error\":" + quote(message) + "}";
}

std::string number(double value)
{
    if (!std::isfinite(value))
        return "null";
    char text[32];
    std::snprintf(text, sizeof text, "%.9g", value);
    return text;
}

} // namespace camera::json
