// BIFF8 input: the cells of the active worksheet, read from the workbook stream of a
// compound file. Nothing in the file is trusted: every record must lie inside the stream,
// every field inside its record, every string inside its record and the CONTINUE records
// that carry it on; a file that breaks any of this is refused as damaged.

#include <algorithm>
#include <cstring>
#include <map>
#include <span>

#include "base/file_content.h"
#include "workbook/workbook_internal.h"

namespace brindlecot::workbook_detail {
namespace {

enum RecordType : std::uint16_t {
    kFormula = 0x0006,
    kEof = 0x000A,
    kDate1904 = 0x0022,
    kFilePass = 0x002F,
    kContinue = 0x003C,
    kWindow1 = 0x003D,
    kBoundSheet = 0x0085,
    kMulRk = 0x00BD,
    kRString = 0x00D6,
    kXf = 0x00E0,
    kSst = 0x00FC,
    kLabelSst = 0x00FD,
    kNumber = 0x0203,
    kLabel = 0x0204,
    kBoolErr = 0x0205,
    kString = 0x0207,
    kArray = 0x0221,
    kTable = 0x0236,
    kRk = 0x027E,
    kFormat = 0x041E,
    kSharedFormula = 0x04BC,
    kBof = 0x0809,
};

constexpr std::uint16_t kBiff8 = 0x0600;
constexpr std::uint16_t kGlobalsSubstream = 0x0005;
constexpr std::uint16_t kWorksheetSubstream = 0x0010;
constexpr std::size_t kMaxRecordData = 8224;
constexpr std::uint32_t kColumnLimit = 256;

// A damaged workbook: what is wrong, for the detail line.
struct Damage {
    std::string reason;
};

struct Record {
    std::uint16_t type = 0;
    std::size_t data = 0;  // offset of the record's data in the stream
    std::size_t size = 0;
    std::size_t next = 0;  // offset of the record after it
};

// The records of a workbook stream, one at a time. Sheets are found at offsets that the
// globals name, which need not be where a record starts: every record is checked to lie
// inside the stream when it is read, not only those of the framing check.
class RecordStream {
public:
    explicit RecordStream(const std::vector<std::uint8_t>& stream)
        : in_(stream.data(), stream.size()) {}

    const ByteReader& in() const { return in_; }

    // The record at `offset`; nothing at the end of the stream, at trailing padding or
    // where a record would run past the end.
    std::optional<Record> At(std::size_t offset) const {
        if (!in_.Has(offset, 4))
            return std::nullopt;
        Record record{in_.U16(offset), offset + 4, in_.U16(offset + 2), 0};
        if ((record.type == 0 && record.size == 0) || !in_.Has(record.data, record.size))
            return std::nullopt;
        record.next = record.data + record.size;
        return record;
    }

    // Every record inside the stream and within the format's record size; a BIFF8 BOF first.
    bool IsSoundlyFramed() const {
        if (!in_.Has(0, 8) || in_.U16(0) != kBof || in_.U16(4) != kBiff8)
            return false;
        for (std::size_t offset = 0; in_.Has(offset, 4);) {
            const std::uint16_t type = in_.U16(offset);
            const std::uint16_t length = in_.U16(offset + 2);
            if (type == 0 && length == 0)
                break;  // padding after the last record
            if (length > kMaxRecordData || !in_.Has(offset + 4, length))
                return false;
            offset += 4 + std::size_t{length};
        }
        return true;
    }

    // The data of `record` and of the CONTINUE records right after it, in order.
    std::vector<std::pair<std::size_t, std::size_t>> WithContinuations(const Record& record) const {
        std::vector<std::pair<std::size_t, std::size_t>> segments{
            {record.data, record.data + record.size}};
        for (auto next = At(record.next); next && next->type == kContinue; next = At(next->next))
            segments.emplace_back(next->data, next->next);
        return segments;
    }

private:
    ByteReader in_;
};

// Reads fields and strings from a record's data and its continuations as one sequence of
// bytes, except that a string's characters that run over into the next record are
// preceded there by a new flags byte (so a string may change between one and two bytes a
// character at each boundary). Every read fails rather than pass the last segment.
class ContinuedReader {
public:
    ContinuedReader(const ByteReader& in, std::vector<std::pair<std::size_t, std::size_t>> segments)
        : in_(in), segments_(std::move(segments)), at_(segments_.front().first) {}

    bool U8(std::uint8_t& value) {
        if (!Ensure())
            return false;
        value = in_.data()[at_++];
        return true;
    }
    bool U16(std::uint16_t& value) {
        std::uint8_t low = 0;
        std::uint8_t high = 0;
        if (!U8(low) || !U8(high))
            return false;
        value = static_cast<std::uint16_t>(low | (high << 8));
        return true;
    }
    bool U32(std::uint32_t& value) {
        std::uint16_t low = 0;
        std::uint16_t high = 0;
        if (!U16(low) || !U16(high))
            return false;
        value = low | (static_cast<std::uint32_t>(high) << 16);
        return true;
    }
    bool Skip(std::size_t bytes) {
        while (bytes > 0) {
            if (!Ensure())
                return false;
            const std::size_t take = std::min(bytes, Left());
            at_ += take;
            bytes -= take;
        }
        return true;
    }

    // A unicode string with a 16-bit character count (an XLUnicodeString, or the head of
    // a rich shared string when `extended`), appended to `text` in UTF-8.
    bool String(bool extended, std::string& text) {
        std::uint16_t count = 0;
        std::uint8_t flags = 0;
        if (!U16(count) || !U8(flags))
            return false;
        std::uint16_t runs = 0;
        std::uint32_t phonetic = 0;
        if (extended && (flags & 0x08) && !U16(runs))
            return false;
        if (extended && (flags & 0x04) && !U32(phonetic))
            return false;
        if (!Characters(count, flags, text))
            return false;
        return Skip(std::size_t{runs} * 4) && Skip(phonetic);
    }

    // Bytes not yet read in this segment and the ones after it.
    std::size_t Remaining() const {
        std::size_t total = Left();
        for (std::size_t k = segment_ + 1; k < segments_.size(); ++k)
            total += segments_[k].second - segments_[k].first;
        return total;
    }

private:
    std::size_t Left() const { return segments_[segment_].second - at_; }

    // Moves on to the next segment when the current one is used up.
    bool Ensure() {
        while (Left() == 0) {
            if (segment_ + 1 >= segments_.size())
                return false;
            at_ = segments_[++segment_].first;
        }
        return true;
    }

    // Narrow runs of plain ASCII, by far the most common, go straight into `text`; other
    // characters are gathered as UTF-16 and converted when a run ends.
    bool Characters(std::size_t count, std::uint8_t flags, std::string& text) {
        units_.clear();
        while (count > 0) {
            if (Left() == 0) {
                if (segment_ + 1 >= segments_.size())
                    return false;
                at_ = segments_[++segment_].first;
                if (Left() == 0)
                    return false;
                flags = in_.data()[at_++];  // a continued string restates its width
                continue;
            }
            const bool wide = (flags & 0x01) != 0;
            const std::size_t take = std::min(count, wide ? Left() / 2 : Left());
            if (take == 0)
                return false;  // half a character before the boundary
            const std::uint8_t* from = in_.data() + at_;
            if (!wide && IsAscii(from, take)) {
                FlushUnits(text);
                text.append(reinterpret_cast<const char*>(from), take);
            } else {
                for (std::size_t k = 0; k < take; ++k)
                    units_.push_back(
                        wide ? static_cast<char16_t>(from[2 * k] | (from[2 * k + 1] << 8))
                             : static_cast<char16_t>(from[k]));
            }
            at_ += take * (wide ? 2 : 1);
            count -= take;
        }
        FlushUnits(text);
        return true;
    }

    static bool IsAscii(const std::uint8_t* bytes, std::size_t count) {
        std::uint8_t any = 0;
        for (std::size_t k = 0; k < count; ++k)
            any |= bytes[k];
        return any < 0x80;
    }

    void FlushUnits(std::string& text) {
        if (units_.empty())
            return;
        text += Utf16ToUtf8(units_);
        units_.clear();
    }

    const ByteReader& in_;
    std::vector<std::pair<std::size_t, std::size_t>> segments_;
    std::size_t segment_ = 0;
    std::size_t at_;
    std::u16string units_;
};

struct BoundSheet {
    bool worksheet = false;
    std::size_t offset = 0;
};

// What the workbook globals hold for reading one sheet.
struct Globals {
    std::vector<BoundSheet> sheets;
    std::size_t activeTab = 0;
    bool date1904 = false;
    bool protectedByPassword = false;
    std::map<std::uint16_t, std::string> formats;
    std::vector<std::uint16_t> formatOfXf;
    std::vector<std::string> sharedStrings;
};

std::optional<Damage> ReadSharedStrings(const RecordStream& records, const Record& sst,
                                        std::vector<std::string>& strings) {
    ContinuedReader reader(records.in(), records.WithContinuations(sst));
    std::uint32_t total = 0;
    std::uint32_t unique = 0;
    if (!reader.U32(total) || !reader.U32(unique))
        return Damage{"the shared-string table is truncated"};
    // Each string takes at least three bytes, which bounds what a damaged count can claim.
    strings.reserve(std::min<std::size_t>(unique, reader.Remaining() / 3));
    for (std::uint32_t i = 0; i < unique; ++i) {
        std::string text;
        if (!reader.String(true, text))
            return Damage{"shared string " + std::to_string(i) + " runs past its records"};
        strings.push_back(std::move(text));
    }
    return std::nullopt;
}

std::optional<Damage> ReadGlobals(const RecordStream& records, Globals& globals) {
    const ByteReader& in = records.in();
    const auto bof = records.At(0);
    if (!bof || bof->type != kBof || bof->size < 4 || in.U16(bof->data + 2) != kGlobalsSubstream)
        return Damage{"the workbook globals are missing"};
    for (auto record = records.At(bof->next); record; record = records.At(record->next)) {
        const std::size_t data = record->data;
        const std::size_t size = record->size;
        switch (record->type) {
            case kBoundSheet:
                if (size < 6)
                    return Damage{"a sheet entry is truncated"};
                globals.sheets.push_back({in.data()[data + 5] == 0, in.U32(data)});
                break;
            case kWindow1:
                if (size >= 12)
                    globals.activeTab = in.U16(data + 10);
                break;
            case kDate1904:
                if (size >= 2)
                    globals.date1904 = in.U16(data) == 1;
                break;
            case kFilePass:
                globals.protectedByPassword = true;
                return std::nullopt;
            case kFormat: {
                ContinuedReader reader(in, records.WithContinuations(*record));
                std::uint16_t id = 0;
                std::string code;
                if (!reader.U16(id) || !reader.String(false, code))
                    return Damage{"a number format is truncated"};
                globals.formats[id] = std::move(code);
                break;
            }
            case kXf:
                if (size < 4)
                    return Damage{"a cell format is truncated"};
                globals.formatOfXf.push_back(in.U16(data + 2));
                break;
            case kSst:
                if (auto damage = ReadSharedStrings(records, *record, globals.sharedStrings))
                    return damage;
                break;
            default:
                break;
        }
        if (record->type == kEof)
            return std::nullopt;
    }
    return Damage{"the workbook globals have no end"};
}

// The sheet the workbook view selects when it is a worksheet, else the first worksheet.
std::optional<std::size_t> ActiveWorksheetOffset(const Globals& globals) {
    if (globals.activeTab < globals.sheets.size() && globals.sheets[globals.activeTab].worksheet)
        return globals.sheets[globals.activeTab].offset;
    for (const BoundSheet& sheet : globals.sheets)
        if (sheet.worksheet)
            return sheet.offset;
    return std::nullopt;
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
        default:
            return "#N/A";
    }
}

double DoubleAt(const ByteReader& in, std::size_t offset) {
    const std::uint64_t bits = static_cast<std::uint64_t>(in.U32(offset)) |
                               (static_cast<std::uint64_t>(in.U32(offset + 4)) << 32);
    double value = 0;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

// A number packed into 30 bits: an integer or the top of a double, perhaps times 100.
double RkValue(std::uint32_t rk) {
    double value = 0;
    if (rk & 0x02) {
        value = static_cast<double>(static_cast<std::int32_t>(rk) >> 2);
    } else {
        const std::uint64_t bits = static_cast<std::uint64_t>(rk & 0xFFFFFFFCu) << 32;
        std::memcpy(&value, &bits, sizeof value);
    }
    return (rk & 0x01) ? value / 100 : value;
}

// Turns the cell records of one worksheet into sheet cells.
class SheetReader {
public:
    SheetReader(const RecordStream& records, const Globals& globals, SheetReadResult& result)
        : records_(records), in_(records.in()), globals_(globals), result_(result) {}

    std::optional<Damage> Read(std::size_t offset) {
        const auto bof = records_.At(offset);
        if (!bof || bof->type != kBof || bof->size < 4 ||
            in_.U16(bof->data + 2) != kWorksheetSubstream)
            return Damage{"the active worksheet is missing"};
        result_.cells.reserve(CountCellRecords(bof->next));
        // Charts and other objects inside the sheet bring substreams of their own.
        int depth = 1;
        for (auto record = records_.At(bof->next); record; record = records_.At(record->next)) {
            if (record->type == kBof) {
                ++depth;
            } else if (record->type == kEof) {
                if (--depth == 0)
                    return std::nullopt;
            } else if (depth == 1) {
                if (auto damage = Cell(*record))
                    return damage;
            }
        }
        return Damage{"the active worksheet has no end"};
    }

private:
    // How many cells the records from `offset` on may give: room for them is made once.
    std::size_t CountCellRecords(std::size_t offset) const {
        std::size_t count = 0;
        for (auto record = records_.At(offset); record && record->type != kEof;
             record = records_.At(record->next)) {
            switch (record->type) {
                case kLabelSst:
                case kLabel:
                case kRString:
                case kNumber:
                case kRk:
                case kBoolErr:
                case kFormula:
                    ++count;
                    break;
                case kMulRk:
                    count += record->size / 6;
                    break;
                default:
                    break;
            }
        }
        return count;
    }

    std::optional<Damage> Cell(const Record& record) {
        const std::size_t data = record.data;
        const std::size_t size = record.size;
        if (pendingFormula_ && record.type != kString && record.type != kSharedFormula &&
            record.type != kArray && record.type != kTable && record.type != kContinue)
            pendingFormula_.reset();
        switch (record.type) {
            case kLabelSst: {
                if (size < 10)
                    return Truncated(record);
                const std::uint32_t index = in_.U32(data + 6);
                if (index >= globals_.sharedStrings.size())
                    return Damage{"a cell names a shared string that does not exist"};
                return AddShared(in_.U16(data), in_.U16(data + 2), index);
            }
            case kLabel:
            case kRString: {
                if (size < 9)
                    return Truncated(record);
                ContinuedReader reader(in_, records_.WithContinuations(record));
                std::string text;
                if (!reader.Skip(6) || !reader.String(false, text))
                    return Damage{"a text cell runs past its record"};
                return Add(in_.U16(data), in_.U16(data + 2), std::move(text));
            }
            case kNumber:
                if (size < 14)
                    return Truncated(record);
                return AddNumber(data, DoubleAt(in_, data + 6));
            case kRk:
                if (size < 10)
                    return Truncated(record);
                return AddNumber(data, RkValue(in_.U32(data + 6)));
            case kMulRk:
                return MulRk(record);
            case kBoolErr: {
                if (size < 8)
                    return Truncated(record);
                const std::uint8_t value = in_.data()[data + 6];
                const bool error = in_.data()[data + 7] != 0;
                return Add(in_.U16(data), in_.U16(data + 2),
                           error   ? ErrorText(value)
                           : value ? "TRUE"
                                   : "FALSE");
            }
            case kFormula:
                return Formula(record);
            case kString:
                return FormulaString(record);
            default:
                return std::nullopt;
        }
    }

    std::optional<Damage> MulRk(const Record& record) {
        const std::size_t data = record.data;
        if (record.size < 12 || (record.size - 6) % 6 != 0)
            return Truncated(record);
        const std::uint16_t row = in_.U16(data);
        const std::uint32_t first = in_.U16(data + 2);
        const std::size_t count = (record.size - 6) / 6;
        if (in_.U16(record.next - 2) != first + count - 1)
            return Damage{"a row of numbers does not match its length"};
        for (std::size_t k = 0; k < count; ++k) {
            const std::size_t at = data + 4 + k * 6;
            const auto column = static_cast<std::uint32_t>(first + k);
            if (auto damage = Add(row, column, Shown(in_.U16(at), RkValue(in_.U32(at + 2)))))
                return damage;
        }
        return std::nullopt;
    }

    std::optional<Damage> Formula(const Record& record) {
        const std::size_t data = record.data;
        if (record.size < 14)
            return Truncated(record);
        const std::uint16_t row = in_.U16(data);
        const std::uint16_t column = in_.U16(data + 2);
        if (in_.U16(data + 12) != 0xFFFF)
            return AddNumber(data, DoubleAt(in_, data + 6));
        const std::uint8_t kind = in_.data()[data + 6];
        const std::uint8_t value = in_.data()[data + 8];
        switch (kind) {
            case 0:  // text, in the STRING record that follows
                pendingFormula_ = std::pair{row, column};
                return std::nullopt;
            case 1:
                return Add(row, column, value ? "TRUE" : "FALSE");
            case 2:
                return Add(row, column, ErrorText(value));
            default:  // empty text
                return std::nullopt;
        }
    }

    std::optional<Damage> FormulaString(const Record& record) {
        if (!pendingFormula_)
            return std::nullopt;
        const auto [row, column] = *pendingFormula_;
        pendingFormula_.reset();
        ContinuedReader reader(in_, records_.WithContinuations(record));
        std::string text;
        if (!reader.String(false, text))
            return Damage{"a formula's text runs past its record"};
        return Add(row, column, std::move(text));
    }

    // A number as its cell's format shows it: a date or time, literal text, or General.
    std::string Shown(std::uint16_t xf, double value) const {
        if (xf < globals_.formatOfXf.size()) {
            const std::uint16_t id = globals_.formatOfXf[xf];
            const auto custom = globals_.formats.find(id);
            const DateTimeKind kind = custom != globals_.formats.end()
                                          ? ClassifyFormatCode(custom->second)
                                          : ClassifyBuiltInFormat(id);
            if (kind != DateTimeKind::None)
                return FormatSerialDate(value, kind, globals_.date1904);
            if (custom != globals_.formats.end())
                if (auto literal = LiteralSectionText(custom->second, value))
                    return *literal;
        }
        return FormatGeneralNumber(value);
    }

    std::optional<Damage> AddNumber(std::size_t data, double value) {
        return Add(in_.U16(data), in_.U16(data + 2), Shown(in_.U16(data + 4), value));
    }

    std::optional<Damage> Add(std::uint32_t row, std::uint32_t column, std::string text) {
        if (column >= kColumnLimit)
            return OutsideTheSheet(row, column);
        if (!text.empty())
            result_.cells.push_back(SheetCell{row, column, std::move(text)});
        return std::nullopt;
    }

    std::optional<Damage> AddShared(std::uint32_t row, std::uint32_t column, std::uint32_t index) {
        if (column >= kColumnLimit)
            return OutsideTheSheet(row, column);
        SheetCell cell{row, column, {}};
        cell.shared = index;
        result_.cells.push_back(std::move(cell));
        return std::nullopt;
    }

    static std::optional<Damage> OutsideTheSheet(std::uint32_t row, std::uint32_t column) {
        return Damage{"cell row " + std::to_string(row + 1) + ", column " +
                      std::to_string(column + 1) + " lies outside the sheet"};
    }

    static std::optional<Damage> Truncated(const Record& record) {
        return Damage{"a cell record is truncated (type " + std::to_string(record.type) + ")"};
    }

    const RecordStream& records_;
    const ByteReader& in_;
    const Globals& globals_;
    SheetReadResult& result_;
    std::optional<std::pair<std::uint16_t, std::uint16_t>> pendingFormula_;
};

WorkbookStatus Damaged(const std::string& reason) {
    return Failure(WorkbookError::Malformed, "the workbook is damaged: " + reason);
}

}  // namespace

SheetReadResult ReadXlsSheet(const std::string& path) {
    SheetReadResult result;
    const std::optional<std::string> bytes = ReadWholeFile(path);
    if (!bytes) {
        result.status = Failure(WorkbookError::CannotOpen, "the workbook file cannot be read");
        return result;
    }
    const std::span<const std::uint8_t> file(reinterpret_cast<const std::uint8_t*>(bytes->data()),
                                             bytes->size());
    const auto stream =
        IsSoundCompoundFile(file) ? ReadCompoundFileStream(file, u"Workbook") : std::nullopt;
    if (!stream || !RecordStream(*stream).IsSoundlyFramed()) {
        result.status = Failure(WorkbookError::Malformed,
                                "the file is not a sound BIFF8 workbook (damaged or truncated)");
        return result;
    }
    const RecordStream records(*stream);
    result.contentBytes = stream->size();

    Globals globals;
    if (auto damage = ReadGlobals(records, globals)) {
        result.status = Damaged(damage->reason);
        return result;
    }
    if (globals.protectedByPassword) {
        result.status = Failure(WorkbookError::Malformed, "the workbook is password protected");
        return result;
    }
    const std::optional<std::size_t> sheet = ActiveWorksheetOffset(globals);
    if (!sheet) {
        result.status = Failure(WorkbookError::Malformed, "the workbook has no worksheet");
        return result;
    }
    SheetReader reader(records, globals, result);
    if (auto damage = reader.Read(*sheet)) {
        result.cells.clear();
        result.status = Damaged(damage->reason);
        return result;
    }
    result.sharedTexts = std::move(globals.sharedStrings);
    return result;
}

}  // namespace brindlecot::workbook_detail
