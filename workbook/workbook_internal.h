#pragma once

// Pieces shared by the workbook readers and writers; not for use outside this folder.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/text_table.h"
#include "workbook/workbook.h"

namespace brindlecot::workbook_detail {

inline constexpr std::uint32_t kNotShared = 0xFFFFFFFF;

// One cell as a sheet displays it, in UTF-8, at its zero-based position: its own text, or
// the index of a shared text. Cells refer to shared texts rather than copy them, so that
// a workbook whose cells repeat one long text does not grow by that text per cell before
// the reading is judged.
struct SheetCell {
    std::uint32_t row = 0;
    std::uint32_t column = 0;
    std::string text;
    std::uint32_t shared = kNotShared;
};

// The cells of the active sheet in any order; empty texts may be left out.
using SheetCells = std::vector<SheetCell>;

// A reader's answer: the cells and the texts they share, or a failure. `contentBytes`
// measures the workbook's own content (its uncompressed parts or stream), against which
// the text that the cells expand to is judged.
struct SheetReadResult {
    WorkbookStatus status;
    SheetCells cells;
    std::vector<std::string> sharedTexts;
    std::uint64_t contentBytes = 0;
};

inline WorkbookStatus Failure(WorkbookError error, std::string detail, std::string cell = {}) {
    return WorkbookStatus{error, std::move(detail), std::move(cell)};
}

SheetReadResult ReadXlsSheet(const std::string& path);
SheetReadResult ReadXlsxSheet(const std::string& path);

// Writers receive the cells already in UTF-8 (rows may be ragged) and the column widths in
// characters; they write to `path` directly (the caller handles the temporary name).
struct SheetToWrite {
    // The table as given: which cells are empty. Its texts are GBK.
    const std::vector<std::vector<std::string>>* rows = nullptr;
    // The UTF-8 text of every non-empty cell, row by row.
    std::vector<const std::string*> texts;
    std::size_t columnCount = 0;
    std::vector<double> columnWidths;  // characters; one per column
};

WorkbookStatus WriteXlsFile(const std::string& path, const SheetToWrite& sheet);
WorkbookStatus WriteXlsxFile(const std::string& path, const SheetToWrite& sheet);

// Displayed text of numbers and dates, as a spreadsheet shows a General cell.
std::string FormatGeneralNumber(double value);

enum class DateTimeKind { None, Date, Time, DateTime };

// What a number format code shows a number as: a plain number, a date, a time or both.
DateTimeKind ClassifyFormatCode(std::string_view code);

// Kind of a built-in number format id (14-22 and the East Asian date ids).
DateTimeKind ClassifyBuiltInFormat(unsigned id);

// When the section of `code` that applies to `value` shows only literal text (as the
// format "TRUE";"TRUE";"FALSE" that some programs give booleans), that text.
std::optional<std::string> LiteralSectionText(std::string_view code, double value);

// A date serial number shown as YYYY-MM-DD, HH:MM:SS or both, in the 1900 or 1904 system.
std::string FormatSerialDate(double serial, DateTimeKind kind, bool date1904);

// Text conversion in bulk: each text is converted in place; answers the index of the
// first text that cannot be converted, or nothing when all could.
std::optional<std::size_t> ConvertUtf8TextsToGbk(std::vector<std::string*>& texts);
std::optional<std::size_t> ConvertGbkTextsToUtf8(std::vector<std::string*>& texts);

// UTF-16 code units to UTF-8; unpaired surrogates become U+FFFD.
std::string Utf16ToUtf8(std::u16string_view units);

// UTF-8 to UTF-16 code units; nothing when the text is not valid UTF-8.
std::optional<std::u16string> Utf8ToUtf16(std::string_view utf8);
// The same into a buffer the caller reuses; false when utf8 is not valid UTF-8.
bool Utf8ToUtf16(std::string_view utf8, std::u16string& out);

// Little-endian byte writing into a growing buffer.
class ByteWriter {
public:
    void U8(std::uint8_t v) { bytes_.push_back(v); }
    void U16(std::uint16_t v) {
        U8(static_cast<std::uint8_t>(v));
        U8(static_cast<std::uint8_t>(v >> 8));
    }
    void U32(std::uint32_t v) {
        U16(static_cast<std::uint16_t>(v));
        U16(static_cast<std::uint16_t>(v >> 16));
    }
    void Bytes(const std::uint8_t* data, std::size_t size) {
        bytes_.insert(bytes_.end(), data, data + size);
    }
    void Zeros(std::size_t count) { bytes_.insert(bytes_.end(), count, 0); }
    void Reserve(std::size_t size) { bytes_.reserve(size); }
    // Room for count more bytes, to be filled through the answer before the next call.
    std::uint8_t* Extend(std::size_t count) {
        bytes_.resize(bytes_.size() + count);
        return bytes_.data() + bytes_.size() - count;
    }
    void PutU16At(std::size_t offset, std::uint16_t v) {
        bytes_[offset] = static_cast<std::uint8_t>(v);
        bytes_[offset + 1] = static_cast<std::uint8_t>(v >> 8);
    }
    void PutU32At(std::size_t offset, std::uint32_t v) {
        PutU16At(offset, static_cast<std::uint16_t>(v));
        PutU16At(offset + 2, static_cast<std::uint16_t>(v >> 16));
    }
    std::size_t size() const { return bytes_.size(); }
    std::vector<std::uint8_t>& bytes() { return bytes_; }

private:
    std::vector<std::uint8_t> bytes_;
};

// Little-endian reading from a byte span; every read is bounds-checked by the caller
// through Has().
class ByteReader {
public:
    ByteReader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    bool Has(std::size_t offset, std::size_t count) const {
        return offset <= size_ && count <= size_ - offset;
    }
    std::uint16_t U16(std::size_t offset) const {
        return static_cast<std::uint16_t>(data_[offset] | (data_[offset + 1] << 8));
    }
    std::uint32_t U32(std::size_t offset) const {
        return static_cast<std::uint32_t>(U16(offset)) |
               (static_cast<std::uint32_t>(U16(offset + 2)) << 16);
    }
    std::size_t size() const { return size_; }
    const std::uint8_t* data() const { return data_; }

private:
    const std::uint8_t* data_;
    std::size_t size_;
};

// The compound-file (OLE2) container: writing a single stream, reading one by name.
bool WriteCompoundFile(const std::string& path, std::string_view streamName,
                       const std::vector<std::uint8_t>& stream);
// The same, padding the given stream in place instead of copying it.
bool WriteCompoundFile(const std::string& path, std::string_view streamName,
                       std::vector<std::uint8_t>&& stream);
std::optional<std::vector<std::uint8_t>> ReadCompoundFileStream(std::span<const std::uint8_t> file,
                                                                std::u16string_view streamName);

// Strict structural check of a compound file: header, sector chains, every directory entry.
bool IsSoundCompoundFile(std::span<const std::uint8_t> file);

}  // namespace brindlecot::workbook_detail
