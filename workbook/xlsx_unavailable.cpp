#include "workbook/workbook_internal.h"

// Builds without the Office Open XML libraries (the Windows build: Debian ships no mingw
// builds of minizip, expat or zlib) refuse .xlsx and say what to use instead.
namespace brindlecot::workbook_detail {
namespace {

constexpr const char* kNoXlsx =
    "this build of the program cannot read or write .xlsx workbooks; save the workbook "
    "as .xls (Excel 97-2003) instead";

}  // namespace

SheetReadResult ReadXlsxSheet(const std::string&) {
    SheetReadResult result;
    result.status = Failure(WorkbookError::UnsupportedType, kNoXlsx);
    return result;
}

WorkbookStatus WriteXlsxFile(const std::string&, const SheetToWrite&) {
    return Failure(WorkbookError::UnsupportedType, kNoXlsx);
}

}  // namespace brindlecot::workbook_detail
