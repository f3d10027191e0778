#include "base/ini_file.h"

#include "base/app_path.h"
#include "base/file_content.h"
#include "base/trim.h"

#include <sys/stat.h>

#include <chrono>
#include <climits>
#include <memory>
#include <mutex>
#include <optional>
#include <unordered_map>

namespace brindlecot {
namespace {

// INI files of this program are GBK. A byte from 0x81 to 0xFE opens a two-byte character
// whose second byte may look like ASCII (']', '|', letters), so scans and case folding
// step over whole characters.
bool IsGbkLeadByte(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte >= 0x81 && byte <= 0xFE;
}

size_t CharacterWidth(std::string_view text, size_t at) {
    return IsGbkLeadByte(text[at]) && at + 1 < text.size() ? 2 : 1;
}

// Blanks around names and values; a line's end has been cut off already.
constexpr std::string_view kIniBlanks = " \t\r\v\f";

// The form under which names are compared: trimmed, ASCII letters lower-cased.
std::string FoldName(std::string_view name) {
    name = Trim(name, kIniBlanks);
    std::string folded{name};
    for (size_t i = 0; i < folded.size();) {
        const size_t width = CharacterWidth(folded, i);
        if (width == 1 && folded[i] >= 'A' && folded[i] <= 'Z')
            folded[i] = static_cast<char>(folded[i] - 'A' + 'a');
        i += width;
    }
    return folded;
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
        if (text[i] == wanted)
            return i;
    }
    return std::string_view::npos;
}

// One file's values by folded section and key name. As with the Windows reader, only
// the first section of a name counts, and within it the first key of a name.
using Section = std::unordered_map<std::string, std::string>;
using ParsedIni = std::unordered_map<std::string, Section>;

ParsedIni Parse(std::string_view content) {
    constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
    if (content.starts_with(kUtf8Bom))
        content.remove_prefix(kUtf8Bom.size());
    ParsedIni parsed;
    Section* current = nullptr;  // null outside a section, or in a repeated one
    while (!content.empty()) {
        const size_t end = content.find('\n');
        const std::string_view line = Trim(content.substr(0, end), kIniBlanks);
        content.remove_prefix(end == std::string_view::npos ? content.size() : end + 1);
        if (line.empty() || line.front() == ';')
            continue;
        if (line.front() == '[') {
            const size_t close = FindCharacter(line, ']');
            if (close == std::string_view::npos)
                continue;
            const auto [section, isNew] = parsed.try_emplace(FoldName(line.substr(1, close - 1)));
            current = isNew ? &section->second : nullptr;
            continue;
        }
        if (current == nullptr)
            continue;
        const size_t equals = FindCharacter(line, '=');
        const std::string_view value =
            equals == std::string_view::npos ? std::string_view{} : line.substr(equals + 1);
        current->try_emplace(FoldName(line.substr(0, equals)), Unquote(Trim(value, kIniBlanks)));
    }
    return parsed;
}

// Parsed files are kept and reused while the file is unchanged, so that fetching many
// messages (one per rejected cell on a large import) does not re-read the catalogue.
// A file modified within the last seconds before it was read is read again every time:
// file times are coarse, and a same-sized rewrite in the same tick would look unchanged.
struct FileSignature {
    dev_t device;
    ino_t inode;
    off_t size;
    long long modifiedNs;
    bool operator==(const FileSignature&) const = default;
};

struct CachedIni {
    FileSignature signature;
    bool trusted;
    std::shared_ptr<const ParsedIni> parsed;
};

std::optional<FileSignature> SignatureOf(const std::string& path) {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
        return std::nullopt;
    return FileSignature{info.st_dev, info.st_ino, info.st_size,
                         info.st_mtim.tv_sec * 1'000'000'000LL + info.st_mtim.tv_nsec};
}

bool OldEnoughToTrust(const FileSignature& signature) {
    using namespace std::chrono;
    const long long nowNs =
        duration_cast<nanoseconds>(system_clock::now().time_since_epoch()).count();
    return nowNs - signature.modifiedNs > 2'000'000'000LL;
}

std::shared_ptr<const ParsedIni> LoadParsed(const std::string& path) {
    static std::mutex mutex;
    static std::unordered_map<std::string, CachedIni> cache;
    const auto signature = SignatureOf(path);
    if (!signature)
        return nullptr;
    std::lock_guard lock(mutex);
    if (const auto found = cache.find(path);
        found != cache.end() && found->second.trusted && found->second.signature == *signature) {
        return found->second.parsed;
    }
    const auto content = ReadWholeFile(path);
    if (!content)
        return nullptr;
    auto parsed = std::make_shared<const ParsedIni>(Parse(*content));
    cache[path] = CachedIni{*signature, OldEnoughToTrust(*signature), parsed};
    return parsed;
}

std::optional<std::string> LookUp(std::string_view section, std::string_view key,
                                  std::string_view iniName) {
    const auto parsed = LoadParsed(AppPath(iniName));
    if (!parsed)
        return std::nullopt;
    const auto foundSection = parsed->find(FoldName(section));
    if (foundSection == parsed->end())
        return std::nullopt;
    const auto foundKey = foundSection->second.find(FoldName(key));
    if (foundKey == foundSection->second.end())
        return std::nullopt;
    return foundKey->second;
}

// Cut to at most size - 1 bytes without leaving half a GBK character at the end.
std::string FitToBuffer(std::string_view text, size_t size) {
    if (size == 0)
        return {};
    if (text.size() <= size - 1)
        return std::string{text};
    size_t end = 0;
    while (end < text.size()) {
        const size_t width = CharacterWidth(text, end);
        if (end + width > size - 1)
            break;
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
        if (magnitude <= static_cast<long long>(INT_MAX) + 1)
            magnitude = magnitude * 10 + (text[digits] - '0');
    }
    if (digits == 0)
        return std::nullopt;
    if (negative)
        return magnitude > static_cast<long long>(INT_MAX) ? INT_MIN : -static_cast<int>(magnitude);
    return magnitude > INT_MAX ? INT_MAX : static_cast<int>(magnitude);
}

}  // namespace

int ReadIniInt(std::string_view section, std::string_view key, int defaultValue,
               std::string_view iniName) {
    const auto value = LookUp(section, key, iniName);
    if (!value)
        return defaultValue;
    return ParseLeadingInt(*value).value_or(defaultValue);
}

std::string ReadIniString(std::string_view section, std::string_view key,
                          std::string_view defaultValue, std::size_t size,
                          std::string_view iniName) {
    const auto value = LookUp(section, key, iniName);
    return FitToBuffer(value ? std::string_view{*value} : defaultValue, size);
}

}  // namespace brindlecot
