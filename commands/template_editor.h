#pragma once

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "base/user_interface.h"
#include "commands/command_progress.h"
#include "template/column_statistics.h"
#include "template/field_rules.h"
#include "template/record_table.h"
#include "template/template_definition.h"

namespace brindlecot {

// Catalogue section of the template editor and of everything it runs.
inline constexpr char kEditorSection[] = "DialogModelDlg";

// What became of a committed cell edit; the values are the answers the grid's owner
// gives (nobody reads them, but they name the three ends of the handler).
enum class CellEditResult {
    Stored = 0,           // the value passed and its row has no broken rule
    Rejected = -2,        // the value broke its rule; the cell keeps its old text
    RowStillBroken = -3,  // the value was stored; another cell of the row breaks a rule
};

// The state of one template editor without its window: the template, the caption, the
// record table (the only copy of the records), the last import path and the statistics
// text. The dialog turns events into these calls and shows the results; import and
// export (record_import.h, record_export.h) work on it as well.
class TemplateEditor {
public:
    explicit TemplateEditor(UserInterface& ui) : ui_(&ui) {}

    TemplateEditor(const TemplateEditor&) = delete;
    TemplateEditor& operator=(const TemplateEditor&) = delete;

    // Loads the definition at `templatePath` under the display name `caption` (GBK) and
    // gives the record table its columns. False after the loader has shown its message;
    // the fields are cleared then.
    bool Open(const std::string& templatePath, const std::string& caption);
    // Empties the record table and forgets the template.
    void Close();

    UserInterface& Ui() const { return *ui_; }

    // While it lives, the editor speaks through `ui` instead of its own: a command run on
    // a worker thread borrows one that carries every message and question over to the
    // thread that owns the windows.
    class UiLoan {
    public:
        UiLoan(TemplateEditor& editor, UserInterface& ui) : editor_(editor), own_(editor.ui_) {
            editor.ui_ = &ui;
        }
        ~UiLoan() { editor_.ui_ = own_; }
        UiLoan(const UiLoan&) = delete;
        UiLoan& operator=(const UiLoan&) = delete;

    private:
        TemplateEditor& editor_;
        UserInterface* own_;
    };

    // How far the running import or export has come; readable from any thread.
    CommandProgress& Progress() { return progress_; }
    const std::string& Caption() const { return caption_; }
    const Template& Definition() const { return template_; }
    // A workbook import validates the template values of invisible fields in place.
    Template& MutableDefinition() { return template_; }
    RecordTable& Records() { return records_; }
    const RecordTable& Records() const { return records_; }
    int ErrorColumn() const { return records_.ErrorColumn(); }
    // The visible field shown in record table column `column`, or nullptr.
    const FieldItem* FieldOfColumn(int column) const;

    const std::string& LastImportPath() const { return lastImportPath_; }
    void SetLastImportPath(std::string path) { lastImportPath_ = std::move(path); }

    const std::string& StatisticsText() const { return statisticsText_; }
    // Rebuilds the statistics text from the rows without a broken rule.
    void RefreshStatistics();

    // Shows a message box captioned with the template's name.
    void Say(const std::string& text) const { ui_->ShowMessage(caption_, text); }

    // The dialog's way to be asked to focus its grid (after the export gate's message).
    void SetFocusRecordsRequest(std::function<void()> request) {
        focusRecords_ = std::move(request);
    }
    void FocusRecords() const;

    // --- record operations ------------------------------------------------------
    // Appends an empty row; a required field or a type that refuses the empty value
    // marks it at once. Ends with the statistics and the row numbers.
    void AddDefaultRow();
    // Asks msg33 and deletes the rows selected in the record table on Yes. True when
    // rows were deleted; they are handed to `deleted` when given.
    bool DeleteSelectedRows(RecordTable::KeptRows* deleted = nullptr);

    // Empties the record table for rows that replace them all (an import). The rows it
    // held before the first such call are kept until TakeReplacedRows, so that the
    // replacement can be taken back; later calls only empty the table.
    void ClearRowsForReplacement();
    // The rows kept, or nothing when no replacement happened since the last call.
    std::optional<RecordTable::KeptRows> TakeReplacedRows() {
        return std::exchange(replacedRows_, std::nullopt);
    }
    // Row numbers and row colours follow the rows; this tells the view so.
    void RenumberRows();
    // Whether the grid may open an editor on this cell: never on the row number or error
    // column.
    bool OnCellEditStart(int row, int column) const;
    // The grid hands over an edited text: it is checked against its field, stored when it
    // passes, and the whole row is checked again.
    CellEditResult OnCellEditCommit(int row, int column, const std::string& text);

    // Checks every field cell of `row` again, as they stand: the first broken rule's
    // message replaces the error column, or the error column is emptied. True when the
    // row is clean.
    bool RecheckRow(int row);

    // Checks `value` (which may be rewritten) against `field`; answers the rule result
    // and puts the message, empty for RuleOk, into `message`.
    static int CheckValue(const FieldItem& field, std::string& value, std::string& message);
    // The same with the field's type code taken apart beforehand, for many values.
    static int CheckValue(const FieldItem& field, const ParsedTypeCode& type, std::string& value,
                          std::string& message);
    // Writes `message` into the row's error column unless the row has one already.
    void MarkRowError(int row, const std::string& message);

private:
    void IndexColumns();

    UserInterface* ui_;  // never null
    std::string caption_;
    Template template_;
    RecordTable records_;
    std::vector<int>
        fieldOfColumn_;  // record table column -> position in template_.fields, -1 for none
    std::string lastImportPath_;
    std::optional<RecordTable::KeptRows> replacedRows_;
    std::string statisticsText_;
    StatisticsCache statisticsCache_;  // an edit rereads only the rows that changed
    std::function<void()> focusRecords_;
    CommandProgress progress_;
};

}  // namespace brindlecot
