// BIFF8 input through FreeXL. FreeXL does not say which sheet was active when the workbook
// was saved, so the workbook globals are scanned for that ourselves.

#include <freexl.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>

#include "template/workbook/workbook_internal.h"

namespace brindlecot::workbook_detail {
namespace {

struct FreeXlCloser {
    void operator()(const void* handle) const { freexl_close(handle); }
};

// A BIFF8 unicode string (count, flags, characters) held within [at, end).
std::string ReadBiffString(const ByteReader& in, std::size_t at, std::size_t end) {
    if (at + 3 > end)
        return {};
    const std::uint16_t count = in.U16(at);
    const std::uint8_t flags = in.data()[at + 2];
    const bool wide = (flags & 0x01) != 0;
    at += 3;
    if (flags & 0x08)
        at += 2;  // rich-text run count
    if (flags & 0x04)
        at += 4;  // phonetic block size
    std::u16string units;
    const std::size_t step = wide ? 2 : 1;
    for (std::size_t k = 0; k < count && at + step <= end; ++k, at += step)
        units.push_back(wide ? static_cast<char16_t>(in.U16(at))
                             : static_cast<char16_t>(in.data()[at]));
    return Utf16ToUtf8(units);
}

// What the workbook globals say beyond what FreeXL tells: the active sheet and the
// number formats, which FreeXL applies only to the cells it decodes itself.
struct BiffGlobals {
    unsigned worksheetIndex = 0;        // among the worksheets, as FreeXL counts them
    std::optional<std::size_t> offset;  // of the active sheet's BOF record in the stream
    std::map<std::uint16_t, std::string> formats;
    std::vector<std::uint16_t> formatOfXf;
    bool date1904 = false;
};

// The sheet that the workbook view selects (WINDOW1), found from the sheet list
// (BOUNDSHEET records); the first worksheet when the globals cannot tell.
BiffGlobals ScanGlobals(const std::vector<std::uint8_t>& stream) {
    const ByteReader in(stream.data(), stream.size());
    struct Sheet {
        bool worksheet;
        std::size_t offset;
    };
    std::vector<Sheet> sheets;
    std::size_t activeTab = 0;
    BiffGlobals globals;
    for (std::size_t offset = 0; in.Has(offset, 4);) {
        const std::uint16_t type = in.U16(offset);
        const std::uint16_t length = in.U16(offset + 2);
        const std::size_t data = offset + 4;
        if (!in.Has(data, length))
            break;
        if (type == 0x0085 && length >= 6)
            sheets.push_back({stream[data + 5] == 0, in.U32(data)});
        if (type == 0x003D && length >= 12)
            activeTab = in.U16(data + 10);
        if (type == 0x0022 && length >= 2)
            globals.date1904 = in.U16(data) == 1;
        if (type == 0x041E && length >= 5)
            globals.formats[in.U16(data)] = ReadBiffString(in, data + 2, data + length);
        if (type == 0x00E0 && length >= 4)
            globals.formatOfXf.push_back(in.U16(data + 2));
        if (type == 0x000A)
            break;
        offset = data + length;
    }
    if (activeTab >= sheets.size() || !sheets[activeTab].worksheet)
        activeTab = 0;
    for (std::size_t i = 0; i < activeTab; ++i)
        globals.worksheetIndex += sheets[i].worksheet ? 1 : 0;
    if (activeTab < sheets.size() && sheets[activeTab].worksheet)
        globals.offset = sheets[activeTab].offset;
    return globals;
}

// A formula's numeric result as its cell's number format shows it.
std::string FormattedNumber(const BiffGlobals& globals, std::uint16_t xf, double value) {
    if (xf < globals.formatOfXf.size()) {
        const std::uint16_t id = globals.formatOfXf[xf];
        const auto custom = globals.formats.find(id);
        const DateTimeKind kind = custom != globals.formats.end()
                                      ? ClassifyFormatCode(custom->second)
                                      : ClassifyBuiltInFormat(id);
        if (kind != DateTimeKind::None)
            return FormatSerialDate(value, kind, globals.date1904);
        if (custom != globals.formats.end())
            if (auto literal = LiteralSectionText(custom->second, value))
                return *literal;
    }
    return FormatGeneralNumber(value);
}

std::string ErrorText(std::uint8_t code) {
    switch (code) {
        case 0x00:
            return "#NULL!";
        case 0x07:
            return "#DIV/0!";
        case 0x0F:
            return "#VALUE!";
        case 0x17:
            return "#REF!";
        case 0x1D:
            return "#NAME?";
        case 0x24:
            return "#NUM!";
        case 0x2A:
            return "#N/A";
        default:
            return "#N/A";
    }
}

// Record framing of a BIFF8 workbook stream: a BOF first, every record inside the stream
// and within the format's size. FreeXL trusts the framing; streams that fail never reach it.
bool IsSoundBiffStream(const std::vector<std::uint8_t>& stream) {
    const ByteReader in(stream.data(), stream.size());
    if (!in.Has(0, 8) || in.U16(0) != 0x0809 || in.U16(4) != 0x0600)
        return false;
    for (std::size_t offset = 0; in.Has(offset, 4);) {
        const std::uint16_t type = in.U16(offset);
        const std::uint16_t length = in.U16(offset + 2);
        if (type == 0 && length == 0)
            break;  // padding after the last record
        if (length > 8224 || !in.Has(offset + 4, length))
            return false;
        offset += 4 + std::size_t{length};
    }
    return true;
}

// Walks the shared-string table exactly as a reader must (strings carried over CONTINUE
// records, rich-text runs and phonetic blocks) and answers whether every one of its
// strings lies within its records. FreeXL copies these strings without such checks.
class SstWalker {
public:
    SstWalker(const ByteReader& in, std::vector<std::pair<std::size_t, std::size_t>> segments)
        : in_(in),
          segments_(std::move(segments)),
          at_(segments_.empty() ? 0 : segments_[0].first) {}

    bool Walk(std::uint32_t count) {
        for (std::uint32_t i = 0; i < count; ++i) {
            if (Left() == 0 && !Next())
                return false;
            if (Left() < 3)
                return false;  // a string header is never split
            const std::uint16_t characters = in_.U16(at_);
            std::uint8_t flags = in_.data()[at_ + 2];
            at_ += 3;
            std::size_t runs = 0;
            std::size_t phonetic = 0;
            if (flags & 0x08) {
                if (Left() < 2)
                    return false;
                runs = in_.U16(at_);
                at_ += 2;
            }
            if (flags & 0x04) {
                if (Left() < 4)
                    return false;
                phonetic = in_.U32(at_);
                at_ += 4;
            }
            for (std::size_t remaining = characters; remaining > 0;) {
                const std::size_t unit = (flags & 0x01) ? 2 : 1;
                if (Left() < unit) {
                    if (Left() != 0 || !Next() || Left() < 1)
                        return false;
                    flags = in_.data()[at_++];  // a continued string repeats its flags
                    continue;
                }
                const std::size_t take = std::min(remaining, Left() / unit);
                at_ += take * unit;
                remaining -= take;
            }
            if (!Skip(runs * 4) || !Skip(phonetic))
                return false;
        }
        return true;
    }

private:
    std::size_t Left() const {
        return segment_ < segments_.size() ? segments_[segment_].second - at_ : 0;
    }
    bool Next() {
        if (segment_ + 1 >= segments_.size())
            return false;
        at_ = segments_[++segment_].first;
        return true;
    }
    bool Skip(std::size_t bytes) {
        while (bytes > 0) {
            if (Left() == 0 && !Next())
                return false;
            const std::size_t take = std::min(bytes, Left());
            at_ += take;
            bytes -= take;
        }
        return true;
    }

    const ByteReader& in_;
    std::vector<std::pair<std::size_t, std::size_t>>
        segments_;  // [begin, end) of each record's data
    std::size_t segment_ = 0;
    std::size_t at_;
};

// The strings of the records FreeXL decodes: the shared-string table, sheet names, number
// formats, font names and old-style text cells must each lie within their records.
bool AreSoundBiffStrings(const std::vector<std::uint8_t>& stream) {
    const ByteReader in(stream.data(), stream.size());
    const auto fits = [&](std::size_t at, std::size_t end, std::size_t countBytes) {
        if (at + countBytes + 1 > end)
            return false;
        const std::size_t count = countBytes == 1 ? in.data()[at] : in.U16(at);
        const bool wide = (in.data()[at + countBytes] & 1) != 0;
        return at + countBytes + 1 + count * (wide ? 2 : 1) <= end;
    };
    std::uint32_t uniqueStrings = 0;
    for (std::size_t offset = 0; in.Has(offset, 4);) {
        const std::uint16_t type = in.U16(offset);
        const std::uint16_t length = in.U16(offset + 2);
        if (type == 0 && length == 0)
            break;
        const std::size_t data = offset + 4;
        const std::size_t end = data + length;
        switch (type) {
            case 0x00FC: {  // SST and its CONTINUE records
                if (length < 8)
                    return false;
                uniqueStrings = in.U32(data + 4);
                std::vector<std::pair<std::size_t, std::size_t>> segments{{data + 8, end}};
                std::size_t next = end;
                while (in.Has(next, 4) && in.U16(next) == 0x003C) {
                    const std::size_t size = in.U16(next + 2);
                    segments.emplace_back(next + 4, next + 4 + size);
                    next += 4 + size;
                }
                SstWalker walker(in, std::move(segments));
                if (!walker.Walk(uniqueStrings))
                    return false;
                break;
            }
            case 0x0085:  // BOUNDSHEET
                if (length < 8 || !fits(data + 6, end, 1))
                    return false;
                break;
            case 0x041E:  // FORMAT
                if (length < 5 || !fits(data + 2, end, 2))
                    return false;
                break;
            case 0x0031:  // FONT
                if (length < 16 || !fits(data + 14, end, 1))
                    return false;
                break;
            case 0x0204:  // LABEL
                if (length < 9 || !fits(data + 6, end, 2))
                    return false;
                break;
            case 0x00FD:  // LABELSST
                if (length < 10 || in.U32(data + 6) >= uniqueStrings)
                    return false;
                break;
            default:
                break;
        }
        offset = end;
    }
    return true;
}

using CellKey = std::pair<std::uint32_t, std::uint32_t>;

// Cells FreeXL leaves empty: booleans and errors (BOOLERR) and the cached results of
// formulas.
std::map<CellKey, std::string> CellsFreeXlSkips(const std::vector<std::uint8_t>& stream,
                                                const BiffGlobals& globals) {
    if (!globals.offset)
        return {};
    std::map<CellKey, std::string> cells;
    const ByteReader in(stream.data(), stream.size());
    std::optional<CellKey> pendingString;
    for (std::size_t offset = *globals.offset; in.Has(offset, 4);) {
        const std::uint16_t type = in.U16(offset);
        const std::uint16_t length = in.U16(offset + 2);
        const std::size_t data = offset + 4;
        if (!in.Has(data, length))
            break;
        if (type == 0x0205 && length >= 8) {  // BOOLERR
            const std::uint8_t value = stream[data + 6];
            cells[{in.U16(data), in.U16(data + 2)}] = stream[data + 7] ? ErrorText(value)
                                                      : value          ? "TRUE"
                                                                       : "FALSE";
        } else if (type == 0x0006 && length >= 14 &&
                   in.U16(data + 12) != 0xFFFF) {  // FORMULA, number
            double value = 0;
            std::uint64_t bits = static_cast<std::uint64_t>(in.U32(data + 6)) |
                                 (static_cast<std::uint64_t>(in.U32(data + 10)) << 32);
            std::memcpy(&value, &bits, sizeof value);
            cells[{in.U16(data), in.U16(data + 2)}] =
                FormattedNumber(globals, in.U16(data + 4), value);
        } else if (type == 0x0006 && length >= 14) {  // FORMULA, other result
            const CellKey key{in.U16(data), in.U16(data + 2)};
            const std::uint8_t kind = stream[data + 6];
            const std::uint8_t value = stream[data + 8];
            if (kind == 1)
                cells[key] = value ? "TRUE" : "FALSE";
            if (kind == 2)
                cells[key] = ErrorText(value);
            if (kind == 0)
                pendingString = key;
        } else if (type == 0x0207 && pendingString) {  // STRING after a text formula
            cells[*pendingString] = ReadBiffString(in, data, data + length);
        }
        if (type != 0x0006)
            pendingString.reset();
        if (type == 0x000A)
            break;
        offset = data + length;
    }
    return cells;
}

}  // namespace

SheetReadResult ReadXlsSheet(const std::string& path) {
    SheetReadResult result;
    std::ifstream input(path, std::ios::binary);
    const std::vector<std::uint8_t> file((std::istreambuf_iterator<char>(input)),
                                         std::istreambuf_iterator<char>());

    auto stream =
        IsSoundCompoundFile(file) ? ReadCompoundFileStream(file, u"Workbook") : std::nullopt;
    if (!stream || !IsSoundBiffStream(*stream) || !AreSoundBiffStrings(*stream)) {
        result.status = Failure(WorkbookError::Malformed,
                                "the file is not a sound BIFF8 workbook (damaged or truncated)");
        return result;
    }
    const void* raw = nullptr;
    const int opened = freexl_open(path.c_str(), &raw);
    std::unique_ptr<const void, FreeXlCloser> handle(raw);
    if (opened != FREEXL_OK || !raw) {
        result.status =
            Failure(WorkbookError::Malformed,
                    "the workbook cannot be decoded (FreeXL error " + std::to_string(opened) + ")");
        return result;
    }
    unsigned sheets = 0;
    if (freexl_get_info(raw, FREEXL_BIFF_SHEET_COUNT, &sheets) != FREEXL_OK || sheets == 0) {
        result.status = Failure(WorkbookError::Malformed, "the workbook has no worksheet");
        return result;
    }
    unsigned password = 0;
    if (freexl_get_info(raw, FREEXL_BIFF_PASSWORD, &password) == FREEXL_OK &&
        password == FREEXL_BIFF_OBFUSCATED) {
        result.status = Failure(WorkbookError::Malformed, "the workbook is password protected");
        return result;
    }
    const BiffGlobals globals = ScanGlobals(*stream);
    const std::map<CellKey, std::string> skipped = CellsFreeXlSkips(*stream, globals);
    unsigned active = globals.worksheetIndex < sheets ? globals.worksheetIndex : 0;
    unsigned rows = 0;
    unsigned short columns = 0;
    if (freexl_select_active_worksheet(raw, static_cast<unsigned short>(active)) != FREEXL_OK ||
        freexl_worksheet_dimensions(raw, &rows, &columns) != FREEXL_OK) {
        result.status = Failure(WorkbookError::Malformed, "the active worksheet cannot be read");
        return result;
    }
    for (unsigned r = 0; r < rows; ++r) {
        for (unsigned short c = 0; c < columns; ++c) {
            FreeXL_CellValue value{};
            if (freexl_get_cell_value(raw, r, c, &value) != FREEXL_OK) {
                result.status =
                    Failure(WorkbookError::Malformed, "a cell cannot be read", CellReference(r, c));
                return result;
            }
            std::string shown;
            switch (value.type) {
                case FREEXL_CELL_INT:
                    shown = std::to_string(value.value.int_value);
                    break;
                case FREEXL_CELL_DOUBLE:
                    shown = FormatGeneralNumber(value.value.double_value);
                    break;
                case FREEXL_CELL_TEXT:
                case FREEXL_CELL_SST_TEXT:
                case FREEXL_CELL_DATE:
                case FREEXL_CELL_DATETIME:
                case FREEXL_CELL_TIME:
                    if (value.value.text_value)
                        shown = value.value.text_value;
                    break;
                default:
                    break;
            }
            if (shown.empty() && value.type == FREEXL_CELL_NULL) {
                if (auto it = skipped.find({r, c}); it != skipped.end())
                    shown = it->second;
            }
            if (!shown.empty())
                result.cells.push_back(SheetCell{r, c, std::move(shown)});
        }
    }
    return result;
}

}  // namespace brindlecot::workbook_detail
