// Our own BIFF8 writer: one worksheet of text cells in a compound file.

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <optional>
#include <string_view>
#include <utility>

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

// Finds the shared-string index of a text. A flat open-addressing table of 8-byte slots
// (a tag from the hash and the index): with hundreds of thousands of distinct texts almost
// every lookup misses the cache, so the slots are kept small and the caller prefetches a
// few cells ahead.
class StringIndex {
public:
    explicit StringIndex(std::size_t expected) {
        std::size_t capacity = 16;
        while (capacity < expected * 2)
            capacity *= 2;
        slots_.assign(capacity, Slot{});
    }

    static std::size_t Hash(const std::string& text) { return std::hash<std::string_view>{}(text); }
    void Prefetch(std::size_t hash) const {
        __builtin_prefetch(&slots_[hash & (slots_.size() - 1)]);
    }

    // The index of `text` among `strings`, adding it at the end when it is new.
    std::uint32_t Insert(const std::string& text, std::size_t hash,
                         std::vector<const std::string*>& strings) {
        // Any bits do as a tag; the high half, where size_t has one, is free of the slot's.
        const std::uint64_t wide = hash;
        const auto tag = static_cast<std::uint32_t>((wide >> 32) ^ wide);
        for (std::size_t at = hash & (slots_.size() - 1);; at = (at + 1) & (slots_.size() - 1)) {
            Slot& slot = slots_[at];
            if (slot.index_after == 0) {
                strings.push_back(&text);
                slot = Slot{tag, static_cast<std::uint32_t>(strings.size())};
                return slot.index_after - 1;
            }
            if (slot.tag == tag && *strings[slot.index_after - 1] == text)
                return slot.index_after - 1;
        }
    }

private:
    struct Slot {
        std::uint32_t tag = 0;
        std::uint32_t index_after = 0;  // the string's index + 1; 0 marks a free slot
    };
    std::vector<Slot> slots_;
};

// Bytes of the shared-string records, at most: every string's header and characters in
// their widest form, a CONTINUE header and repeated flags byte per record boundary.
std::size_t SharedStringsBound(const std::vector<const std::string*>& strings) {
    std::size_t bytes = 8;
    for (const std::string* text : strings)
        bytes += 3 + 2 * text->size();
    return bytes + (bytes / kMaxRecordData + 1) * 8 + 4 + (strings.size() / 8 + 2) * 8;
}

// The shared-string table. A string never starts without its whole header (count and
// flags) and first character in the same record; when its characters run over into a
// CONTINUE record, that record repeats the flags byte before the rest of the characters.
// Answers the index of a string that is not valid UTF-8, or nothing.
std::optional<std::size_t> SharedStrings(RecordWriter& w,
                                         const std::vector<const std::string*>& strings,
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
    std::u16string s;  // one buffer for the characters of every string beyond ASCII
    for (std::uint32_t i = 0; i < unique; ++i) {
        const std::string& text = *strings[i];
        // Account numbers, amounts and dates are ASCII: their bytes are their characters.
        const bool ascii = std::all_of(text.begin(), text.end(),
                                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
        if (!ascii && !Utf8ToUtf16(text, s))
            return i;
        const std::size_t length = ascii ? text.size() : s.size();
        const bool wide =
            !ascii && std::any_of(s.begin(), s.end(), [](char16_t c) { return c > 0xFF; });
        const std::size_t unit = wide ? 2 : 1;
        if (w.Room() < 3 + (length == 0 ? 0 : unit)) {
            w.End();
            w.Begin(kContinue);
        }
        if (i % perBucket == 0)
            buckets.push_back({static_cast<std::uint32_t>(w.out().size()),
                               static_cast<std::uint16_t>(w.OffsetInRecord())});
        w.out().U16(static_cast<std::uint16_t>(length));
        w.out().U8(wide ? 1 : 0);
        std::size_t done = 0;
        while (done < length) {
            std::size_t fit = std::min(length - done, w.Room() / unit);
            if (fit == 0) {
                w.End();
                w.Begin(kContinue);
                w.out().U8(wide ? 1 : 0);
                continue;
            }
            std::uint8_t* to = w.out().Extend(fit * unit);
            if (ascii) {
                std::memcpy(to, text.data() + done, fit);
            } else if (wide) {
                for (std::size_t k = 0; k < fit; ++k) {
                    to[2 * k] = static_cast<std::uint8_t>(s[done + k]);
                    to[2 * k + 1] = static_cast<std::uint8_t>(s[done + k] >> 8);
                }
            } else {
                for (std::size_t k = 0; k < fit; ++k)
                    to[k] = static_cast<std::uint8_t>(s[done + k]);
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
    return std::nullopt;
}

// Where the count-th non-empty cell is, for messages.
std::string NonEmptyCellReference(const std::vector<std::vector<std::string>>& rows,
                                  std::size_t count) {
    for (std::size_t r = 0; r < rows.size(); ++r) {
        for (std::size_t c = 0; c < rows[r].size(); ++c) {
            if (!rows[r][c].empty() && count-- == 0)
                return CellReference(r, c);
        }
    }
    return {};
}

}  // namespace

WorkbookStatus WriteXlsFile(const std::string& path, const SheetToWrite& sheet) {
    const auto& rows = *sheet.rows;

    // Shared strings in order of first use, and each non-empty cell's index.
    const std::vector<const std::string*>& cells = sheet.texts;
    StringIndex indexOf(cells.size());
    std::vector<const std::string*> strings;
    std::vector<std::uint32_t> cellString(cells.size());
    std::vector<std::uint32_t> firstCell;  // of each string, for messages
    constexpr std::size_t kAhead = 16;
    std::size_t ahead[kAhead];
    for (std::size_t i = 0; i < std::min(kAhead, cells.size()); ++i) {
        ahead[i] = StringIndex::Hash(*cells[i]);
        indexOf.Prefetch(ahead[i]);
    }
    for (std::size_t i = 0; i < cells.size(); ++i) {
        const std::size_t hash = ahead[i % kAhead];
        if (i + kAhead < cells.size()) {
            ahead[i % kAhead] = StringIndex::Hash(*cells[i + kAhead]);
            indexOf.Prefetch(ahead[i % kAhead]);
        }
        const std::size_t known = strings.size();
        cellString[i] = indexOf.Insert(*cells[i], hash, strings);
        if (strings.size() != known)
            firstCell.push_back(static_cast<std::uint32_t>(i));
    }

    RecordWriter w;
    // Globals, shared strings, then per column one COLINFO and per cell one LABELSST, and
    // the padding to whole sectors that the compound file adds in place.
    constexpr std::size_t kFixedRecords = 4096;
    constexpr std::size_t kSectorPadding = 512;
    w.out().Reserve(kFixedRecords + SharedStringsBound(strings) + 16 * sheet.columnCount +
                    14 * cells.size() + kSectorPadding);
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
    if (auto bad = SharedStrings(w, strings, static_cast<std::uint32_t>(cellString.size())))
        return Failure(WorkbookError::NotGbk, "text cannot be encoded",
                       NonEmptyCellReference(rows, firstCell[*bad]));
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
            // LABELSST: row, column, XF, string index; written whole, 655,350 times in a
            // full sheet.
            const std::uint32_t index = cellString[next++];
            const std::uint16_t fields[] = {kLabelSst,
                                            10,
                                            static_cast<std::uint16_t>(r),
                                            static_cast<std::uint16_t>(c),
                                            kTextXf,
                                            static_cast<std::uint16_t>(index),
                                            static_cast<std::uint16_t>(index >> 16)};
            std::uint8_t* to = w.out().Extend(sizeof fields);
            for (std::uint16_t field : fields) {
                *to++ = static_cast<std::uint8_t>(field);
                *to++ = static_cast<std::uint8_t>(field >> 8);
            }
        }
    }
    SimpleRecord(w, kWindow2, {0x06B6, 0, 0, 0x40, 0, 0, 0, 0, 0});
    SimpleRecord(w, kEof, {});

    if (!WriteCompoundFile(path, "Workbook", std::move(w.out().bytes())))
        return Failure(WorkbookError::CannotWrite, "cannot write the workbook file");
    return {};
}

}  // namespace brindlecot::workbook_detail
