#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace brindlecot {

// A file that has no name in any folder and lives in memory only: for text that must
// never lie on disk in plain form (the records of a draft) but has to pass through an
// interface that takes paths. It is reachable, by this process alone, under Path() while
// the object lives, and gone with it.
class MemoryFile {
public:
    // Nothing when the system gives no such file.
    [[nodiscard]] static std::optional<MemoryFile> Create();
    // One holding `bytes`.
    [[nodiscard]] static std::optional<MemoryFile> Holding(std::string_view bytes);

    MemoryFile(MemoryFile&& other) noexcept;
    MemoryFile& operator=(MemoryFile&&) = delete;
    MemoryFile(const MemoryFile&) = delete;
    MemoryFile& operator=(const MemoryFile&) = delete;
    ~MemoryFile();

    // A name under which open() reaches this file (and nothing else).
    const std::string& Path() const { return path_; }
    // The whole content as it is now; nothing when it cannot be read.
    std::optional<std::string> ReadAll() const;

private:
    explicit MemoryFile(int fd);

    int fd_ = -1;
    std::string path_;
};

}  // namespace brindlecot
