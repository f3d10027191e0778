#pragma once

#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace brindlecot {

// The one way every command makes a file on its way: the plain text before sealing, the
// decrypted input of an import, an output written whole before it replaces the old one,
// a new keyConf. Such a file is
// - new and the command's own: it never takes over, appends to or deletes a file that
//   was there before, whatever its name (an unrelated "out.txt_temp" included);
// - readable by its owner only from the moment it exists (it may hold plain records);
// - gone when its owner is, on every path: where the file system allows it the file has
//   no name at all until it is put in place, so even a killed process leaves nothing;
//   elsewhere it carries a name that says which host and process made it, and the next
//   file staged in that folder removes the ones whose process has died.
class StagedFile {
public:
    // Makes the empty file in the folder of `target` (the file it may replace). Nothing
    // when the folder cannot take it (missing, no permission).
    [[nodiscard]] static std::optional<StagedFile> Create(const std::string& target);

    StagedFile(StagedFile&& other) noexcept;
    StagedFile& operator=(StagedFile&&) = delete;
    StagedFile(const StagedFile&) = delete;
    StagedFile& operator=(const StagedFile&) = delete;
    ~StagedFile();

    // A path through which this process can open the file (again) while this object lives,
    // for code that works on paths: the library's CryptFile, the workbook writers.
    const std::string& Path() const { return path_; }

    // Writes `bytes` as the whole content.
    [[nodiscard]] bool WriteAll(std::span<const unsigned char> bytes);

    // Flushes the file to disk, puts it in the place of `target` in one step (`target` is
    // either the old file or the complete new one) and then gives it `mode` (less the umask).
    // True on success; the staged file is then the target. Refused when something other
    // than a regular file is at `target` (see IsOccupiedByNonRegularFile).
    [[nodiscard]] bool ReplaceTarget(const std::string& target, mode_t mode);

private:
    StagedFile(int descriptor, std::string path, std::string name, std::string besides);

    int descriptor_ = -1;
    std::string path_;  // what Path() answers
    std::string name_;  // the file's own name in its folder, empty while it has none
    std::string beside_;
};

// Bytes held so far by the staged files, still open, that were made for `target`; for a
// progress display while a command writes them.
std::uint64_t StagedBytesFor(const std::string& target);

// True when `name` (the last component of a path) is the name of a staged file.
bool IsStagedFileName(const std::string& name);

}  // namespace brindlecot
