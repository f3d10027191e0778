#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

namespace brindlecot {

// Cutting batch text into lines and values. Separators are looked for only outside GBK
// double-byte characters: a trail byte may equal an ASCII separator such as '|' (0x7C),
// and cutting there would split a character and shift every later value.

// The lines of a file as text-mode reading gives them: LF ends a line and a CR right
// before it is dropped; a last line without LF still counts. Empty lines are kept here.
std::vector<std::string_view> SplitLines(std::string_view bytes);

// The number of `separator` bytes of `line` that stand outside double-byte characters.
std::size_t CountSeparators(std::string_view line, char separator);

// `line` cut at every such separator: one more piece than there are separators.
std::vector<std::string_view> SplitAtSeparator(std::string_view line, char separator);

}  // namespace brindlecot
