#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "commands/template_editor.h"

namespace brindlecot {

// Rows copied from a spreadsheet, as Calc and Excel put them on the clipboard: lines of
// tab-separated cells, CR LF or LF between lines. A cell that holds a tab, a line break
// or a quote comes quoted, its quotes doubled. The line end after the last row gives no
// empty row. Texts stay as given (UTF-8 from the clipboard).
std::vector<std::vector<std::string>> SplitClipboardRows(std::string_view text);

// A pasted value that did not go in: where it was meant to go and why.
struct RefusedPaste {
    int row = 0;
    int column = 0;
    std::string message;  // GBK, the rule's message as a typed edit would show it
};

struct PasteResult {
    int storedValues = 0;
    int addedRows = 0;
    std::vector<RefusedPaste> refused;
    int beyondLastColumn = 0;  // values right of the last field column
};

// Pastes `utf8` (SplitClipboardRows) into the record table with its first cell at `row`,
// `column`, adding rows at the end as needed. Every value is checked exactly as a typed
// edit is and stored (rewritten by its check) only when it passes; each row is then
// checked again as a whole. One message lists what was not stored, if anything.
PasteResult PasteRows(TemplateEditor& editor, int row, int column, std::string_view utf8);

}  // namespace brindlecot
