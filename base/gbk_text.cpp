#include "base/gbk_text.h"

#include "base/platform/gbk_codec.h"

namespace brindlecot {
namespace {

// ASCII is the same in GBK and UTF-8, and most cells (digits, dates, amounts) are ASCII.
bool IsAscii(std::string_view text) {
    for (const char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    }
    return true;
}

}  // namespace

std::optional<std::string> GbkToUtf8(std::string_view gbk) {
    if (IsAscii(gbk))
        return std::string(gbk);
    return platform::ConvertGbkToUtf8(gbk);
}

std::optional<std::string> Utf8ToGbk(std::string_view utf8) {
    if (IsAscii(utf8))
        return std::string(utf8);
    return platform::ConvertUtf8ToGbk(utf8);
}

std::string GbkToUtf8ForDisplay(std::string_view gbk) {
    if (auto whole = GbkToUtf8(gbk))
        return *whole;
    std::string result;
    size_t i = 0;
    while (i < gbk.size()) {
        const auto byte = static_cast<unsigned char>(gbk[i]);
        const size_t width = (byte >= 0x81 && byte <= 0xFE && i + 1 < gbk.size()) ? 2 : 1;
        if (auto piece = GbkToUtf8(gbk.substr(i, width))) {
            result += *piece;
        } else {
            result += "\xEF\xBF\xBD";
        }
        i += width;
    }
    return result;
}

}  // namespace brindlecot
