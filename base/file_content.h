#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace brindlecot {

// Every file the program reads is named by the person or lies in a folder they control
// (templates, catalogues, keyConf, filecrypt.config, batches). Only a regular file is
// read: a FIFO, a device or a folder there is treated as a file that cannot be read, and
// looking at it never waits (opening a FIFO for reading blocks until a writer comes, and
// a device such as /dev/zero never ends).

// A regular file open for reading.
class ReadableFile {
public:
    // Nothing when the file cannot be opened or is no regular file.
    static std::optional<ReadableFile> Open(const std::string& path);

    ReadableFile(ReadableFile&& other) noexcept;
    ReadableFile& operator=(ReadableFile&&) = delete;
    ReadableFile(const ReadableFile&) = delete;
    ReadableFile& operator=(const ReadableFile&) = delete;
    ~ReadableFile();

    // The size when it was opened: a hint, since the file may change while it is read.
    std::size_t Size() const { return size_; }
    // Fills `buffer` as far as the file goes; nothing on a read error.
    std::optional<std::size_t> Read(char* buffer, std::size_t size);
    // As Read, from `offset` on, leaving the position Read goes on from where it was.
    std::optional<std::size_t> ReadAt(std::uint64_t offset, char* buffer, std::size_t size) const;

private:
    ReadableFile(int fd, std::size_t size) : fd_(fd), size_(size) {}

    int fd_;
    std::size_t size_;
};

// The whole content of a regular file, byte for byte; nothing when it cannot be opened
// or read, or is not a regular file.
std::optional<std::string> ReadWholeFile(const std::string& path);

// Reads the first bytes of a regular file into `buffer`, at most its size; answers how
// many were read, or nothing as ReadWholeFile does.
std::optional<std::size_t> ReadFileStart(const std::string& path, std::span<std::uint8_t> buffer);

// Calls `onLine(std::string_view)` for every line of `lines` (a LineBlock's) as text-mode
// reading gives them, until it answers false: LF ends a line and a CR right before it is
// dropped; a last line without LF still counts; empty lines are kept.
template <typename OnLine>
void ForEachLine(std::string_view lines, OnLine onLine) {
    while (!lines.empty()) {
        const std::size_t feed = lines.find('\n');
        if (feed == std::string_view::npos) {
            // The last line has no LF; a CR at its very end is kept, as text mode keeps it.
            onLine(lines);
            return;
        }
        std::string_view line = lines.substr(0, feed);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (!onLine(line))
            return;
        lines.remove_prefix(feed + 1);
    }
}

// Whole lines of a file, with their line ends (the file's last line may have none), in a
// buffer of their own: a block can go to another thread while the next one is read.
class LineBlock {
public:
    std::string_view Lines() const { return {bytes_.get(), size_}; }

private:
    friend class LineBlockReader;
    std::unique_ptr<char[]> bytes_;  // not zeroed first: every byte kept is read into it
    std::size_t capacity_ = 0;
    std::size_t size_ = 0;
};

// Reads a file a block of whole lines at a time. Memory stays within the longest line
// plus a block per block the caller holds, however big the file.
class LineBlockReader {
public:
    LineBlockReader(ReadableFile file, std::size_t blockSize)
        : file_(std::move(file)), blockSize_(blockSize < 1 ? 1 : blockSize) {}

    // Fills `block` (its memory is reused) with the next whole lines: the start of a line
    // left over from the last call, then a block's worth of bytes read, cut after their
    // last LF (a line longer than a block is read on until it ends). False at the end of the file
    // or on a read error (see Failed).
    bool Next(LineBlock& block);
    bool Failed() const { return failed_; }

private:
    static void Reserve(LineBlock& block, std::size_t needed);

    ReadableFile file_;
    std::size_t blockSize_;
    std::string carry_;  // the start of a line the last block did not end
    bool atEnd_ = false;
    bool failed_ = false;
};

}  // namespace brindlecot
