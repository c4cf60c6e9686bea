// The little JSON the live view speaks: requests are flat objects of
// strings, numbers, booleans and nulls; answers are written by hand with
// quote().
#pragma once

#include <map>
#include <string>
#include <variant>

namespace camera::json {

using Value = std::variant<std::nullptr_t, bool, double, std::string>;
using Object = std::map<std::string, Value>;

// Parses text as one object whose values are not objects or arrays. On
// malformed text returns false with error naming what was wrong and where.
bool parseObject(const std::string& text, Object& object, std::string& error);

// text as a JSON string, quotes included (control characters escaped, other
// bytes as they are).
std::string quote(const std::string& text);

// An error's answer: {"error": message}.
std::string errorBody(const std::string& message);

// The texts as a JSON array of strings.
template <typename Texts>
std::string quoteAll(const Texts& texts)
{
    std::string out = "[";
    for (const auto& text : texts)
        out += (out.size() > 1 ? "," : "") + quote(text);
    return out + "]";
}

// A number as JSON writes it (finite numbers only; others become null).
std::string number(double value);

} // namespace camera::json
