#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

namespace brindlecot {

// Cutting batch text lines into values. Separators are looked for only outside GBK
// double-byte characters: a trail byte may equal an ASCII separator such as '|' (0x7C),
// and cutting there would split a character and shift every later value.

// The number of `separator` bytes of `line` that stand outside double-byte characters.
std::size_t CountSeparators(std::string_view line, char separator);

// The first `count` pieces of `line` cut at every such separator (a line has one more
// piece than separators; fewer than `count` when it has fewer). Pieces beyond `count` are
// never looked at, so a line of a hundred million separators costs no memory.
std::vector<std::string_view> SplitAtSeparator(std::string_view line, char separator,
                                               std::size_t count);

}  // namespace brindlecot
