#include "base/token_stream.h"

#include <algorithm>

namespace brindlecot {

bool IsAsciiBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) {
    auto lower = [](char c) {
        return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    };
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [&](char x, char y) { return lower(x) == lower(y); });
}

std::optional<std::string_view> TokenStream::Next() {
    std::size_t start = 0;
    while (start < rest_.size() && IsAsciiBlank(rest_[start]))
        ++start;
    if (start == rest_.size()) {
        rest_ = {};
        return std::nullopt;
    }
    std::size_t end = start;
    while (end < rest_.size() && !IsAsciiBlank(rest_[end]))
        ++end;
    const std::string_view token = rest_.substr(start, end - start);
    rest_.remove_prefix(end);
    return token;
}

}  // namespace brindlecot
