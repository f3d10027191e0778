#include "commands/template_editor.h"
#include "base/catalogue/dialog_model_dlg_keys.h"

#include <algorithm>

#include "base/message_catalogue.h"
#include "template/column_statistics.h"
#include "template/field_rules.h"

namespace brindlecot {

bool TemplateEditor::Open(const std::string& templatePath, const std::string& caption) {
    caption_ = caption;
    template_ = Template{};
    template_.name = caption;
    lastImportPath_.clear();
    statisticsText_.clear();
    statisticsCache_.Clear();
    if (!LoadTemplate(template_, templatePath, *ui_)) {
        ClearFields(template_);
        IndexColumns();
        return false;
    }
    BuildRecordColumns(template_, records_);
    IndexColumns();
    return true;
}

void TemplateEditor::Close() {
    records_.ClearRows();
    replacedRows_.reset();
    records_.SetColumns({});
    ClearFields(template_);
    fieldOfColumn_.clear();
    statisticsCache_.Clear();
}

void TemplateEditor::IndexColumns() {
    fieldOfColumn_.assign(static_cast<std::size_t>(std::max(records_.ColumnCount(), 0)), -1);
    for (std::size_t position = 0; position < template_.fields.size(); ++position) {
        const int column = template_.fields[position].columnNumber;
        if (column >= 1 && column < records_.ErrorColumn() &&
            fieldOfColumn_[static_cast<std::size_t>(column)] < 0) {
            fieldOfColumn_[static_cast<std::size_t>(column)] = static_cast<int>(position);
        }
    }
}

const FieldItem* TemplateEditor::FieldOfColumn(int column) const {
    if (column < 0 || static_cast<std::size_t>(column) >= fieldOfColumn_.size())
        return nullptr;
    const int position = fieldOfColumn_[static_cast<std::size_t>(column)];
    return position < 0 ? nullptr : &template_.fields[static_cast<std::size_t>(position)];
}

void TemplateEditor::RefreshStatistics() {
    statisticsText_ = ComputeStatistics(template_, records_, statisticsCache_);
}

void TemplateEditor::FocusRecords() const {
    if (focusRecords_)
        focusRecords_();
}

int TemplateEditor::CheckValue(const FieldItem& field, std::string& value, std::string& message) {
    return CheckValue(field, ParsedTypeCode(field.type), value, message);
}

int TemplateEditor::CheckValue(const FieldItem& field, const ParsedTypeCode& type,
                               std::string& value, std::string& message) {
    const int result = ValidateFieldValue(value, type, field.isRequisite);
    if (result == RuleOk) {
        message.clear();
    } else {
        message = RuleMessage(result, field);
    }
    return result;
}

void TemplateEditor::MarkRowError(int row, const std::string& message) {
    if (records_.ErrorText(row).empty())
        records_.SetErrorText(row, message);
}

bool TemplateEditor::RecheckRow(int row) {
    std::string value;
    std::string message;
    for (int column = 1; column < records_.ErrorColumn(); ++column) {
        const FieldItem* field = FieldOfColumn(column);
        if (field == nullptr)
            continue;
        value.assign(records_.Cell(row, column));
        if (CheckValue(*field, value, message) != RuleOk) {
            records_.SetErrorText(row, message);
            return false;
        }
    }
    records_.SetErrorText(row, "");
    return true;
}

void TemplateEditor::AddDefaultRow() {
    const int row = records_.AppendRow();
    std::string value;
    std::string message;
    for (int column = 1; column < records_.ErrorColumn(); ++column) {
        const FieldItem* field = FieldOfColumn(column);
        if (field == nullptr)
            continue;
        value.clear();
        const int result = CheckValue(*field, value, message);
        if (result == RuleBadType) {
            // An unusable type code is the template's fault; the row stays as far as it got.
            Say(message);
            return;
        }
        if (result != RuleOk)
            MarkRowError(row, message);
        records_.SetCell(row, column, "");
    }
    RefreshStatistics();
    RenumberRows();
}

bool TemplateEditor::DeleteSelectedRows(RecordTable::KeptRows* deleted) {
    const std::vector<int> selected = records_.SelectedRows();
    if (selected.empty())
        return false;
    if (!ui_->AskYesNo(caption_, LoadMessage(catalogue::DialogModelDlg::kConfirmDeleteRows)))
        return false;
    RecordTable::KeptRows taken = records_.TakeRows(selected);
    if (deleted != nullptr)
        *deleted = std::move(taken);
    RefreshStatistics();
    RenumberRows();
    return true;
}

void TemplateEditor::ClearRowsForReplacement() {
    if (replacedRows_)
        records_.ClearRows();
    else
        replacedRows_ = records_.TakeAllRows();
}

void TemplateEditor::RenumberRows() {
    records_.RenumberRows();
}

bool TemplateEditor::OnCellEditStart(int row, int column) const {
    if (row < 0 || row >= records_.RowCount())
        return false;
    return column > 0 && column < records_.ErrorColumn();
}

CellEditResult TemplateEditor::OnCellEditCommit(int row, int column, const std::string& text) {
    // The grid posts its notification; the row may have gone in the meantime.
    if (row < 0 || row >= records_.RowCount())
        return CellEditResult::Rejected;
    std::string message;
    if (const FieldItem* field = FieldOfColumn(column)) {
        std::string value = text;
        if (CheckValue(*field, value, message) != RuleOk) {
            Say(message);
            return CellEditResult::Rejected;
        }
        records_.SetCell(row, column, value);
    }

    if (!RecheckRow(row)) {
        // The stored value changed, and a row that was never checked (a text import
        // without fixed widths) may only now turn out broken and leave the totals.
        RefreshStatistics();
        return CellEditResult::RowStillBroken;
    }
    RefreshStatistics();
    return CellEditResult::Stored;
}

}  // namespace brindlecot
