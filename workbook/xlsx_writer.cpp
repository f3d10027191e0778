// Office Open XML output through libxlsxwriter.

#include <xlsxwriter.h>

#include <cstdlib>
#include <filesystem>

#include "workbook/workbook_internal.h"

namespace brindlecot::workbook_detail {

WorkbookStatus WriteXlsxFile(const std::string& path, const SheetToWrite& sheet) {
    // Rows are written in order, so constant-memory mode keeps a 1,048,576-row table from
    // being held twice; its scratch files go beside the output rather than into /tmp.
    const std::filesystem::path folder = std::filesystem::path(path).parent_path();
    std::string scratch =
        folder.empty() ? std::filesystem::current_path().string() : folder.string();
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    options.tmpdir = scratch.data();
    options.use_zip64 = LXW_TRUE;
    lxw_workbook* book = workbook_new_opt(path.c_str(), &options);
    if (!book)
        return Failure(WorkbookError::CannotWrite, "cannot create the workbook file");

    lxw_worksheet* worksheet = workbook_add_worksheet(book, nullptr);
    lxw_format* text = workbook_add_format(book);
    bool fine = worksheet && text;
    if (fine)
        format_set_num_format_index(text, 49);  // the built-in text format "@"
    for (std::size_t c = 0; fine && c < sheet.columnCount; ++c) {
        const double width =
            c < sheet.columnWidths.size() ? sheet.columnWidths[c] : LXW_DEF_COL_WIDTH;
        const auto column = static_cast<lxw_col_t>(c);
        fine = worksheet_set_column(worksheet, column, column, width, text) == LXW_NO_ERROR;
    }
    const auto& rows = *sheet.rows;
    std::size_t next = 0;
    for (std::size_t r = 0; fine && r < rows.size(); ++r) {
        for (std::size_t c = 0; fine && c < rows[r].size(); ++c) {
            if (rows[r][c].empty())
                continue;
            fine = worksheet_write_string(worksheet, static_cast<lxw_row_t>(r),
                                          static_cast<lxw_col_t>(c), sheet.texts[next++]->c_str(),
                                          text) == LXW_NO_ERROR;
        }
    }
    // workbook_close frees the workbook whatever happens, so it runs on every path.
    const lxw_error closed = workbook_close(book);
    if (!fine)
        return Failure(WorkbookError::CannotWrite, "cannot add a cell to the workbook");
    if (closed != LXW_NO_ERROR)
        return Failure(WorkbookError::CannotWrite, lxw_strerror(closed));
    return {};
}

}  // namespace brindlecot::workbook_detail
