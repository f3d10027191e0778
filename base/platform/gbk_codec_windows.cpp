#include "base/platform/gbk_codec.h"

#include "base/platform/native_text.h"

namespace brindlecot::platform {
namespace {

constexpr unsigned kGbkCodePage = 936;

// Code page 936 maps the single byte 0x80 to the euro sign, which GBK (and the Linux
// build) does not hold; refusing it keeps both builds accepting the same texts.
bool HasLoneEuroByte(std::string_view gbk) {
    for (std::size_t i = 0; i < gbk.size(); ++i) {
        const auto byte = static_cast<unsigned char>(gbk[i]);
        if (byte == 0x80)
            return true;
        if (byte > 0x80)
            ++i;  // a lead byte: the trail byte may be anything
    }
    return false;
}

}  // namespace

std::optional<std::string> ConvertGbkToUtf8(std::string_view gbk) {
    if (HasLoneEuroByte(gbk))
        return std::nullopt;
    const std::optional<std::wstring> wide = ToWide(kGbkCodePage, gbk);
    if (!wide)
        return std::nullopt;
    return FromWide(65001, *wide);
}

std::optional<std::string> ConvertUtf8ToGbk(std::string_view utf8) {
    const std::optional<std::wstring> wide = ToWide(65001, utf8);
    if (!wide)
        return std::nullopt;
    std::optional<std::string> gbk = FromWide(kGbkCodePage, *wide);
    if (gbk && HasLoneEuroByte(*gbk))
        return std::nullopt;
    return gbk;
}

}  // namespace brindlecot::platform
