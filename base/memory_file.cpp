#include "base/memory_file.h"

#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace brindlecot {

MemoryFile::MemoryFile(int fd) : fd_(fd), path_("/proc/self/fd/" + std::to_string(fd)) {}

MemoryFile::MemoryFile(MemoryFile&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), path_(std::move(other.path_)) {}

MemoryFile::~MemoryFile() {
    if (fd_ >= 0)
        ::close(fd_);
}

std::optional<MemoryFile> MemoryFile::Create() {
    const int fd = ::memfd_create("brindlecot", MFD_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    return MemoryFile(fd);
}

std::optional<MemoryFile> MemoryFile::Holding(std::string_view bytes) {
    std::optional<MemoryFile> file = Create();
    if (!file)
        return std::nullopt;
    while (!bytes.empty()) {
        const ssize_t written = ::write(file->fd_, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return std::nullopt;
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return file;
}

std::optional<std::string> MemoryFile::ReadAll() const {
    struct stat status {};
    if (::fstat(fd_, &status) != 0)
        return std::nullopt;
    std::string content(static_cast<std::size_t>(status.st_size), '\0');
    std::size_t done = 0;
    while (done < content.size()) {
        const ssize_t got =
            ::pread(fd_, content.data() + done, content.size() - done, static_cast<off_t>(done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return std::nullopt;
        done += static_cast<std::size_t>(got);
    }
    return content;
}

}  // namespace brindlecot
