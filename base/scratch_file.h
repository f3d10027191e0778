#pragma once

#include <string>

namespace brindlecot {

// Questions about the files a command is pointed at, asked before it stages anything
// (staged_file.h).

bool FileExists(const std::string& path);

// True when something other than a regular file is at `path` (after following links): a
// device, a FIFO, a folder, a socket. An output is never put in the place of such a thing:
// renaming a file over /dev/null or a FIFO would silently turn it into a plain file.
bool IsOccupiedByNonRegularFile(const std::string& path);

// True when both paths name the same file: the same bytes, or two spellings of one
// existing file ("in.txt" and "./in.txt", a hard or symbolic link).
bool IsSameFile(const std::string& first, const std::string& second);

}  // namespace brindlecot
