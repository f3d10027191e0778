#pragma once

#include <string>
#include <vector>

namespace brindlecot {

// A rows x columns table of GBK texts, built for one export or read from one workbook.
// Rows may be ragged only where a producer says so; every consumer indexes [row][column].
using TextRow = std::vector<std::string>;
using TextTable = std::vector<TextRow>;

}  // namespace brindlecot
