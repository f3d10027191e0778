// BIFF8 input through FreeXL. FreeXL does not say which sheet was active when the workbook
// was saved, so the workbook globals are scanned for that ourselves.

#include <freexl.h>

#include <fstream>
#include <iterator>
#include <memory>

#include "template/workbook/workbook_internal.h"

namespace brindlecot::workbook_detail {
namespace {

struct FreeXlCloser {
    void operator()(const void* handle) const { freexl_close(handle); }
};

// Index, among the worksheets, of the sheet that the workbook view selects; 0 when the
// globals cannot tell.
unsigned ActiveWorksheet(const std::vector<std::uint8_t>& file) {
    auto stream = ReadCompoundFileStream(file, u"Workbook");
    if (!stream) stream = ReadCompoundFileStream(file, u"Book");
    if (!stream) return 0;
    const ByteReader in(stream->data(), stream->size());
    std::vector<bool> isWorksheet;  // one per sheet of the workbook, in tab order
    std::size_t activeTab = 0;
    std::size_t offset = 0;
    while (in.Has(offset, 4)) {
        const std::uint16_t type = in.U16(offset);
        const std::uint16_t length = in.U16(offset + 2);
        const std::size_t data = offset + 4;
        if (!in.Has(data, length)) break;
        if (type == 0x0085 && length >= 6) isWorksheet.push_back((*stream)[data + 5] == 0);
        if (type == 0x003D && length >= 12) activeTab = in.U16(data + 10);
        if (type == 0x000A) break;
        offset = data + length;
    }
    if (activeTab >= isWorksheet.size() || !isWorksheet[activeTab]) return 0;
    unsigned index = 0;
    for (std::size_t i = 0; i < activeTab; ++i) index += isWorksheet[i] ? 1 : 0;
    return index;
}

}  // namespace

SheetReadResult ReadXlsSheet(const std::string& path) {
    SheetReadResult result;
    std::ifstream input(path, std::ios::binary);
    const std::vector<std::uint8_t> file((std::istreambuf_iterator<char>(input)), std::istreambuf_iterator<char>());

    const void* raw = nullptr;
    const int opened = freexl_open(path.c_str(), &raw);
    std::unique_ptr<const void, FreeXlCloser> handle(raw);
    if (opened != FREEXL_OK || !raw) {
        result.status = Failure(WorkbookError::Malformed,
                                "the workbook cannot be decoded (FreeXL error " + std::to_string(opened) + ")");
        return result;
    }
    unsigned sheets = 0;
    if (freexl_get_info(raw, FREEXL_BIFF_SHEET_COUNT, &sheets) != FREEXL_OK || sheets == 0) {
        result.status = Failure(WorkbookError::Malformed, "the workbook has no worksheet");
        return result;
    }
    unsigned password = 0;
    if (freexl_get_info(raw, FREEXL_BIFF_PASSWORD, &password) == FREEXL_OK && password == FREEXL_BIFF_OBFUSCATED) {
        result.status = Failure(WorkbookError::Malformed, "the workbook is password protected");
        return result;
    }
    unsigned active = ActiveWorksheet(file);
    if (active >= sheets) active = 0;
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
                result.status = Failure(WorkbookError::Malformed, "a cell cannot be read", CellReference(r, c));
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
                    if (value.value.text_value) shown = value.value.text_value;
                    break;
                default:
                    break;
            }
            if (!shown.empty()) result.cells.push_back(SheetCell{r, c, std::move(shown)});
        }
    }
    return result;
}

}  // namespace brindlecot::workbook_detail
