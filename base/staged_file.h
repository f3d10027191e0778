#pragma once

#include <sys/types.h>

#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace brindlecot {

// A file under a fresh, unique name (`prefix`, six random characters, `suffix`), made
// beside the file it will replace. It is removed when it goes out of scope, on every
// path, unless it was renamed over its target. Because the name is new, nothing stale is
// ever appended to, and no existing file (an input among them) can be taken for it.
class StagedFile {
public:
    // Creates the empty file with `mode` (less the process umask). Nothing when no name
    // could be created (a missing folder, no permission, a name too long).
    [[nodiscard]] static std::optional<StagedFile> Create(const std::string& prefix,
                                                          std::string_view suffix, mode_t mode);

    StagedFile(StagedFile&& other) noexcept;
    StagedFile& operator=(StagedFile&&) = delete;
    StagedFile(const StagedFile&) = delete;
    StagedFile& operator=(const StagedFile&) = delete;
    ~StagedFile();

    const std::string& Path() const { return path_; }

    // Writes `bytes` as the whole content and flushes them to disk.
    [[nodiscard]] bool WriteAll(std::span<const unsigned char> bytes);

    // Flushes the file to disk and renames it over `target` (same folder, so the switch is
    // atomic: `target` is either the old file or the complete new one). True on success;
    // the staged file then no longer exists under its own name. Refused when `target` is
    // something other than a regular file (see IsOccupiedByNonRegularFile).
    [[nodiscard]] bool ReplaceTarget(const std::string& target);

private:
    explicit StagedFile(std::string path) : path_(std::move(path)) {}

    std::string path_;  // empty once renamed or moved from
};

}  // namespace brindlecot
