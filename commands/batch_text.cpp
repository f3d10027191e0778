#include "commands/batch_text.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <vector>

#include "base/ordered_work.h"
#include "base/platform/file_access.h"

namespace brindlecot {
namespace {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

// Rows are made into lines a block at a time, on every core for a big batch; blocks of
// this many rows (about half a megabyte of a typical batch) also keep the write calls few.
constexpr std::size_t kRowsPerBlock = 4096;
constexpr std::size_t kBlocksOnWorkersFrom = 4;

bool WriteAll(std::FILE* file, const std::string& bytes) {
    return bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
}

}  // namespace

bool WriteBatchLines(const std::string& path, std::size_t rowCount, const BatchLineSource& source,
                     mode_t mode, const std::function<void(std::size_t bytes)>& written) {
    const int descriptor = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, mode);
    if (descriptor < 0)
        return false;
    std::unique_ptr<std::FILE, FileCloser> file(::fdopen(descriptor, "wb+"));
    if (!file) {
        ::close(descriptor);
        return false;
    }

    // A block: the rows from `first` to `end`, made into lines in `lines`.
    struct Block {
        std::size_t first;
        std::size_t end;
        std::string lines;
    };
    const std::size_t blocks = (rowCount + kRowsPerBlock - 1) / kRowsPerBlock;
    const unsigned workers = blocks >= kBlocksOnWorkersFrom ? BulkWorkerThreads() : 0;
    OrderedWork<Block, std::string> work(
        workers, 2 * static_cast<std::size_t>(workers) + 2, [&source](Block&& block) {
            block.lines.clear();
            for (std::size_t row = block.first; row < block.end; ++row) {
                source(row, block.lines);
                block.lines.append("\r\n");
            }
            return std::move(block.lines);
        });
    bool allWritten = true;
    // Buffers go round instead of being made anew: fresh memory costs a page fault a page.
    std::vector<std::string> spareBuffers;
    std::uint64_t handedOver = 0;
    auto take = [&](std::string& lines) {
        allWritten = allWritten && WriteAll(file.get(), lines);
        platform::StartWriteBack(descriptor, handedOver, lines.size());
        handedOver += lines.size();
        if (allWritten && written)
            written(lines.size());
        spareBuffers.push_back(std::move(lines));
    };
    for (std::size_t first = 0; first < rowCount && allWritten; first += kRowsPerBlock) {
        Block block{first, std::min(rowCount, first + kRowsPerBlock), {}};
        if (!spareBuffers.empty()) {
            block.lines = std::move(spareBuffers.back());
            spareBuffers.pop_back();
        }
        work.Give(std::move(block), take);
    }
    work.Finish(take);
    if (!allWritten)
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
