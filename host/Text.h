// The little text handling the host's readers share (the live view's HTTP,
// the package database).
#pragma once

#include <string_view>

namespace camera {

// text without the characters at either end.
constexpr std::string_view trimmed(std::string_view text, std::string_view characters = " \t")
{
    auto first = text.find_first_not_of(characters);
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(characters) - first + 1);
}

// Whether a and b are the same but for the case of ASCII letters.
constexpr bool equalsIgnoringCase(std::string_view a, std::string_view b)
{
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (lower(a[i]) != lower(b[i]))
            return false;
    }
    return true;
}

} // namespace camera
