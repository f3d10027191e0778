#pragma once

#include <sys/types.h>

#include <string>
#include <string_view>

#include "template/text_table.h"

namespace brindlecot {

// Writes the batch text file: for each row its cells in order, the whole `splitter` text
// between neighbouring cells (nothing when it is empty), then CR LF. Bytes are written as
// held, with no header or trailer. The file is created or truncated, never appended to;
// a file that does not exist yet is made with `mode` (less the umask). False when the
// file cannot be created or any byte cannot be written (a full disk shows up here, not
// as a short file); the caller removes what was left.
bool WriteBatchText(const std::string& path, const TextTable& table, std::string_view splitter,
                    mode_t mode = 0666);

}  // namespace brindlecot
