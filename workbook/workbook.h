#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "base/text_table.h"

namespace brindlecot {

// Reading and writing workbook files directly: BIFF8 (.xls) and Office Open XML (.xlsx).
// No spreadsheet program is needed. Every cell text in a TextTable is GBK.

enum class WorkbookError {
    None = 0,
    CannotOpen,       // the file is missing or cannot be read
    NotAWorkbook,     // the content is neither a BIFF8 compound file nor an xlsx package
    Malformed,        // the file looks like a workbook but is truncated or damaged
    NotGbk,           // a cell holds a character that GBK cannot represent (see `cell`)
    TooLarge,         // the table exceeds the format's row or column limit
    UnsupportedType,  // the output path ends neither in .xls nor in .xlsx
    CannotWrite,      // the output (or its temporary file) cannot be created or written
};

// The result of a workbook operation. `detail` is a short English technical text (ASCII,
// hence also valid GBK) that a caller may show below its catalogue message; `cell` names
// the offending cell in A1 form ("B7") when one is to blame, else it is empty.
struct WorkbookStatus {
    WorkbookError error = WorkbookError::None;
    std::string detail;
    std::string cell;

    bool ok() const { return error == WorkbookError::None; }
    explicit operator bool() const { return ok(); }
};

// Format limits, checked before anything is written.
inline constexpr std::size_t kXlsMaxRows = 65536;
inline constexpr std::size_t kXlsMaxColumns = 256;
inline constexpr std::size_t kXlsxMaxRows = 1048576;
inline constexpr std::size_t kXlsxMaxColumns = 16384;

// Reads the used range of the active sheet of the workbook at `path` (format recognised by
// content, not by name) into `table`: each cell's displayed text (as a spreadsheet shows a
// General cell; dates as YYYY-MM-DD) trimmed of surrounding blanks, converted to GBK; rows
// whose texts are all empty are dropped. The range is read from its own top-left cell, so
// a sheet that starts below or right of A1 loses nothing. Every answered row has the same
// number of texts (the used range's column count). Only a regular file is read. A
// workbook whose cells would expand to more text than 8 times its own content (and more
// than 64 MB), as when thousands of cells name one long shared string, is refused as
// TooLarge before that text is made. On failure `table` is left empty.
WorkbookStatus ReadWorkbook(const std::string& path, TextTable& table);

// Writes `table` as the only worksheet of a new workbook at `path`: every cell formatted
// as text ("@") and holding text, columns sized to their content. The format follows the
// path's extension (".xls": BIFF8, ".xlsx": Office Open XML; letter case ignored). Rows may
// be ragged; the widest row sets the column count. The workbook is written under a
// temporary name beside `path` and renamed over it only when complete: on failure nothing
// is left behind and an existing file at `path` is untouched.
WorkbookStatus WriteWorkbook(const std::string& path, const TextTable& table);

enum class WorkbookFormat { Xls, Xlsx };
// The format WriteWorkbook gives a workbook at `path`; nothing for another extension.
std::optional<WorkbookFormat> WorkbookFormatOf(const std::string& path);
// As WriteWorkbook, in the given format, straight into the file at `path` (one the caller
// owns and has staged itself): the file is truncated and written, nothing is renamed.
WorkbookStatus WriteWorkbookAs(const std::string& path, const TextTable& table,
                               WorkbookFormat format);

// "A1" form of a zero-based cell position: CellReference(6, 1) == "B7".
std::string CellReference(std::size_t row, std::size_t column);

// One line, "B7: ..." style, for showing a failure below a catalogue message.
std::string DescribeWorkbookFailure(const WorkbookStatus& status);

}  // namespace brindlecot
