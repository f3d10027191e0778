#include "template/commands/line_cutting.h"

namespace brindlecot {
namespace {

bool IsLeadByte(unsigned char c) {
    return c >= 0x81 && c <= 0xFE;
}
bool IsTrailByte(unsigned char c) {
    return c >= 0x40 && c <= 0xFE && c != 0x7F;
}

// Calls `onSeparator(position)` for each separator outside double-byte characters.
template <typename OnSeparator>
void ForEachSeparator(std::string_view line, char separator, OnSeparator onSeparator) {
    for (std::size_t i = 0; i < line.size(); ++i) {
        const auto c = static_cast<unsigned char>(line[i]);
        if (IsLeadByte(c) && i + 1 < line.size() &&
            IsTrailByte(static_cast<unsigned char>(line[i + 1]))) {
            ++i;
            continue;
        }
        if (line[i] == separator)
            onSeparator(i);
    }
}

}  // namespace

std::vector<std::string_view> SplitLines(std::string_view bytes) {
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    while (start < bytes.size()) {
        std::size_t end = bytes.find('\n', start);
        const std::size_t next = (end == std::string_view::npos) ? bytes.size() : end + 1;
        if (end == std::string_view::npos) {
            end = bytes.size();
        } else if (end > start && bytes[end - 1] == '\r') {
            --end;
        }
        lines.push_back(bytes.substr(start, end - start));
        start = next;
    }
    return lines;
}

std::size_t CountSeparators(std::string_view line, char separator) {
    std::size_t count = 0;
    ForEachSeparator(line, separator, [&count](std::size_t) { ++count; });
    return count;
}

std::vector<std::string_view> SplitAtSeparator(std::string_view line, char separator) {
    std::vector<std::string_view> pieces;
    std::size_t start = 0;
    ForEachSeparator(line, separator, [&](std::size_t position) {
        pieces.push_back(line.substr(start, position - start));
        start = position + 1;
    });
    pieces.push_back(line.substr(start));
    return pieces;
}

}  // namespace brindlecot
