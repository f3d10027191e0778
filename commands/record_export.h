#pragma once

#include <optional>
#include <string>

#include "base/text_table.h"
#include "commands/template_editor.h"
#include "template/record_table.h"
#include "template/template_definition.h"

namespace brindlecot {

enum class ExportOutcome {
    Written,    // the chosen file holds the complete output; msg43 was shown
    Cancelled,  // the person closed the file dialog
    Refused,    // no key, no rows, an error row, the file just imported, or something other
                // than a regular file at the target; nothing written
    Failed,     // writing or sealing failed; its message was shown and the target is as it was
};

// The filter of the save dialog and the extension the export adds to a chosen name.
inline constexpr char kWorkbookFilter[] = "Excel Files(*.xls)|*.xls||";
std::string ExportFilter(const Template& definition);
// ".xls" for workbook output, ".txt" for text output, empty when the template names
// neither format.
std::string ExportExtension(const Template& definition);
// The chosen name with the extension appended unless the extension occurs anywhere in
// it ("out" -> "out.txt", "a.txt.bak" stays).
std::string ExportTargetPath(const Template& definition, const std::string& chosen);

// What a workbook export writes: a header row of all field names, then one row per
// record, one column per field of the template in index order, invisible fields included
// with their template value. Workbook values are never padded.
TextTable CollectWorkbookRecords(const Template& definition, const RecordTable& records);

// The line the batch text export writes for record `row`, without its CR LF (padded as
// the template says; nothing for a row out of range). For a preview of the output.
std::string BatchLineOf(const Template& definition, const RecordTable& records, int row);

// Where an export writes: the file (the chosen name with its extension) and the scratch
// file that holds the plain output before sealing.
struct ExportTarget {
    std::string path;
    std::string scratchPath;
};

// The export command in two halves, for a window that runs the long second half on a
// worker thread. The first asks and refuses: the installed key, the gate (no rows, an
// error row), the file choice and the checks of the chosen path; nothing when the
// command ends there (`ended` says why). The second writes (and seals) with no window of
// its own, speaking only through the editor's UserInterface; it only reads the records.
std::optional<ExportTarget> ChooseExportTarget(TemplateEditor& editor, ExportOutcome& ended);
ExportOutcome WriteExport(TemplateEditor& editor, const ExportTarget& target);

// The export command ("文件导出"): gate, file choice, extension rule, refusal to write
// over the file just imported, the batch text or workbook, sealing with the installed
// key where the template asks. The chosen file is written under another name and moved
// into place only when complete, so no half-written output is ever at the chosen path;
// after a failure a file that was there is left exactly as it was, and no scratch file
// survives. A device, FIFO or folder at the chosen path is never replaced.
ExportOutcome ExportRecords(TemplateEditor& editor);

}  // namespace brindlecot
