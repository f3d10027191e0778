#pragma once

#include <optional>
#include <string_view>

namespace brindlecot {

// Definition files (templates, filecrypt.config) are read as blank-separated tokens;
// line breaks carry no meaning and keywords compare without regard to ASCII case.

bool IsAsciiBlank(char c);

bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b);

// The tokens of a text held by the caller, each whole, in order.
class TokenStream {
public:
    explicit TokenStream(std::string_view text) : rest_(text) {}

    // The next token, or nothing at the end of the text.
    std::optional<std::string_view> Next();

private:
    std::string_view rest_;
};

}  // namespace brindlecot
