#include "app/ini_file.h"

#include "app/app_path.h"

#include <charconv>
#include <climits>
#include <fstream>
#include <iterator>
#include <optional>

namespace brindlecot {
namespace {

// INI files of this program are GBK. A byte from 0x81 to 0xFE opens a two-byte character
// whose second byte may look like ASCII (']', '|', letters), so scans and comparisons
// step over whole characters.
bool IsGbkLeadByte(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte >= 0x81 && byte <= 0xFE;
}

size_t CharacterWidth(std::string_view text, size_t at) {
    return IsGbkLeadByte(text[at]) && at + 1 < text.size() ? 2 : 1;
}

char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool NamesEqual(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size();) {
        const size_t width = CharacterWidth(a, i);
        if (width == 2) {
            if (a.substr(i, 2) != b.substr(i, 2)) return false;
        } else if (AsciiLower(a[i]) != AsciiLower(b[i])) {
            return false;
        }
        i += width;
    }
    return true;
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

std::string_view Trim(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

std::string_view Unquote(std::string_view value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        return value.substr(1, value.size() - 2);
    }
    return value;
}

// Position of `wanted` as a whole character (never the second byte of a GBK pair).
size_t FindCharacter(std::string_view text, char wanted) {
    for (size_t i = 0; i < text.size(); i += CharacterWidth(text, i)) {
        if (text[i] == wanted) return i;
    }
    return std::string_view::npos;
}

std::optional<std::string> ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::string content{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (in.bad()) return std::nullopt;
    return content;
}

// Only the first section of a given name is searched, and within it the first key of a
// given name, as the Windows private-profile reader does.
std::optional<std::string> FindValue(std::string_view content, std::string_view section,
                                     std::string_view key) {
    constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
    if (content.starts_with(kUtf8Bom)) content.remove_prefix(kUtf8Bom.size());
    const std::string_view wantedSection = Trim(section);
    const std::string_view wantedKey = Trim(key);
    bool inWantedSection = false;
    bool sectionSeen = false;
    while (!content.empty()) {
        const size_t end = content.find('\n');
        const std::string_view line = Trim(content.substr(0, end));
        content.remove_prefix(end == std::string_view::npos ? content.size() : end + 1);
        if (line.empty() || line.front() == ';') continue;
        if (line.front() == '[') {
            const size_t close = FindCharacter(line, ']');
            if (close == std::string_view::npos) continue;
            if (inWantedSection) return std::nullopt;
            inWantedSection = !sectionSeen && NamesEqual(Trim(line.substr(1, close - 1)), wantedSection);
            sectionSeen = sectionSeen || inWantedSection;
            continue;
        }
        if (!inWantedSection) continue;
        const size_t equals = FindCharacter(line, '=');
        const std::string_view name = Trim(line.substr(0, equals));
        if (!NamesEqual(name, wantedKey)) continue;
        if (equals == std::string_view::npos) return std::string{};
        return std::string{Unquote(Trim(line.substr(equals + 1)))};
    }
    return std::nullopt;
}

std::optional<std::string> LookUp(std::string_view section, std::string_view key,
                                  std::string_view iniName) {
    const auto content = ReadWholeFile(AppPath(iniName));
    if (!content) return std::nullopt;
    return FindValue(*content, section, key);
}

// Cut to at most size - 1 bytes without leaving half a GBK character at the end.
std::string FitToBuffer(std::string_view text, size_t size) {
    if (size == 0) return {};
    if (text.size() <= size - 1) return std::string{text};
    size_t end = 0;
    while (end < text.size()) {
        const size_t width = CharacterWidth(text, end);
        if (end + width > size - 1) break;
        end += width;
    }
    return std::string{text.substr(0, end)};
}

std::optional<int> ParseLeadingInt(std::string_view text) {
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    long long magnitude = 0;
    size_t digits = 0;
    for (; digits < text.size() && text[digits] >= '0' && text[digits] <= '9'; ++digits) {
        // Saturate rather than overflow; a value this large is a typing error anyway.
        if (magnitude <= static_cast<long long>(INT_MAX) + 1) magnitude = magnitude * 10 + (text[digits] - '0');
    }
    if (digits == 0) return std::nullopt;
    if (negative) return magnitude > static_cast<long long>(INT_MAX) ? INT_MIN : -static_cast<int>(magnitude);
    return magnitude > INT_MAX ? INT_MAX : static_cast<int>(magnitude);
}

}  // namespace

int ReadIniInt(std::string_view section, std::string_view key, int defaultValue,
               std::string_view iniName) {
    const auto value = LookUp(section, key, iniName);
    if (!value) return defaultValue;
    return ParseLeadingInt(*value).value_or(defaultValue);
}

std::string ReadIniString(std::string_view section, std::string_view key,
                          std::string_view defaultValue, std::size_t size,
                          std::string_view iniName) {
    const auto value = LookUp(section, key, iniName);
    return FitToBuffer(value ? std::string_view{*value} : defaultValue, size);
}

}  // namespace brindlecot
