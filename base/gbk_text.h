#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace brindlecot {

// The one place where GBK bytes meet Unicode: the Qt boundary, workbooks (UTF-8 XML,
// UTF-16 BIFF strings) and messages printed on a UTF-8 terminal.

// Converts GBK bytes to UTF-8. Returns nothing when the bytes are not valid GBK.
std::optional<std::string> GbkToUtf8(std::string_view gbk);

// Converts UTF-8 text to GBK. Returns nothing when the text holds a character that GBK
// cannot represent (or is not valid UTF-8); nothing is ever replaced silently.
std::optional<std::string> Utf8ToGbk(std::string_view utf8);

// For display only: invalid bytes become U+FFFD so that a damaged text can still be shown.
std::string GbkToUtf8ForDisplay(std::string_view gbk);

}  // namespace brindlecot
