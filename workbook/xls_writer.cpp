// Our own BIFF8 writer: one worksheet of text cells in a compound file.

#include <algorithm>
#include <cmath>
#include <functional>
#include <string_view>

#include "workbook/workbook_internal.h"

namespace brindlecot::workbook_detail {
namespace {

constexpr std::size_t kMaxRecordData = 8224;
constexpr std::uint16_t kTextXf = 16;      // the cell XF written after the 15 style XFs and XF 15
constexpr std::uint16_t kTextFormat = 49;  // built-in "@"

enum Record : std::uint16_t {
    kBof = 0x0809,
    kEof = 0x000A,
    kCodePage = 0x0042,
    kWindow1 = 0x003D,
    kDate1904 = 0x0022,
    kFont = 0x0031,
    kXf = 0x00E0,
    kStyle = 0x0293,
    kBoundSheet = 0x0085,
    kSst = 0x00FC,
    kContinue = 0x003C,
    kExtSst = 0x00FF,
    kDefColWidth = 0x0055,
    kColInfo = 0x007D,
    kDimensions = 0x0200,
    kLabelSst = 0x00FD,
    kWindow2 = 0x023E,
};

// Writes records into the workbook stream, patching each length when the record ends.
class RecordWriter {
public:
    ByteWriter& out() { return out_; }
    void Begin(std::uint16_t type) {
        start_ = out_.size();
        out_.U16(type);
        out_.U16(0);
    }
    void End() { out_.PutU16At(start_ + 2, static_cast<std::uint16_t>(out_.size() - start_ - 4)); }
    std::size_t Room() const { return kMaxRecordData - (out_.size() - start_ - 4); }
    std::size_t OffsetInRecord() const { return out_.size() - start_; }

private:
    ByteWriter out_;
    std::size_t start_ = 0;
};

void Bof(RecordWriter& w, std::uint16_t kind) {
    w.Begin(kBof);
    w.out().U16(0x0600);  // BIFF8
    w.out().U16(kind);
    w.out().U16(0x0DBB);
    w.out().U16(0x07CC);
    w.out().U32(0);
    w.out().U32(0x00000006);
    w.End();
}

void SimpleRecord(RecordWriter& w, std::uint16_t type,
                  std::initializer_list<std::uint16_t> values) {
    w.Begin(type);
    for (auto v : values)
        w.out().U16(v);
    w.End();
}

void Font(RecordWriter& w) {
    w.Begin(kFont);
    w.out().U16(200);  // 10 points
    w.out().U16(0);
    w.out().U16(0x7FFF);  // automatic colour
    w.out().U16(400);     // normal weight
    w.out().U16(0);
    w.out().U8(0);
    w.out().U8(0);
    w.out().U8(134);  // GB2312 character set
    w.out().U8(0);
    static constexpr char16_t kName[] = u"\u5B8B\u4F53";  // SimSun
    w.out().U8(2);
    w.out().U8(1);
    for (int i = 0; i < 2; ++i)
        w.out().U16(kName[i]);
    w.End();
}

void Xf(RecordWriter& w, std::uint16_t format, bool style, std::uint8_t usedAttributes) {
    w.Begin(kXf);
    w.out().U16(0);  // font 0
    w.out().U16(format);
    w.out().U16(style ? 0xFFF5 : 0x0001);  // style XFs have no parent; cells inherit from style 0
    w.out().U8(0x20);                      // general alignment, bottom
    w.out().U8(0);
    w.out().U8(0);
    w.out().U8(usedAttributes);
    w.out().U32(0);  // no borders
    w.out().U32(0);
    w.out().U16(0x20C0);  // default pattern colours 64 and 65
    w.End();
}

// Finds the shared-string index of a text. A flat open-addressing table: with hundreds of
// thousands of distinct texts, a node-based map spends most of the write in cache misses.
class StringIndex {
public:
    explicit StringIndex(std::size_t expected) {
        std::size_t capacity = 16;
        while (capacity < expected * 2)
            capacity *= 2;
        slots_.assign(capacity, Slot{});
    }

    // The index of `text`, and whether it was added now with `next`.
    std::pair<std::uint32_t, bool> Insert(const std::string& text, std::uint32_t next) {
        const std::size_t hash = std::hash<std::string_view>{}(text);
        for (std::size_t at = hash & (slots_.size() - 1);; at = (at + 1) & (slots_.size() - 1)) {
            Slot& slot = slots_[at];
            if (!slot.text) {
                slot = Slot{hash, &text, next};
                return {next, true};
            }
            if (slot.hash == hash && *slot.text == text)
                return {slot.index, false};
        }
    }

private:
    struct Slot {
        std::size_t hash = 0;
        const std::string* text = nullptr;
        std::uint32_t index = 0;
    };
    std::vector<Slot> slots_;
};

// The shared-string table. A string never starts without its whole header (count and
// flags) and first character in the same record; when its characters run over into a
// CONTINUE record, that record repeats the flags byte before the rest of the characters.
void SharedStrings(RecordWriter& w, const std::vector<std::u16string>& strings,
                   std::uint32_t totalCells) {
    const std::uint32_t unique = static_cast<std::uint32_t>(strings.size());
    const std::uint32_t perBucket = std::max<std::uint32_t>(8, (unique + 127) / 128);
    struct Bucket {
        std::uint32_t streamOffset;
        std::uint16_t recordOffset;
    };
    std::vector<Bucket> buckets;

    w.Begin(kSst);
    w.out().U32(totalCells);
    w.out().U32(unique);
    for (std::uint32_t i = 0; i < unique; ++i) {
        const std::u16string& s = strings[i];
        const bool wide = std::any_of(s.begin(), s.end(), [](char16_t c) { return c > 0xFF; });
        const std::size_t unit = wide ? 2 : 1;
        if (w.Room() < 3 + (s.empty() ? 0 : unit)) {
            w.End();
            w.Begin(kContinue);
        }
        if (i % perBucket == 0)
            buckets.push_back({static_cast<std::uint32_t>(w.out().size()),
                               static_cast<std::uint16_t>(w.OffsetInRecord())});
        w.out().U16(static_cast<std::uint16_t>(s.size()));
        w.out().U8(wide ? 1 : 0);
        std::size_t done = 0;
        while (done < s.size()) {
            std::size_t fit = std::min(s.size() - done, w.Room() / unit);
            if (fit == 0) {
                w.End();
                w.Begin(kContinue);
                w.out().U8(wide ? 1 : 0);
                continue;
            }
            for (std::size_t k = 0; k < fit; ++k) {
                if (wide)
                    w.out().U16(s[done + k]);
                else
                    w.out().U8(static_cast<std::uint8_t>(s[done + k]));
            }
            done += fit;
        }
    }
    w.End();

    w.Begin(kExtSst);
    w.out().U16(static_cast<std::uint16_t>(perBucket));
    for (const Bucket& b : buckets) {
        w.out().U32(b.streamOffset);
        w.out().U16(b.recordOffset);
        w.out().U16(0);
    }
    w.End();
}

}  // namespace

WorkbookStatus WriteXlsFile(const std::string& path, const SheetToWrite& sheet) {
    const auto& rows = *sheet.rows;

    // Shared strings in order of first use, and each non-empty cell's index.
    std::size_t filled = 0;
    for (const auto& row : rows)
        for (const auto& text : row)
            filled += text.empty() ? 0 : 1;
    StringIndex indexOf(filled);
    std::vector<std::u16string> strings;
    std::vector<std::uint32_t> cellString;
    cellString.reserve(filled);
    for (std::size_t r = 0; r < rows.size(); ++r) {
        for (std::size_t c = 0; c < rows[r].size(); ++c) {
            const std::string& text = rows[r][c];
            if (text.empty())
                continue;
            auto [index, added] = indexOf.Insert(text, static_cast<std::uint32_t>(strings.size()));
            if (added) {
                auto units = Utf8ToUtf16(text);
                if (!units)
                    return Failure(WorkbookError::NotGbk, "text cannot be encoded",
                                   CellReference(r, c));
                strings.push_back(std::move(*units));
            }
            cellString.push_back(index);
        }
    }

    RecordWriter w;
    Bof(w, 0x0005);
    SimpleRecord(w, kCodePage, {1200});  // strings are UTF-16
    SimpleRecord(w, kWindow1, {0, 0, 0x4000, 0x2000, 0x0038, 0, 0, 1, 0x0258});
    SimpleRecord(w, kDate1904, {0});
    for (int i = 0; i < 4; ++i)
        Font(w);  // font index 4 does not exist in BIFF
    Xf(w, 0, true, 0);
    for (int i = 1; i < 15; ++i)
        Xf(w, 0, true, 0xF4);
    Xf(w, 0, false, 0);
    Xf(w, kTextFormat, false, 0x04);
    SimpleRecord(w, kStyle, {0x8000, 0xFF00});  // built-in "Normal" on XF 0
    w.Begin(kBoundSheet);
    const std::size_t sheetOffsetAt = w.out().size();
    w.out().U32(0);
    w.out().U8(0);
    w.out().U8(0);
    static constexpr char kSheetName[] = "Sheet1";
    w.out().U8(sizeof kSheetName - 1);
    w.out().U8(0);
    w.out().Bytes(reinterpret_cast<const std::uint8_t*>(kSheetName), sizeof kSheetName - 1);
    w.End();
    SharedStrings(w, strings, static_cast<std::uint32_t>(cellString.size()));
    SimpleRecord(w, kEof, {});

    w.out().PutU32At(sheetOffsetAt, static_cast<std::uint32_t>(w.out().size()));
    Bof(w, 0x0010);
    SimpleRecord(w, kDefColWidth, {8});
    for (std::size_t c = 0; c < sheet.columnCount; ++c) {
        const double width = c < sheet.columnWidths.size() ? sheet.columnWidths[c] : 8.43;
        const auto units =
            static_cast<std::uint16_t>(std::clamp(std::lround(width * 256), 256L, 255L * 256));
        SimpleRecord(
            w, kColInfo,
            {static_cast<std::uint16_t>(c), static_cast<std::uint16_t>(c), units, kTextXf, 0, 0});
    }
    w.Begin(kDimensions);
    w.out().U32(0);
    w.out().U32(static_cast<std::uint32_t>(rows.size()));
    w.out().U16(0);
    w.out().U16(static_cast<std::uint16_t>(sheet.columnCount));
    w.out().U16(0);
    w.End();
    std::size_t next = 0;
    for (std::size_t r = 0; r < rows.size(); ++r) {
        for (std::size_t c = 0; c < rows[r].size(); ++c) {
            if (rows[r][c].empty())
                continue;
            w.Begin(kLabelSst);
            w.out().U16(static_cast<std::uint16_t>(r));
            w.out().U16(static_cast<std::uint16_t>(c));
            w.out().U16(kTextXf);
            w.out().U32(cellString[next++]);
            w.End();
        }
    }
    SimpleRecord(w, kWindow2, {0x06B6, 0, 0, 0x40, 0, 0, 0, 0, 0});
    SimpleRecord(w, kEof, {});

    if (!WriteCompoundFile(path, "Workbook", w.out().bytes()))
        return Failure(WorkbookError::CannotWrite, "cannot write the workbook file");
    return {};
}

}  // namespace brindlecot::workbook_detail
