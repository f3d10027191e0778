#include "template/workbook/workbook.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <map>
#include <optional>

#include "app/staged_file.h"
#include "template/workbook/workbook_internal.h"

namespace brindlecot {

using namespace workbook_detail;

namespace {

constexpr std::size_t kMaxCellCharacters = 32767;   // what both formats let a cell hold
constexpr std::size_t kMaxTableCells = 1ull << 24;  // a used range larger than this is refused
constexpr double kMaxColumnWidth = 255;
constexpr double kDefaultColumnWidth = 8.43;
constexpr mode_t kWorkbookFileMode = 0666;  // less the umask, like any new document

enum class FileKind { Missing, Empty, CompoundFile, Zip, Other };

FileKind SniffFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return FileKind::Missing;
    unsigned char head[8] = {};
    in.read(reinterpret_cast<char*>(head), sizeof head);
    const auto got = in.gcount();
    if (got == 0)
        return FileKind::Empty;
    static constexpr unsigned char kCompound[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
    if (got == 8 && std::equal(head, head + 8, kCompound))
        return FileKind::CompoundFile;
    if (got >= 4 && head[0] == 'P' && head[1] == 'K' && head[2] == 3 && head[3] == 4)
        return FileKind::Zip;
    return FileKind::Other;
}

std::string_view TrimBlanks(std::string_view text) {
    constexpr std::string_view kBlanks = " \t\r\n\v\f";
    const auto first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
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

}  // namespace

std::string CellReference(std::size_t row, std::size_t column) {
    std::string letters;
    for (std::size_t n = column + 1; n > 0; n = (n - 1) / 26)
        letters.insert(letters.begin(), static_cast<char>('A' + (n - 1) % 26));
    return letters + std::to_string(row + 1);
}

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

    // Keep only cells that show something; their bounding box is the used range.
    SheetCells cells;
    cells.reserve(sheet.cells.size());
    for (auto& cell : sheet.cells) {
        const std::string_view trimmed = TrimBlanks(cell.text);
        if (trimmed.empty())
            continue;
        if (trimmed.size() != cell.text.size())
            cell.text = std::string(trimmed);
        cells.push_back(std::move(cell));
    }
    if (cells.empty())
        return {};
    std::uint32_t firstColumn = cells[0].column;
    std::uint32_t lastColumn = cells[0].column;
    for (const auto& cell : cells) {
        firstColumn = std::min(firstColumn, cell.column);
        lastColumn = std::max(lastColumn, cell.column);
    }

    std::vector<std::string*> texts;
    texts.reserve(cells.size());
    for (auto& cell : cells)
        texts.push_back(&cell.text);
    if (auto bad = ConvertUtf8TextsToGbk(texts)) {
        const auto& cell = cells[*bad];
        return Failure(WorkbookError::NotGbk,
                       "the cell holds a character that GBK cannot represent",
                       CellReference(cell.row, cell.column));
    }

    // Rows in sheet order; rows without any shown cell simply never appear.
    const auto inSheetOrder = [](const SheetCell& a, const SheetCell& b) {
        return a.row != b.row ? a.row < b.row : a.column < b.column;
    };
    if (!std::is_sorted(cells.begin(), cells.end(), inSheetOrder))
        std::stable_sort(cells.begin(), cells.end(), inSheetOrder);
    const std::size_t width = lastColumn - firstColumn + 1;
    std::size_t rowCount = 0;
    for (std::size_t i = 0; i < cells.size(); ++i)
        if (i == 0 || cells[i].row != cells[i - 1].row)
            ++rowCount;
    if (rowCount * width > kMaxTableCells)
        return Failure(WorkbookError::TooLarge, "the sheet's used range is too large to read");
    table.reserve(rowCount);
    for (std::size_t i = 0; i < cells.size(); ++i) {
        if (i == 0 || cells[i].row != cells[i - 1].row)
            table.emplace_back(width);
        table.back()[cells[i].column - firstColumn] = std::move(cells[i].text);
    }
    return {};
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
