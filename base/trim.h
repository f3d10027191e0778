#pragma once

#include <string_view>

namespace brindlecot {

// Characters that count as blank around names and values: the C locale's white space.
inline constexpr std::string_view kWhiteSpace = " \t\r\n\v\f";

// `text` without the characters of `blanks` at either end.
constexpr std::string_view Trim(std::string_view text, std::string_view blanks = kWhiteSpace) {
    const std::size_t first = text.find_first_not_of(blanks);
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

}  // namespace brindlecot
