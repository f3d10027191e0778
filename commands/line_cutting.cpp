#include "commands/line_cutting.h"

namespace brindlecot {
namespace {

bool IsLeadByte(unsigned char c) {
    return c >= 0x81 && c <= 0xFE;
}
bool IsTrailByte(unsigned char c) {
    return c >= 0x40 && c <= 0xFE && c != 0x7F;
}

// Calls `onSeparator(position)` for each separator outside double-byte characters, until
// it answers false.
template <typename OnSeparator>
void ForEachSeparator(std::string_view line, char separator, OnSeparator onSeparator) {
    for (std::size_t i = 0; i < line.size(); ++i) {
        const auto c = static_cast<unsigned char>(line[i]);
        if (IsLeadByte(c) && i + 1 < line.size() &&
            IsTrailByte(static_cast<unsigned char>(line[i + 1]))) {
            ++i;
            continue;
        }
        if (line[i] == separator && !onSeparator(i))
            return;
    }
}

}  // namespace

std::size_t CountSeparators(std::string_view line, char separator) {
    std::size_t count = 0;
    ForEachSeparator(line, separator, [&count](std::size_t) {
        ++count;
        return true;
    });
    return count;
}

std::vector<std::string_view> SplitAtSeparator(std::string_view line, char separator,
                                               std::size_t count) {
    std::vector<std::string_view> pieces;
    if (count == 0)
        return pieces;
    pieces.reserve(count);
    std::size_t start = 0;
    bool whole = true;  // the last piece runs to the end of the line
    ForEachSeparator(line, separator, [&](std::size_t position) {
        pieces.push_back(line.substr(start, position - start));
        start = position + 1;
        whole = pieces.size() < count;
        return whole;
    });
    if (whole)
        pieces.push_back(line.substr(start));
    return pieces;
}

}  // namespace brindlecot
