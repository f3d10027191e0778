#include "workbook/zip_writer.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <ctime>

namespace brindlecot::workbook_detail {
namespace {

constexpr std::size_t kBufferSize = std::size_t{1} << 20;
// Level 1 deflates the repetitive sheet XML to within a few percent of the default
// level's size in a fraction of its time.
constexpr int kDeflateLevel = 1;
constexpr std::uint32_t kLocalHeaderSignature = 0x04034b50;
constexpr std::uint32_t kCentralHeaderSignature = 0x02014b50;
constexpr std::uint32_t kEndSignature = 0x06054b50;
constexpr std::uint32_t kZip64EndSignature = 0x06064b50;
constexpr std::uint32_t kZip64LocatorSignature = 0x07064b50;
constexpr std::uint16_t kZip64ExtraId = 0x0001;
constexpr std::uint16_t kVersionDeflate = 20;
constexpr std::uint16_t kVersionZip64 = 45;
constexpr std::uint16_t kMethodDeflate = 8;
constexpr std::uint32_t kMax32 = 0xFFFFFFFF;
constexpr std::size_t kLocalHeaderSize = 30;
constexpr std::size_t kZip64LocalExtraSize = 20;

std::uint8_t* Put16(std::uint8_t* at, std::uint16_t v) {
    at[0] = static_cast<std::uint8_t>(v);
    at[1] = static_cast<std::uint8_t>(v >> 8);
    return at + 2;
}
std::uint8_t* Put32(std::uint8_t* at, std::uint32_t v) {
    return Put16(Put16(at, static_cast<std::uint16_t>(v)), static_cast<std::uint16_t>(v >> 16));
}
std::uint8_t* Put64(std::uint8_t* at, std::uint64_t v) {
    return Put32(Put32(at, static_cast<std::uint32_t>(v)), static_cast<std::uint32_t>(v >> 32));
}
std::uint8_t* PutText(std::uint8_t* at, std::string_view text) {
    for (char c : text)
        *at++ = static_cast<std::uint8_t>(c);
    return at;
}
std::uint32_t Low32(std::uint64_t v) {
    return v >= kMax32 ? kMax32 : static_cast<std::uint32_t>(v);
}

}  // namespace

ZipWriter::ZipWriter(const std::string& path)
    : file_(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666)),
      buffer_(kBufferSize) {
    if (file_.Get() < 0) {
        Fail("cannot create the workbook file");
        return;
    }
    if (deflateInit2(&stream_, kDeflateLevel, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) !=
        Z_OK) {
        Fail("cannot start compressing");
        return;
    }
    streamReady_ = true;
    // Entry times in the form the format knows: local time, two-second steps, from 1980.
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    if (localtime_r(&now, &local) && local.tm_year >= 80) {
        dosTime_ = static_cast<std::uint16_t>((local.tm_hour << 11) | (local.tm_min << 5) |
                                              (local.tm_sec / 2));
        dosDate_ = static_cast<std::uint16_t>(((local.tm_year - 80) << 9) |
                                              ((local.tm_mon + 1) << 5) | local.tm_mday);
    } else {
        dosDate_ = (1 << 5) | 1;
    }
}

ZipWriter::~ZipWriter() {
    if (streamReady_)
        deflateEnd(&stream_);
}

bool ZipWriter::Fail(std::string reason) {
    if (failure_.empty())
        failure_ = std::move(reason);
    return false;
}

bool ZipWriter::FailWrite() {
    // errno's own text would follow the user's locale; the detail stays English.
    return Fail(errno == ENOSPC || errno == EDQUOT ? "the disk is full"
                                                   : "cannot write the workbook file");
}

std::uint8_t* ZipWriter::Room(std::size_t count) {
    if (buffer_.size() - used_ < count) {
        if (!Flush())
            return nullptr;
        if (buffer_.size() < count)
            buffer_.resize(count);
    }
    std::uint8_t* at = buffer_.data() + used_;
    used_ += count;
    return at;
}

bool ZipWriter::Flush() {
    std::size_t done = 0;
    while (done < used_) {
        const ssize_t n = ::write(file_.Get(), buffer_.data() + done, used_ - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return FailWrite();
        done += static_cast<std::size_t>(n);
    }
    written_ += used_;
    used_ = 0;
    return true;
}

bool ZipWriter::Add(std::string_view name, std::string_view content) {
    return Begin(name, false) && Append(content) && End();
}

void ZipWriter::LocalHeader(const Entry& entry) {
    const std::size_t extra = entry.zip64 ? kZip64LocalExtraSize : 0;
    std::uint8_t* at = Room(kLocalHeaderSize + entry.name.size() + extra);
    if (!at)
        return;
    at = Put32(at, kLocalHeaderSignature);
    at = Put16(at, entry.zip64 ? kVersionZip64 : kVersionDeflate);
    at = Put16(at, 0);
    at = Put16(at, kMethodDeflate);
    at = Put16(at, dosTime_);
    at = Put16(at, dosDate_);
    // Checksum and sizes are filled in once the content is through.
    at = Put32(at, 0);
    at = Put32(at, entry.zip64 ? kMax32 : 0);
    at = Put32(at, entry.zip64 ? kMax32 : 0);
    at = Put16(at, static_cast<std::uint16_t>(entry.name.size()));
    at = Put16(at, static_cast<std::uint16_t>(extra));
    at = PutText(at, entry.name);
    if (entry.zip64) {
        at = Put16(at, kZip64ExtraId);
        at = Put16(at, 16);
        at = Put64(at, 0);
        Put64(at, 0);
    }
}

bool ZipWriter::Begin(std::string_view name, bool zip64) {
    if (failed())
        return false;
    if (inEntry_ || name.empty() || name.size() > 0xFFFF)
        return Fail("bad zip entry");
    current_ = Entry{std::string(name), written_ + used_, 0, 0, 0, zip64};
    LocalHeader(current_);
    if (failed())
        return false;
    deflateReset(&stream_);
    current_.crc = static_cast<std::uint32_t>(crc32(0, nullptr, 0));
    inEntry_ = true;
    return true;
}

bool ZipWriter::Deflate(std::string_view data, int flush) {
    stream_.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    // Pieces are far below 4 GiB; the loop below feeds larger ones all the same.
    std::size_t left = data.size();
    for (;;) {
        const auto portion = static_cast<uInt>(std::min<std::size_t>(left, 1u << 30));
        stream_.avail_in = portion;
        left -= portion;
        for (;;) {
            if (used_ == buffer_.size() && !Flush())
                return false;
            stream_.next_out = buffer_.data() + used_;
            stream_.avail_out = static_cast<uInt>(buffer_.size() - used_);
            const int result = deflate(&stream_, left ? Z_NO_FLUSH : flush);
            used_ = buffer_.size() - stream_.avail_out;
            if (result == Z_STREAM_END)
                return true;
            if (result != Z_OK && result != Z_BUF_ERROR)
                return Fail("cannot compress the workbook");
            if (stream_.avail_in == 0 && stream_.avail_out != 0 && (flush == Z_NO_FLUSH || left))
                break;
        }
        if (left == 0)
            return true;
    }
}

bool ZipWriter::Append(std::string_view data) {
    if (failed() || !inEntry_)
        return Fail("bad zip entry");
    if (data.empty())
        return true;
    current_.crc = static_cast<std::uint32_t>(
        crc32_z(current_.crc, reinterpret_cast<const Bytef*>(data.data()), data.size()));
    current_.size += data.size();
    return Deflate(data, Z_NO_FLUSH);
}

bool ZipWriter::End() {
    if (failed() || !inEntry_)
        return Fail("bad zip entry");
    inEntry_ = false;
    if (!Deflate({}, Z_FINISH))
        return false;
    current_.compressed = stream_.total_out;
    if (!current_.zip64 && (current_.size >= kMax32 || current_.compressed >= kMax32))
        return Fail("the worksheet is too large for the zip format chosen");
    if (!PatchLocalHeader(current_))
        return false;
    entries_.push_back(std::move(current_));
    return true;
}

bool ZipWriter::PatchLocalHeader(const Entry& entry) {
    // The header is usually still in the buffer (small entries); otherwise in the file.
    std::uint8_t sizes[12];
    std::uint8_t* at = Put32(sizes, entry.crc);
    if (!entry.zip64) {
        at = Put32(at, static_cast<std::uint32_t>(entry.compressed));
        Put32(at, static_cast<std::uint32_t>(entry.size));
    }
    std::uint8_t zip64Sizes[16];
    Put64(Put64(zip64Sizes, entry.size), entry.compressed);
    const auto patch = [&](std::uint64_t offset, const std::uint8_t* bytes, std::size_t count) {
        if (offset >= written_) {
            std::copy(bytes, bytes + count, buffer_.data() + (offset - written_));
            return true;
        }
        if (!Flush())
            return false;
        std::size_t done = 0;
        while (done < count) {
            const ssize_t n = ::pwrite(file_.Get(), bytes + done, count - done,
                                       static_cast<off_t>(offset + done));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return FailWrite();
            done += static_cast<std::size_t>(n);
        }
        return true;
    };
    if (!patch(entry.offset + 14, sizes, entry.zip64 ? 4 : 12))
        return false;
    return !entry.zip64 ||
           patch(entry.offset + kLocalHeaderSize + entry.name.size() + 4, zip64Sizes, 16);
}

void ZipWriter::CentralDirectory() {
    const std::uint64_t start = written_ + used_;
    for (const Entry& entry : entries_) {
        // The 64-bit fields hold only what the 32-bit ones cannot, as readers expect.
        const bool size64 = entry.size >= kMax32;
        const bool compressed64 = entry.compressed >= kMax32;
        const bool offset64 = entry.offset >= kMax32;
        const std::size_t extra = 8 * (size64 + compressed64 + offset64);
        std::uint8_t* at = Room(46 + entry.name.size() + (extra ? 4 + extra : 0));
        if (!at)
            return;
        const std::uint16_t version = entry.zip64 || extra ? kVersionZip64 : kVersionDeflate;
        at = Put32(at, kCentralHeaderSignature);
        at = Put16(at, kVersionZip64);  // made by: MS-DOS attributes, format 4.5
        at = Put16(at, version);
        at = Put16(at, 0);
        at = Put16(at, kMethodDeflate);
        at = Put16(at, dosTime_);
        at = Put16(at, dosDate_);
        at = Put32(at, entry.crc);
        at = Put32(at, Low32(entry.compressed));
        at = Put32(at, Low32(entry.size));
        at = Put16(at, static_cast<std::uint16_t>(entry.name.size()));
        at = Put16(at, static_cast<std::uint16_t>(extra ? 4 + extra : 0));
        at = Put16(at, 0);  // comment
        at = Put16(at, 0);  // disk
        at = Put16(at, 0);  // internal attributes
        at = Put32(at, 0);  // external attributes
        at = Put32(at, Low32(entry.offset));
        at = PutText(at, entry.name);
        if (extra) {
            at = Put16(at, kZip64ExtraId);
            at = Put16(at, static_cast<std::uint16_t>(extra));
            if (size64)
                at = Put64(at, entry.size);
            if (compressed64)
                at = Put64(at, entry.compressed);
            if (offset64)
                Put64(at, entry.offset);
        }
    }
    const std::uint64_t end = written_ + used_;
    const std::uint64_t size = end - start;
    const std::uint64_t count = entries_.size();
    const bool zip64 = start >= kMax32 || size >= kMax32 || count >= 0xFFFF;
    if (zip64) {
        std::uint8_t* at = Room(56 + 20);
        if (!at)
            return;
        at = Put32(at, kZip64EndSignature);
        at = Put64(at, 44);  // the record's size after this field
        at = Put16(at, kVersionZip64);
        at = Put16(at, kVersionZip64);
        at = Put32(at, 0);
        at = Put32(at, 0);
        at = Put64(at, count);
        at = Put64(at, count);
        at = Put64(at, size);
        at = Put64(at, start);
        at = Put32(at, kZip64LocatorSignature);
        at = Put32(at, 0);
        at = Put64(at, end);
        Put32(at, 1);
    }
    std::uint8_t* at = Room(22);
    if (!at)
        return;
    const auto count16 = static_cast<std::uint16_t>(count >= 0xFFFF ? 0xFFFF : count);
    at = Put32(at, kEndSignature);
    at = Put16(at, 0);
    at = Put16(at, 0);
    at = Put16(at, count16);
    at = Put16(at, count16);
    at = Put32(at, Low32(size));
    at = Put32(at, Low32(start));
    Put16(at, 0);
}

bool ZipWriter::Finish() {
    if (failed())
        return false;
    if (inEntry_)
        return Fail("bad zip entry");
    CentralDirectory();
    if (failed() || !Flush())
        return false;
    if (!file_.Close())
        return FailWrite();
    return true;
}

}  // namespace brindlecot::workbook_detail
