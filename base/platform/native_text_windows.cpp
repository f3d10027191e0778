#include "base/platform/native_text.h"

#include <windows.h>

#include <climits>

namespace brindlecot::platform {

std::optional<std::wstring> ToWide(unsigned codePage, std::string_view text) {
    if (text.empty())
        return std::wstring();
    if (text.size() > INT_MAX)
        return std::nullopt;
    const int length = static_cast<int>(text.size());
    const int count =
        MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text.data(), length, nullptr, 0);
    if (count <= 0)
        return std::nullopt;
    std::wstring wide(static_cast<std::size_t>(count), L'\0');
    if (MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text.data(), length, wide.data(),
                            count) != count)
        return std::nullopt;
    return wide;
}

std::optional<std::string> FromWide(unsigned codePage, std::wstring_view wide) {
    if (wide.empty())
        return std::string();
    if (wide.size() > INT_MAX)
        return std::nullopt;
    const int length = static_cast<int>(wide.size());
    // UTF-8 takes neither flag nor default-character question; it holds every character
    // and reports unpaired surrogates through WC_ERR_INVALID_CHARS.
    const bool utf8 = codePage == CP_UTF8;
    const DWORD flags = utf8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
    BOOL substituted = FALSE;
    BOOL* substitutedOut = utf8 ? nullptr : &substituted;
    const int count = WideCharToMultiByte(codePage, flags, wide.data(), length, nullptr, 0, nullptr,
                                          substitutedOut);
    if (count <= 0 || substituted)
        return std::nullopt;
    std::string text(static_cast<std::size_t>(count), '\0');
    if (WideCharToMultiByte(codePage, flags, wide.data(), length, text.data(), count, nullptr,
                            substitutedOut) != count ||
        substituted)
        return std::nullopt;
    return text;
}

std::optional<std::string> WideToAnsi(std::wstring_view wide) {
    return FromWide(CP_ACP, wide);
}

std::string FileNameToUtf8(std::string_view name) {
    const std::optional<std::wstring> wide = ToWide(CP_ACP, name);
    if (!wide)
        return std::string(name);
    return FromWide(CP_UTF8, *wide).value_or(std::string(name));
}

}  // namespace brindlecot::platform
