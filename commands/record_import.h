#pragma once

#include <optional>
#include <string>

#include "base/text_table.h"
#include "commands/template_editor.h"

namespace brindlecot {

enum class ImportOutcome {
    Imported,    // every record of the file is in the record table (rows may carry rule messages)
    Incomplete,  // reading stopped at a bad line or lines were abandoned; the rows read stay
    Failed,      // nothing was imported; its message was shown
    Refused,     // no installed key for a sealed input; no dialog was shown
    Cancelled,   // the person closed the file dialog
};

struct TextImportResult {
    bool read = false;     // the file was opened and read (also when reading stopped early)
    int records = 0;       // records read (lines abandoned halfway included)
    bool complete = true;  // no line was refused or abandoned
};

// Replaces the records with the lines of a batch text file, cut as the template says:
// at `splitter` (the first byte of the template's splitter, or nothing) or into the
// fields' fixed widths, values checked by their fields when the template sets needFill.
// Empty lines are skipped; CR LF and LF both end a line.
TextImportResult ImportTextFile(TemplateEditor& editor, const std::string& path, int typeLens,
                                const std::string& splitter);

// Replaces the records with the rows of a workbook whose first row names the fields.
// Values go by heading, not position; a visible field without a column gets its
// template value. False on the first fatal problem (its message shown).
bool FillFromWorkbook(TemplateEditor& editor, const TextTable& table);

// Whether an import with this template checks every value it stores: a workbook's always,
// a text file's only when the template fixes widths (needFill). Checked values have been
// rewritten by their check (an amount given its decimals, blanks trimmed) and must not be
// checked again: the rewritten value may no longer pass ("12345" in a 5"M" field becomes
// "12345.00").
bool ImportChecksValues(const Template& definition);

// The import command in two halves, for a window that runs the long second half on a
// worker thread. The first asks: the installed key for sealed input and the file choice;
// nothing when the command ends there (`ended` says why). The second does the rest with
// no window of its own, speaking only through the editor's UserInterface.
std::optional<std::string> ChooseImportFile(TemplateEditor& editor, ImportOutcome& ended);
ImportOutcome ImportRecordsFrom(TemplateEditor& editor, const std::string& chosen);

// The import command ("文件导入"): the installed key for sealed input, the file choice,
// opening the file with the key where the template asks (into a scratch file that never
// outlives the command), then the workbook or text import, the last import path (the
// file the person chose) and the statistics.
ImportOutcome ImportRecords(TemplateEditor& editor);

}  // namespace brindlecot
