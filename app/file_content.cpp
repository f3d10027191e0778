#include "app/file_content.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace brindlecot {
namespace {

class ReadDescriptor {
public:
    // O_NONBLOCK keeps the open itself from waiting on a FIFO; it changes nothing for a
    // regular file, which is all that is read through it.
    explicit ReadDescriptor(const std::string& path)
        : fd_(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY)) {}
    ReadDescriptor(const ReadDescriptor&) = delete;
    ReadDescriptor& operator=(const ReadDescriptor&) = delete;
    ~ReadDescriptor() {
        if (fd_ >= 0)
            ::close(fd_);
    }

    // The size of a regular file; nothing for anything else.
    std::optional<std::size_t> RegularFileSize() const {
        struct stat status {};
        if (fd_ < 0 || ::fstat(fd_, &status) != 0 || !S_ISREG(status.st_mode))
            return std::nullopt;
        return static_cast<std::size_t>(status.st_size);
    }

    // Fills `buffer` as far as the file goes; nothing on a read error.
    std::optional<std::size_t> Read(char* buffer, std::size_t size) const {
        std::size_t done = 0;
        while (done < size) {
            const ssize_t count = ::read(fd_, buffer + done, size - done);
            if (count == 0)
                break;
            if (count < 0) {
                if (errno == EINTR)
                    continue;
                return std::nullopt;
            }
            done += static_cast<std::size_t>(count);
        }
        return done;
    }

private:
    int fd_;
};

constexpr std::size_t kReadChunk = 1 << 16;

}  // namespace

std::optional<std::string> ReadWholeFile(const std::string& path) {
    const ReadDescriptor file(path);
    const std::optional<std::size_t> size = file.RegularFileSize();
    if (!size)
        return std::nullopt;
    // The size is only a hint: the file may grow or shrink while it is read.
    std::string bytes(*size, '\0');
    const std::optional<std::size_t> count = file.Read(bytes.data(), bytes.size());
    if (!count)
        return std::nullopt;
    bytes.resize(*count);
    if (*count < *size)
        return bytes;
    char more[kReadChunk];
    for (;;) {
        const std::optional<std::size_t> extra = file.Read(more, sizeof more);
        if (!extra)
            return std::nullopt;
        bytes.append(more, *extra);
        if (*extra < sizeof more)
            break;
    }
    return bytes;
}

std::optional<std::size_t> ReadFileStart(const std::string& path, std::span<std::uint8_t> buffer) {
    const ReadDescriptor file(path);
    if (!file.RegularFileSize())
        return std::nullopt;
    return file.Read(reinterpret_cast<char*>(buffer.data()), buffer.size());
}

}  // namespace brindlecot
