#pragma once

// A zip archive written front to back into a new file, its entries deflated; for the
// packages of Office Open XML, which need nothing else of the format.

#include <zlib.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/file_descriptor.h"

namespace brindlecot::workbook_detail {

class ZipWriter {
public:
    // Creates (or truncates) the file at `path`; failed() tells whether that worked.
    explicit ZipWriter(const std::string& path);
    ~ZipWriter();
    ZipWriter(const ZipWriter&) = delete;
    ZipWriter& operator=(const ZipWriter&) = delete;

    // Adds an entry whose whole content is at hand.
    bool Add(std::string_view name, std::string_view content);

    // Starts an entry whose content follows through Append, piece by piece, so that it is
    // never held whole. `zip64` declares sizes that may reach 4 GiB; it must be decided
    // here, since the entry's header goes out before its content.
    bool Begin(std::string_view name, bool zip64);
    bool Append(std::string_view data);
    bool End();

    // Writes the central directory and closes the file. Until it answers true the file is
    // no usable archive.
    bool Finish();

    bool failed() const { return !failure_.empty(); }
    // Why the archive could not be written: short English text.
    const std::string& failure() const { return failure_; }

private:
    struct Entry {
        std::string name;
        std::uint64_t offset = 0;  // of its local header
        std::uint32_t crc = 0;
        std::uint64_t compressed = 0;
        std::uint64_t size = 0;
        bool zip64 = false;
    };

    bool Fail(std::string reason);
    bool FailWrite();
    void LocalHeader(const Entry& entry);
    bool Deflate(std::string_view data, int flush);
    bool Flush();
    bool PatchLocalHeader(const Entry& entry);
    void CentralDirectory();
    // Room for `count` bytes at the end of the buffer, flushing it first when needed.
    std::uint8_t* Room(std::size_t count);

    FileDescriptor file_;
    std::string failure_;
    std::vector<std::uint8_t> buffer_;
    std::size_t used_ = 0;
    std::uint64_t written_ = 0;  // bytes already in the file
    z_stream stream_{};
    bool streamReady_ = false;
    bool inEntry_ = false;
    Entry current_;
    std::vector<Entry> entries_;
    std::uint16_t dosTime_ = 0;
    std::uint16_t dosDate_ = 0;
};

}  // namespace brindlecot::workbook_detail
