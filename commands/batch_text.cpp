#include "commands/batch_text.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <memory>

namespace brindlecot {
namespace {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

// Batches of this size keep the number of write calls small on large batches.
constexpr std::size_t kFlushSize = 1 << 20;

bool WriteAll(std::FILE* file, const std::string& bytes) {
    return bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
}

}  // namespace

bool WriteBatchLines(const std::string& path, std::size_t rowCount, const BatchLineSource& source,
                     mode_t mode) {
    const int descriptor = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, mode);
    if (descriptor < 0)
        return false;
    std::unique_ptr<std::FILE, FileCloser> file(::fdopen(descriptor, "wb+"));
    if (!file) {
        ::close(descriptor);
        return false;
    }

    std::string pending;
    pending.reserve(kFlushSize + 4096);
    for (std::size_t row = 0; row < rowCount; ++row) {
        source(row, pending);
        pending.append("\r\n");
        if (pending.size() >= kFlushSize) {
            if (!WriteAll(file.get(), pending))
                return false;
            pending.clear();
        }
    }
    if (!WriteAll(file.get(), pending))
        return false;
    // Closing flushes the stdio buffer; a failure there is a failed write like any other.
    return std::fclose(file.release()) == 0;
}

bool WriteBatchText(const std::string& path, const TextTable& table, std::string_view splitter,
                    mode_t mode) {
    return WriteBatchLines(
        path, table.size(),
        [&](std::size_t row, std::string& line) {
            const TextRow& cells = table[row];
            for (std::size_t column = 0; column < cells.size(); ++column) {
                if (column > 0)
                    line.append(splitter);
                line.append(cells[column]);
            }
        },
        mode);
}

}  // namespace brindlecot
