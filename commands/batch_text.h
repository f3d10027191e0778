#pragma once

#include <sys/types.h>

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include "base/text_table.h"

namespace brindlecot {

// Appends the cells of record `row` to `line`, joined as the batch file joins them,
// without the line end. For a big batch it is called on several threads at once, for
// different rows: it may only read what it shares.
using BatchLineSource = std::function<void(std::size_t row, std::string& line)>;

// Writes the batch text file: `rowCount` lines, each what `source` gives followed by
// CR LF. Bytes are written as held, with no header or trailer. The file is created or
// truncated, never appended to; a file that does not exist yet is made with `mode` (less
// the umask). False when the file cannot be created or any byte cannot be written (a
// full disk shows up here, not as a short file); the caller removes what was left.
// Lines go out in large blocks, so memory does not grow with the file; `written` hears of
// each block's bytes, on the calling thread, once they are written.
bool WriteBatchLines(const std::string& path, std::size_t rowCount, const BatchLineSource& source,
                     mode_t mode = 0666,
                     const std::function<void(std::size_t bytes)>& written = {});

// WriteBatchLines of a text table: for each row its cells in order, the whole `splitter`
// text between neighbouring cells (nothing when it is empty).
bool WriteBatchText(const std::string& path, const TextTable& table, std::string_view splitter,
                    mode_t mode = 0666);

}  // namespace brindlecot
