#pragma once

#include <string>

namespace brindlecot {

// Files that a command makes on its way (decrypted input, plain output before sealing)
// must never outlive the command, whatever path it leaves by.

bool FileExists(const std::string& path);

// True when something other than a regular file is at `path` (after following links): a
// device, a FIFO, a folder, a socket. An output is never put in the place of such a thing:
// renaming a file over /dev/null or a FIFO would silently turn it into a plain file.
bool IsOccupiedByNonRegularFile(const std::string& path);

// Removes the file at `path` if there is one. True when nothing is left at `path`.
bool RemoveFileIfPresent(const std::string& path);

// True when both paths name the same file: the same bytes, or two spellings of one
// existing file ("in.txt" and "./in.txt", a hard or symbolic link).
bool IsSameFile(const std::string& first, const std::string& second);

// Owns a scratch path: a stale file left there by an interrupted run is removed when the
// path is taken (the library appends to an existing output, so stale bytes would end up
// in front of the new ones), an empty file readable by the owner only is put in its place
// (scratch files hold plain text of what gets sealed or was opened), and whatever is at
// the path is removed on destruction.
class ScratchFile {
public:
    explicit ScratchFile(std::string path);
    ~ScratchFile();

    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;

    const std::string& path() const { return path_; }

private:
    std::string path_;
};

}  // namespace brindlecot
