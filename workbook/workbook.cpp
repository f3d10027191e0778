#include "workbook/workbook.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <optional>

#include "base/file_content.h"
#include "base/staged_file.h"
#include "base/trim.h"
#include "workbook/workbook_internal.h"

namespace brindlecot {

using namespace workbook_detail;

namespace {

constexpr std::size_t kMaxCellCharacters = 32767;   // what both formats let a cell hold
constexpr std::size_t kMaxTableCells = 1ull << 24;  // a used range larger than this is refused
// Honest workbooks expand to about their own size; repeating a long text in many cells is
// the only way to go far beyond it.
constexpr std::uint64_t kMinExpandedTextLimit = 64ull << 20;
constexpr std::uint64_t kExpandedTextPerContentByte = 8;
constexpr double kMaxColumnWidth = 255;
constexpr double kDefaultColumnWidth = 8.43;
constexpr mode_t kWorkbookFileMode = 0666;  // less the umask, like any new document

enum class FileKind { Missing, NotRegular, Empty, CompoundFile, Zip, Other };

FileKind SniffFile(const std::string& path) {
    // Only a regular file is looked at: a FIFO or a device named here never makes us wait.
    std::uint8_t head[8] = {};
    const std::optional<std::size_t> got = ReadFileStart(path, head);
    struct stat status {};
    if (!got)
        return ::stat(path.c_str(), &status) == 0 && !S_ISREG(status.st_mode) ? FileKind::NotRegular
                                                                              : FileKind::Missing;
    if (*got == 0)
        return FileKind::Empty;
    static constexpr std::uint8_t kCompound[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
    if (*got == 8 && std::equal(head, head + 8, kCompound))
        return FileKind::CompoundFile;
    if (*got >= 4 && head[0] == 'P' && head[1] == 'K' && head[2] == 3 && head[3] == 4)
        return FileKind::Zip;
    return FileKind::Other;
}

void TrimInPlace(std::string& text) {
    text = std::string(Trim(text));
}

std::string LowerExtension(const std::string& path) {
    const auto slash = path.rfind('/');
    const auto dot = path.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return {};
    std::string extension = path.substr(dot);
    for (auto& c : extension)
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    return extension;
}

// Characters as a spreadsheet counts them (UTF-16 code units) in UTF-8 text.
std::size_t Utf16Length(const std::string& utf8) {
    std::size_t units = 0;
    for (unsigned char c : utf8) {
        if ((c & 0xC0) != 0x80)
            ++units;
        if (c >= 0xF0)
            ++units;  // outside the basic plane: a surrogate pair
    }
    return units;
}

// Texts that show something, trimmed, and their cells in sheet order; cells whose text is
// empty once trimmed are dropped.
void KeepShownCells(SheetReadResult& sheet) {
    for (auto& text : sheet.sharedTexts)
        TrimInPlace(text);
    const auto shown = [&](SheetCell& cell) {
        if (cell.shared != kNotShared)
            return !sheet.sharedTexts[cell.shared].empty();
        TrimInPlace(cell.text);
        return !cell.text.empty();
    };
    auto kept = std::partition(sheet.cells.begin(), sheet.cells.end(), shown);
    sheet.cells.erase(kept, sheet.cells.end());
    const auto inSheetOrder = [](const SheetCell& a, const SheetCell& b) {
        return a.row != b.row ? a.row < b.row : a.column < b.column;
    };
    if (!std::is_sorted(sheet.cells.begin(), sheet.cells.end(), inSheetOrder))
        std::stable_sort(sheet.cells.begin(), sheet.cells.end(), inSheetOrder);
}

// A workbook's cells may name one shared text any number of times; expanded into the
// table, such a file of kilobytes would take gigabytes. What the cells expand to must stay
// within a fixed multiple of the workbook's own content, however small the workbook.
WorkbookStatus CheckExpandedText(const SheetReadResult& sheet) {
    std::uint64_t expanded = 0;
    for (const auto& cell : sheet.cells)
        expanded +=
            cell.shared != kNotShared ? sheet.sharedTexts[cell.shared].size() : cell.text.size();
    const std::uint64_t limit =
        std::max(kMinExpandedTextLimit, kExpandedTextPerContentByte * sheet.contentBytes);
    if (expanded <= limit)
        return {};
    constexpr std::uint64_t kMegabyte = 1 << 20;
    return Failure(WorkbookError::TooLarge,
                   "the cells repeat their texts to " + std::to_string(expanded / kMegabyte) +
                       " MB, more than the limit of " + std::to_string(limit / kMegabyte) +
                       " MB for this workbook (" + std::to_string(kExpandedTextPerContentByte) +
                       " times its content, at least " +
                       std::to_string(kMinExpandedTextLimit / kMegabyte) + " MB)");
}

// Converts every text that a kept cell shows to GBK, each shared text once, in sheet order
// so that a failure names the first cell that shows the offending text. Answers in `uses`
// how many cells show each shared text.
WorkbookStatus ConvertShownTexts(SheetReadResult& sheet, std::vector<std::uint32_t>& uses) {
    std::vector<std::string*> texts;
    std::vector<std::size_t> firstCell;
    texts.reserve(sheet.cells.size());
    firstCell.reserve(sheet.cells.size());
    uses.assign(sheet.sharedTexts.size(), 0);
    for (std::size_t i = 0; i < sheet.cells.size(); ++i) {
        SheetCell& cell = sheet.cells[i];
        if (cell.shared == kNotShared) {
            texts.push_back(&cell.text);
        } else if (uses[cell.shared]++ == 0) {
            texts.push_back(&sheet.sharedTexts[cell.shared]);
        } else {
            continue;
        }
        firstCell.push_back(i);
    }
    if (auto bad = ConvertUtf8TextsToGbk(texts)) {
        const SheetCell& cell = sheet.cells[firstCell[*bad]];
        return Failure(WorkbookError::NotGbk,
                       "the cell holds a character that GBK cannot represent",
                       CellReference(cell.row, cell.column));
    }
    return {};
}

WorkbookStatus BuildTable(SheetReadResult& sheet, TextTable& table) {
    KeepShownCells(sheet);
    if (sheet.cells.empty())
        return {};
    if (WorkbookStatus status = CheckExpandedText(sheet); !status.ok())
        return status;
    std::uint32_t firstColumn = sheet.cells[0].column;
    std::uint32_t lastColumn = sheet.cells[0].column;
    std::size_t rowCount = 0;
    for (std::size_t i = 0; i < sheet.cells.size(); ++i) {
        firstColumn = std::min(firstColumn, sheet.cells[i].column);
        lastColumn = std::max(lastColumn, sheet.cells[i].column);
        if (i == 0 || sheet.cells[i].row != sheet.cells[i - 1].row)
            ++rowCount;
    }
    const std::size_t width = lastColumn - firstColumn + 1;
    if (rowCount * width > kMaxTableCells)
        return Failure(WorkbookError::TooLarge, "the sheet's used range is too large to read");
    std::vector<std::uint32_t> uses;
    if (WorkbookStatus status = ConvertShownTexts(sheet, uses); !status.ok())
        return status;

    // Rows in sheet order; rows without any shown cell simply never appear.
    table.reserve(rowCount);
    for (std::size_t i = 0; i < sheet.cells.size(); ++i) {
        SheetCell& cell = sheet.cells[i];
        if (i == 0 || cell.row != sheet.cells[i - 1].row)
            table.emplace_back(width);
        std::string& target = table.back()[cell.column - firstColumn];
        if (cell.shared == kNotShared)
            target = std::move(cell.text);
        else if (--uses[cell.shared] == 0)
            target = std::move(sheet.sharedTexts[cell.shared]);  // its last cell
        else
            target = sheet.sharedTexts[cell.shared];
    }
    return {};
}

}  // namespace

std::string DescribeWorkbookFailure(const WorkbookStatus& status) {
    if (status.ok())
        return {};
    return status.cell.empty() ? status.detail : status.cell + ": " + status.detail;
}

WorkbookStatus ReadWorkbook(const std::string& path, TextTable& table) {
    table.clear();
    SheetReadResult sheet;
    switch (SniffFile(path)) {
        case FileKind::Missing:
            return Failure(WorkbookError::CannotOpen, "the workbook file cannot be opened");
        case FileKind::NotRegular:
            return Failure(WorkbookError::NotAWorkbook,
                           "the path names a folder, device or pipe, not a workbook file");
        case FileKind::Empty:
            return Failure(WorkbookError::NotAWorkbook, "the file is empty");
        case FileKind::Other:
            return Failure(WorkbookError::NotAWorkbook,
                           "the file is neither an xls nor an xlsx workbook");
        case FileKind::CompoundFile:
            sheet = ReadXlsSheet(path);
            break;
        case FileKind::Zip:
            sheet = ReadXlsxSheet(path);
            break;
    }
    if (!sheet.status.ok())
        return sheet.status;
    return BuildTable(sheet, table);
}

WorkbookStatus WriteWorkbook(const std::string& path, const TextTable& table) {
    const std::string extension = LowerExtension(path);
    const bool xls = extension == ".xls";
    if (!xls && extension != ".xlsx")
        return Failure(WorkbookError::UnsupportedType,
                       "the workbook name must end in .xls or .xlsx");

    std::size_t columns = 0;
    for (const auto& row : table)
        columns = std::max(columns, row.size());
    const std::size_t maxRows = xls ? kXlsMaxRows : kXlsxMaxRows;
    const std::size_t maxColumns = xls ? kXlsMaxColumns : kXlsxMaxColumns;
    if (table.size() > maxRows)
        return Failure(WorkbookError::TooLarge, "the table has " + std::to_string(table.size()) +
                                                    " rows; this workbook format holds at most " +
                                                    std::to_string(maxRows));
    if (columns > maxColumns)
        return Failure(WorkbookError::TooLarge,
                       "the table has " + std::to_string(columns) +
                           " columns; this workbook format holds at most " +
                           std::to_string(maxColumns));

    // Widths from GBK byte lengths: a GBK character takes two bytes exactly where it is
    // drawn two columns wide, so bytes measure the text's width in characters.
    std::vector<double> widths(columns, 0);
    std::vector<std::vector<std::string>> utf8(table.begin(), table.end());
    std::vector<std::string*> texts;
    std::vector<std::pair<std::size_t, std::size_t>> where;
    for (std::size_t r = 0; r < utf8.size(); ++r) {
        for (std::size_t c = 0; c < utf8[r].size(); ++c) {
            widths[c] = std::max(widths[c], static_cast<double>(utf8[r][c].size()));
            if (utf8[r][c].empty())
                continue;
            texts.push_back(&utf8[r][c]);
            where.emplace_back(r, c);
        }
    }
    for (auto& width : widths)
        width = width == 0 ? kDefaultColumnWidth : std::min(width + 2, kMaxColumnWidth);
    if (auto bad = ConvertGbkTextsToUtf8(texts))
        return Failure(WorkbookError::NotGbk, "the text is not valid GBK",
                       CellReference(where[*bad].first, where[*bad].second));
    for (std::size_t i = 0; i < texts.size(); ++i)
        if (texts[i]->size() > kMaxCellCharacters && Utf16Length(*texts[i]) > kMaxCellCharacters)
            return Failure(WorkbookError::TooLarge, "a cell holds at most 32767 characters",
                           CellReference(where[i].first, where[i].second));

    // Written beside the target and renamed over it only when complete; removed otherwise.
    std::optional<StagedFile> temporary =
        StagedFile::Create(path + ".partial-", "", kWorkbookFileMode);
    if (!temporary)
        return Failure(WorkbookError::CannotWrite, "cannot create a file beside the workbook");
    SheetToWrite sheet{&utf8, columns, std::move(widths)};
    WorkbookStatus status =
        xls ? WriteXlsFile(temporary->Path(), sheet) : WriteXlsxFile(temporary->Path(), sheet);
    if (!status.ok())
        return status;
    if (!temporary->ReplaceTarget(path))
        return Failure(WorkbookError::CannotWrite, "cannot put the workbook in place");
    return {};
}

}  // namespace brindlecot
