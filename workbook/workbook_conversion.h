#pragma once

#include <string>

#include "base/text_table.h"
#include "base/user_interface.h"
#include "workbook/workbook.h"

namespace brindlecot {

// Caption of the application-captioned message boxes of the workbook conversions.
inline constexpr char kWorkbookMessageCaption[] = "Brindlecot";

// Writes `table` as delimited text: the cells of each row with exactly one `separator`
// byte between neighbouring cells (none when `separator` is '\0'), CR LF after each row.
// Ragged rows are written as they are. False when the file cannot be created or written.
bool WriteDelimitedText(const std::string& path, const TextTable& table, char separator);

// Reads the workbook at `workbookPath` and writes every non-empty row of its used range,
// the first included, as delimited text at `textPath`. On failure the text file is
// removed, "stdafx" msg9 (reading) or msg10 (writing) is shown application-captioned
// (a reading failure with its detail line below), and the answer is false.
bool ConvertWorkbookToText(UserInterface& ui, const std::string& workbookPath,
                           const std::string& textPath, char separator);

// The reverse, for decrypted text: every non-empty line (CR LF or LF ends) becomes one row,
// cut into cells at every `separator` byte that is not the second byte of a two-byte GBK
// character ('\0': the whole line is one cell; a trailing separator gives an empty last
// cell); empty lines leave no empty rows. The rows are
// written with WriteWorkbook (format from the workbook path's extension). False when the
// text file cannot be read (no message) or the workbook cannot be written ("DialogSingle-
// FileCrypt" msg8, application-captioned, with the detail line below).
bool ConvertTextToWorkbook(UserInterface& ui, const std::string& textPath,
                           const std::string& workbookPath, char separator);

// Cuts delimited text into rows as ConvertTextToWorkbook does (exposed for import and tests).
TextTable SplitDelimitedText(const std::string& text, char separator);

// Application-captioned boxes for callers that read or write a workbook themselves:
// "stdafx" msg11 (reading) or msg12 (writing) with the failure's detail line below.
void ShowWorkbookReadFailure(UserInterface& ui, const WorkbookStatus& status);
void ShowWorkbookWriteFailure(UserInterface& ui, const WorkbookStatus& status);

}  // namespace brindlecot
