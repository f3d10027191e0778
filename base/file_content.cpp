#include "base/file_content.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <utility>

namespace brindlecot {
namespace {

constexpr std::size_t kReadChunk = 1 << 16;

}  // namespace

std::optional<ReadableFile> ReadableFile::Open(const std::string& path) {
    // O_NONBLOCK keeps the open itself from waiting on a FIFO. The kind is judged on the
    // descriptor, never on the name again: a name checked first and opened after could be
    // swapped for a FIFO in between.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return std::nullopt;
    ReadableFile file(fd, 0);
    struct stat status {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode))
        return std::nullopt;
    // Reads of the regular file then wait for the disk as reads normally do.
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0)
        return std::nullopt;
    file.size_ = static_cast<std::size_t>(status.st_size);
    return std::optional<ReadableFile>(std::move(file));
}

ReadableFile::ReadableFile(ReadableFile&& other) noexcept : fd_(other.fd_), size_(other.size_) {
    other.fd_ = -1;
}

ReadableFile::~ReadableFile() {
    if (fd_ >= 0)
        ::close(fd_);
}

std::optional<std::size_t> ReadableFile::Read(char* buffer, std::size_t size) {
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

std::optional<std::size_t> ReadableFile::ReadAt(std::uint64_t offset, char* buffer,
                                                std::size_t size) const {
    if (offset > static_cast<std::uint64_t>(std::numeric_limits<off_t>::max()))
        return std::nullopt;
    std::size_t done = 0;
    while (done < size) {
        const ssize_t count =
            ::pread(fd_, buffer + done, size - done, static_cast<off_t>(offset + done));
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

std::optional<std::string> ReadWholeFile(const std::string& path) {
    std::optional<ReadableFile> file = ReadableFile::Open(path);
    if (!file)
        return std::nullopt;
    // The size is only a hint: the file may grow or shrink while it is read.
    std::string bytes(file->Size(), '\0');
    const std::optional<std::size_t> count = file->Read(bytes.data(), bytes.size());
    if (!count)
        return std::nullopt;
    bytes.resize(*count);
    if (*count < file->Size())
        return bytes;
    char more[kReadChunk];
    for (;;) {
        const std::optional<std::size_t> extra = file->Read(more, sizeof more);
        if (!extra)
            return std::nullopt;
        bytes.append(more, *extra);
        if (*extra < sizeof more)
            break;
    }
    return bytes;
}

std::optional<std::size_t> ReadFileStart(const std::string& path, std::span<std::uint8_t> buffer) {
    std::optional<ReadableFile> file = ReadableFile::Open(path);
    if (!file)
        return std::nullopt;
    return file->Read(reinterpret_cast<char*>(buffer.data()), buffer.size());
}

void LineBlockReader::Reserve(LineBlock& block, std::size_t needed) {
    if (block.capacity_ >= needed)
        return;
    // Doubling, so that a line of many blocks costs few copies.
    const std::size_t capacity = std::max(needed, 2 * block.capacity_);
    auto bytes = std::make_unique_for_overwrite<char[]>(capacity);
    if (block.size_ > 0)
        std::memcpy(bytes.get(), block.bytes_.get(), block.size_);
    block.bytes_ = std::move(bytes);
    block.capacity_ = capacity;
}

bool LineBlockReader::Next(LineBlock& block) {
    block.size_ = 0;
    Reserve(block, carry_.size() + blockSize_);
    std::memcpy(block.bytes_.get(), carry_.data(), carry_.size());
    block.size_ = carry_.size();
    carry_.clear();
    while (!atEnd_) {
        const std::size_t before = block.size_;
        Reserve(block, before + blockSize_);
        const std::optional<std::size_t> count =
            file_.Read(block.bytes_.get() + before, blockSize_);
        if (!count) {
            failed_ = true;
            block.size_ = 0;
            return false;
        }
        block.size_ += *count;
        atEnd_ = *count < blockSize_;
        // Only the bytes just read can hold a new last LF.
        const std::size_t feed = block.Lines().substr(before).rfind('\n');
        if (feed != std::string_view::npos && !atEnd_) {
            const std::size_t end = before + feed + 1;
            carry_.assign(block.Lines().substr(end));
            block.size_ = end;
            return true;
        }
    }
    return block.size_ > 0;
}

}  // namespace brindlecot
