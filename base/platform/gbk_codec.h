#pragma once

#include <optional>
#include <string>
#include <string_view>

// Strict conversion between GBK and UTF-8: any invalid or unrepresentable sequence fails
// the whole text. iconv on Linux; code page 936 on Windows, which has no iconv.
namespace brindlecot::platform {

std::optional<std::string> ConvertGbkToUtf8(std::string_view gbk);
std::optional<std::string> ConvertUtf8ToGbk(std::string_view utf8);

}  // namespace brindlecot::platform
