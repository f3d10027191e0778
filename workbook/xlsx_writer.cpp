// Office Open XML output: the package's few fixed parts, and the worksheet's XML made
// straight into one reused buffer and deflated piece by piece as it fills, so that a
// sheet of a million rows is never held whole in memory.

#include <algorithm>
#include <array>
#include <charconv>
#include <cstring>
#include <string>
#include <vector>

#include "workbook/workbook_internal.h"
#include "workbook/zip_writer.h"

namespace brindlecot::workbook_detail {
namespace {

constexpr std::string_view kXmlDeclaration =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n";
constexpr std::string_view kMainNamespace =
    "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
constexpr std::string_view kRelationshipNamespace =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships";

constexpr std::string_view kContentTypes =
    "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
    "<Default Extension=\"rels\" "
    "ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
    "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
    "<Override PartName=\"/xl/workbook.xml\" "
    "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml\"/>"
    "<Override PartName=\"/xl/worksheets/sheet1.xml\" "
    "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml\"/>"
    "<Override PartName=\"/xl/styles.xml\" "
    "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.styles+xml\"/>"
    "</Types>";

constexpr std::string_view kPackageRelationships =
    "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
    "<Relationship Id=\"rId1\" "
    "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument\" "
    "Target=\"xl/workbook.xml\"/>"
    "</Relationships>";

constexpr std::string_view kWorkbookRelationships =
    "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
    "<Relationship Id=\"rId1\" "
    "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet\" "
    "Target=\"worksheets/sheet1.xml\"/>"
    "<Relationship Id=\"rId2\" "
    "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/styles\" "
    "Target=\"styles.xml\"/>"
    "</Relationships>";

constexpr std::string_view kWorkbookBody =
    "<bookViews><workbookView/></bookViews>"
    "<sheets><sheet name=\"Sheet1\" sheetId=\"1\" r:id=\"rId1\"/></sheets>";

// Style 1 is the one every cell and column gets: the built-in text format "@" (49), so
// that account numbers and the like stay text when a clerk edits them.
constexpr std::string_view kStylesBody =
    "<fonts count=\"1\"><font><sz val=\"11\"/><name val=\"Calibri\"/><family val=\"2\"/>"
    "</font></fonts>"
    "<fills count=\"2\"><fill><patternFill patternType=\"none\"/></fill>"
    "<fill><patternFill patternType=\"gray125\"/></fill></fills>"
    "<borders count=\"1\"><border><left/><right/><top/><bottom/><diagonal/></border></borders>"
    "<cellStyleXfs count=\"1\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\"/>"
    "</cellStyleXfs>"
    "<cellXfs count=\"2\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\" xfId=\"0\"/>"
    "<xf numFmtId=\"49\" fontId=\"0\" fillId=\"0\" borderId=\"0\" xfId=\"0\" "
    "applyNumberFormat=\"1\"/></cellXfs>"
    "<cellStyles count=\"1\"><cellStyle name=\"Normal\" xfId=\"0\" builtinId=\"0\"/></cellStyles>";

// A cell is "<c", its reference, kCellHead, " xml:space..." where the text has
// blanks at an end, ">", the text and kCellEnd.
constexpr std::string_view kCellHead = " s=\"1\" t=\"inlineStr\"><is><t";
constexpr std::string_view kKeepBlanks = " xml:space=\"preserve\"";
constexpr std::string_view kCellEnd = "</t></is></c>";
// The longest cell around its text: the row's head, a reference, the rest.
constexpr std::size_t kCellOverhead = 64 + kCellHead.size() + kKeepBlanks.size() + kCellEnd.size();
// Each byte of a text becomes at most seven ("_x0001_").
constexpr std::size_t kEscapeGrowth = 7;
constexpr double kDefaultColumnWidth = 8.43;
// The sheet's XML goes to the compressor in pieces of about this size.
constexpr std::size_t kPieceSize = 256 * 1024;

// Bytes that cannot stand as they are in element content: markup, the control characters
// XML cannot carry (written as "_xHHHH_", which readers turn back), and the underscore,
// which must be escaped itself where it would otherwise start such an escape.
constexpr std::array<bool, 256> kSpecialBytes = [] {
    std::array<bool, 256> special{};
    for (int b = 0; b < 0x20; ++b)
        special[static_cast<std::size_t>(b)] = b != '\t' && b != '\n';
    for (unsigned char b : {'&', '<', '>', '"', '_'})
        special[b] = true;
    return special;
}();

bool IsHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// "_x" followed by four hexadecimal digits and "_": a reader would take it for an escape.
bool StartsEscapeLookalike(std::string_view text, std::size_t at) {
    return at + 6 < text.size() && text[at + 1] == 'x' && IsHexDigit(text[at + 2]) &&
           IsHexDigit(text[at + 3]) && IsHexDigit(text[at + 4]) && IsHexDigit(text[at + 5]) &&
           text[at + 6] == '_';
}

char* Put(char* at, std::string_view text) {
    std::memcpy(at, text.data(), text.size());
    return at + text.size();
}

char* PutEscapeCode(char* at, unsigned code) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    at = Put(at, "_x00");
    *at++ = kHex[(code >> 4) & 0xF];
    *at++ = kHex[code & 0xF];
    *at++ = '_';
    return at;
}

// `text` (valid UTF-8) as element content; room for kEscapeGrowth bytes a byte is there.
char* PutEscaped(char* at, std::string_view text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (!kSpecialBytes[static_cast<unsigned char>(c)]) {
            *at++ = c;
            continue;
        }
        switch (c) {
            case '&':
                at = Put(at, "&amp;");
                break;
            case '<':
                at = Put(at, "&lt;");
                break;
            case '>':
                at = Put(at, "&gt;");
                break;
            case '"':
                at = Put(at, "&quot;");
                break;
            case '_':
                at = StartsEscapeLookalike(text, i) ? PutEscapeCode(at, '_') : Put(at, "_");
                break;
            default:
                at = PutEscapeCode(at, static_cast<unsigned char>(c));
                break;
        }
    }
    return at;
}

char* PutNumber(char* at, std::uint64_t value) {
    return std::to_chars(at, at + 20, value).ptr;
}

// "A", "B", ..., "XFD" for a zero-based column.
char* PutColumn(char* at, std::size_t column) {
    char letters[4];
    std::size_t count = 0;
    for (std::size_t n = column + 1; n > 0; n = (n - 1) / 26)
        letters[count++] = static_cast<char>('A' + (n - 1) % 26);
    while (count > 0)
        *at++ = letters[--count];
    return at;
}

bool IsXmlBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// A spreadsheet shows `characters` characters of the default font's digits in a column
// whose stored width adds the cell padding: 5 pixels over a 7-pixel digit, in 1/256ths.
double StoredColumnWidth(double characters) {
    const double stored =
        static_cast<double>(static_cast<long>((characters * 7 + 5) / 7 * 256)) / 256;
    return std::min(stored, 255.0);
}

// The sheet's XML, made in one buffer that is handed to the archive whenever it holds a
// piece's worth.
class SheetXml {
public:
    explicit SheetXml(ZipWriter& zip) : zip_(zip), buffer_(2 * kPieceSize) {}

    // Room for `count` bytes; the caller writes through the answer and calls Commit.
    char* Room(std::size_t count) {
        if (buffer_.size() - used_ < count)
            buffer_.resize(used_ + count);
        return buffer_.data() + used_;
    }
    bool Commit(char* end) {
        used_ = static_cast<std::size_t>(end - buffer_.data());
        return used_ < kPieceSize || Hand();
    }
    bool Add(std::string_view text) { return Commit(Put(Room(text.size()), text)); }
    bool Hand() {
        const bool fine = zip_.Append({buffer_.data(), used_});
        used_ = 0;
        return fine;
    }

private:
    ZipWriter& zip_;
    std::vector<char> buffer_;
    std::size_t used_ = 0;
};

std::string Part(std::string_view root, std::string_view body, bool relationships) {
    std::string xml(kXmlDeclaration);
    xml += '<';
    xml += root;
    xml += " xmlns=\"";
    xml += kMainNamespace;
    if (relationships) {
        xml += "\" xmlns:r=\"";
        xml += kRelationshipNamespace;
    }
    xml += "\">";
    xml += body;
    xml += "</";
    xml += root;
    xml += '>';
    return xml;
}

struct UsedRange {
    std::size_t firstRow = 0, lastRow = 0, firstColumn = 0, lastColumn = 0;
    bool empty = true;
};

UsedRange FindUsedRange(const std::vector<std::vector<std::string>>& rows) {
    UsedRange range;
    for (std::size_t r = 0; r < rows.size(); ++r) {
        for (std::size_t c = 0; c < rows[r].size(); ++c) {
            if (rows[r][c].empty())
                continue;
            if (range.empty) {
                range = {r, r, c, c, false};
            } else {
                range.lastRow = r;
                range.firstColumn = std::min(range.firstColumn, c);
                range.lastColumn = std::max(range.lastColumn, c);
            }
        }
    }
    return range;
}

// Everything before the cells: the used range, the view, the columns' widths and format.
std::string SheetHead(const SheetToWrite& sheet, const UsedRange& range) {
    std::string head(kXmlDeclaration);
    head += "<worksheet xmlns=\"";
    head += kMainNamespace;
    head += "\" xmlns:r=\"";
    head += kRelationshipNamespace;
    head += "\"><dimension ref=\"";
    char reference[64];
    char* at = reference;
    if (!range.empty) {
        at = PutNumber(PutColumn(at, range.firstColumn), range.firstRow + 1);
        *at++ = ':';
        at = PutNumber(PutColumn(at, range.lastColumn), range.lastRow + 1);
    } else {
        at = Put(at, "A1");
    }
    head.append(reference, at);
    head +=
        "\"/><sheetViews><sheetView tabSelected=\"1\" workbookViewId=\"0\"/></sheetViews>"
        "<sheetFormatPr defaultRowHeight=\"15\"/>";
    if (sheet.columnCount > 0) {
        head += "<cols>";
        // Neighbours of one width share one entry.
        const auto widthOf = [&](std::size_t c) {
            return c < sheet.columnWidths.size() ? sheet.columnWidths[c] : kDefaultColumnWidth;
        };
        for (std::size_t first = 0; first < sheet.columnCount;) {
            const double width = widthOf(first);
            std::size_t last = first;
            while (last + 1 < sheet.columnCount && widthOf(last + 1) == width)
                ++last;
            char number[32];
            head += "<col min=\"" + std::to_string(first + 1) + "\" max=\"" +
                    std::to_string(last + 1) + "\" width=\"";
            head.append(
                number,
                std::to_chars(number, number + sizeof number, StoredColumnWidth(width)).ptr);
            head += "\" style=\"1\" customWidth=\"1\"/>";
            first = last + 1;
        }
        head += "</cols>";
    }
    head += "<sheetData>";
    return head;
}

constexpr std::string_view kSheetTail =
    "</sheetData><pageMargins left=\"0.7\" right=\"0.7\" top=\"0.75\" bottom=\"0.75\" "
    "header=\"0.3\" footer=\"0.3\"/></worksheet>";

// Rows and cells: a row that holds nothing is left out, as is an empty cell. Every cell
// carries its reference, as spreadsheet programs write them: the format lets a reader place
// cells one after another without, but not every reader a clerk's batch meets does.
bool WriteCells(const SheetToWrite& sheet, SheetXml& xml) {
    const auto& rows = *sheet.rows;
    std::size_t next = 0;
    for (std::size_t r = 0; r < rows.size(); ++r) {
        const auto& row = rows[r];
        bool open = false;
        for (std::size_t c = 0; c < row.size(); ++c) {
            if (row[c].empty())
                continue;
            const std::string_view text = *sheet.texts[next++];
            char* at = xml.Room(kCellOverhead + text.size() * kEscapeGrowth);
            if (!open) {
                at = Put(at, "<row r=\"");
                at = Put(PutNumber(at, r + 1), "\">");
                open = true;
            }
            // Pieces of fixed size: copying them takes a few moves, where a copy of a
            // length known only here would cost more than the rest of the cell.
            at = Put(at, "<c r=\"");
            at = Put(PutNumber(PutColumn(at, c), r + 1), "\"");
            at = Put(at, kCellHead);
            if (IsXmlBlank(text.front()) || IsXmlBlank(text.back()))
                at = Put(at, kKeepBlanks);
            *at++ = '>';
            at = Put(PutEscaped(at, text), kCellEnd);
            if (!xml.Commit(at))
                return false;
        }
        if (open && !xml.Add("</row>"))
            return false;
    }
    return true;
}

// More than the sheet's XML can come to, to decide before it is written whether the
// archive needs its 64-bit sizes.
std::uint64_t SheetSizeBound(const SheetToWrite& sheet) {
    std::uint64_t bound =
        64 * 1024 + std::uint64_t{sheet.columnCount} * 128 + std::uint64_t{sheet.rows->size()} * 32;
    for (const std::string* text : sheet.texts)
        bound += kCellOverhead + text->size() * kEscapeGrowth;
    return bound;
}

}  // namespace

WorkbookStatus WriteXlsxFile(const std::string& path, const SheetToWrite& sheet) {
    ZipWriter zip(path);
    // Deflate can grow what it cannot compress by a little; a generous margin covers it.
    const std::uint64_t bound = SheetSizeBound(sheet);
    const bool zip64 = bound + bound / 64 + (1u << 20) >= 0xFFFFFFFFull;
    bool fine =
        zip.Add("[Content_Types].xml", std::string(kXmlDeclaration) + std::string(kContentTypes)) &&
        zip.Add("_rels/.rels", std::string(kXmlDeclaration) + std::string(kPackageRelationships)) &&
        zip.Add("xl/workbook.xml", Part("workbook", kWorkbookBody, true)) &&
        zip.Add("xl/_rels/workbook.xml.rels",
                std::string(kXmlDeclaration) + std::string(kWorkbookRelationships)) &&
        zip.Add("xl/styles.xml", Part("styleSheet", kStylesBody, false)) &&
        zip.Begin("xl/worksheets/sheet1.xml", zip64);
    if (fine) {
        SheetXml xml(zip);
        fine = xml.Add(SheetHead(sheet, FindUsedRange(*sheet.rows))) && WriteCells(sheet, xml) &&
               xml.Add(kSheetTail) && xml.Hand() && zip.End();
    }
    if (!fine || !zip.Finish())
        return Failure(WorkbookError::CannotWrite,
                       zip.failed() ? zip.failure() : "cannot write the workbook file");
    return {};
}

}  // namespace brindlecot::workbook_detail
