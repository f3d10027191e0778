#include "commands/record_export.h"
#include "base/catalogue/dialog_model_dlg_keys.h"

#include <optional>

#include "base/message_catalogue.h"
#include "base/scratch_file.h"
#include "base/staged_file.h"
#include "commands/batch_text.h"
#include "filecrypt/installed_key.h"
#include "filecrypt/installed_key_crypt.h"
#include "template/field_rules.h"
#include "workbook/workbook.h"
#include "workbook/workbook_conversion.h"

namespace brindlecot {
namespace {

enum class OutputFormat { Workbook, Text, None };

OutputFormat FormatOf(const Template& definition) {
    if (definition.outXls)
        return OutputFormat::Workbook;
    if (definition.outTxt)
        return OutputFormat::Text;
    return OutputFormat::None;
}

// Mode of the files the export delivers (less the umask); until then they are owner-only.
constexpr mode_t kOutputMode = 0666;

// A workbook export is BIFF8 whatever the chosen name, unless that name asks for .xlsx.
WorkbookFormat WorkbookFormatFor(const std::string& target) {
    return WorkbookFormatOf(target).value_or(WorkbookFormat::Xls);
}

bool WriteWorkbookFile(const std::string& path, WorkbookFormat format, const TextTable& table,
                       UserInterface& ui) {
    const WorkbookStatus status = WriteWorkbookAs(path, table, format);
    if (!status)
        ShowWorkbookWriteFailure(ui, status);
    return status.ok();
}

// Makes the batch text line of a record straight from the record table, padded as the
// template says, without holding a copy of every record.
class BatchLineMaker {
public:
    explicit BatchLineMaker(const Template& definition) : definition_(definition) {
        columns_.reserve(definition.fields.size());
        for (const FieldItem& field : definition.fields) {
            Column column{&field, field.visible && field.columnNumber >= 1,
                          ParsedTypeCode(field.type), field.value};
            // Padding once here also makes the type's filler block now, before lines are
            // made on several threads.
            if (definition.needFill)
                FillFieldValue(column.fixedText, column.type);
            columns_.push_back(std::move(column));
        }
    }

    void Append(const RecordTable& records, int row, std::string& line) const {
        const RecordTable::RowReader reader = records.ReadRow(row);
        for (std::size_t j = 0; j < columns_.size(); ++j) {
            if (j > 0)
                line.append(definition_.splitter);
            const Column& column = columns_[j];
            if (!column.inGrid) {
                line.append(column.fixedText);
                continue;
            }
            const std::string_view value = reader.Cell(column.field->columnNumber);
            if (!definition_.needFill) {
                line.append(value);
                continue;
            }
            AppendFilledValue(line, value, column.type);
        }
    }

private:
    struct Column {
        const FieldItem* field;
        bool inGrid;
        ParsedTypeCode type;
        std::string fixedText;  // an invisible field's value, padded once for every record
    };
    const Template& definition_;
    std::vector<Column> columns_;
};

bool WriteRecordsAsBatchText(const std::string& path, const Template& definition,
                             const RecordTable& records, CommandProgress& progress) {
    const BatchLineMaker maker(definition);
    const auto rows = static_cast<std::size_t>(records.RowCount());
    progress.Start(0);
    const auto makeLine = [&](std::size_t row, std::string& pending) {
        const std::size_t before = pending.size();
        maker.Append(records, static_cast<int>(row), pending);
        // Fixed-width lines are all as long as the first, so the whole size is known.
        if (row == 0 && definition.needFill)
            progress.expected.store((pending.size() - before + 2) * rows,
                                    std::memory_order_relaxed);
    };
    return WriteBatchLines(path, rows, makeLine, kOutputMode,
                           [&progress](std::size_t bytes) { progress.Add(bytes); });
}

// Writes the plain output into the staged file `into`, in the format `target` asks for.
bool WritePlainFile(OutputFormat format, const StagedFile& into, const std::string& target,
                    const Template& definition, const RecordTable& records, UserInterface& ui,
                    CommandProgress& progress) {
    if (format == OutputFormat::Workbook)
        return WriteWorkbookFile(into.Path(), WorkbookFormatFor(target),
                                 CollectWorkbookRecords(definition, records), ui);
    return WriteRecordsAsBatchText(into.Path(), definition, records, progress);
}

// The output written into a staged file beside `target` and put in its place when complete.
bool WriteStagedOutput(OutputFormat format, const std::string& target, const Template& definition,
                       const RecordTable& records, UserInterface& ui, CommandProgress& progress) {
    std::optional<StagedFile> staged = StagedFile::Create(target);
    if (!staged && format == OutputFormat::Workbook)
        ShowWorkbookWriteFailure(
            ui, {WorkbookError::CannotWrite, "cannot create a file beside the workbook", {}});
    return staged && WritePlainFile(format, *staged, target, definition, records, ui, progress) &&
           staged->ReplaceTarget(target, kOutputMode);
}

enum class SealStep { Done, WriteFailed, SealFailed };

// Writes the plain output into a staged file of its own, seals that into a second one
// beside `target` and puts the sealed file in the place of `target`. Each export has its
// own two files, so two exports to one output cannot take each other's.
SealStep WriteSealedOutput(OutputFormat format, const std::string& target,
                           const Template& definition, const RecordTable& records,
                           UserInterface& ui, CommandProgress& progress) {
    std::optional<StagedFile> plain = StagedFile::Create(target);
    if (!plain || !WritePlainFile(format, *plain, target, definition, records, ui, progress))
        return SealStep::WriteFailed;
    std::optional<StagedFile> sealed = StagedFile::Create(target);
    if (!sealed)
        return SealStep::WriteFailed;
    const std::int32_t result =
        CryptWithInstalledKey(kCryptModeSeal, plain->Path(), sealed->Path());
    if (result != 0)
        return IsCryptOutputFailure(result) ? SealStep::WriteFailed : SealStep::SealFailed;
    return sealed->ReplaceTarget(target, kOutputMode) ? SealStep::Done : SealStep::WriteFailed;
}

// The export gate: rows there, none of them broken.
bool PassesGate(TemplateEditor& editor) {
    const RecordTable& records = editor.Records();
    if (records.RowCount() == 0) {
        editor.Say(LoadMessage(catalogue::DialogModelDlg::kNoRowsToExport));
        return false;
    }
    // The table counts its error rows: most exports need not look at every row.
    const int broken = records.NextErrorRow(-1, true);
    if (broken < 0)
        return true;
    editor.Say(std::string(records.ErrorText(broken)));
    editor.FocusRecords();
    return false;
}

}  // namespace

std::string ExportFilter(const Template& definition) {
    switch (FormatOf(definition)) {
        case OutputFormat::Workbook:
            return kWorkbookFilter;
        case OutputFormat::Text:
            return LoadMessage(catalogue::DialogModelDlg::kTextFileFilter);
        case OutputFormat::None:
            break;
    }
    return {};
}

std::string ExportExtension(const Template& definition) {
    switch (FormatOf(definition)) {
        case OutputFormat::Workbook:
            return ".xls";
        case OutputFormat::Text:
            return ".txt";
        case OutputFormat::None:
            break;
    }
    return {};
}

std::string ExportTargetPath(const Template& definition, const std::string& chosen) {
    const std::string extension = ExportExtension(definition);
    if (chosen.find(extension) != std::string::npos)
        return chosen;
    return chosen + extension;
}

TextTable CollectWorkbookRecords(const Template& definition, const RecordTable& records) {
    const std::size_t fieldCount = definition.fields.size();
    TextTable table(static_cast<std::size_t>(records.RowCount()) + 1, TextRow(fieldCount));
    for (std::size_t column = 0; column < fieldCount; ++column) {
        const FieldItem& field = definition.fields[column];
        table[0][column] = field.name;
        // By column number, not by heading: two fields may share a name, and each must
        // still carry its own values.
        const bool inGrid = field.visible && field.columnNumber >= 1;
        for (int row = 0; row < records.RowCount(); ++row) {
            std::string& cell = table[static_cast<std::size_t>(row) + 1][column];
            if (inGrid)
                cell.assign(records.Cell(row, field.columnNumber));
            else
                cell = field.value;
        }
    }
    return table;
}

std::string BatchLineOf(const Template& definition, const RecordTable& records, int row) {
    std::string line;
    if (row >= 0 && row < records.RowCount())
        BatchLineMaker(definition).Append(records, row, line);
    return line;
}

std::optional<ExportTarget> ChooseExportTarget(TemplateEditor& editor, ExportOutcome& ended) {
    const Template& definition = editor.Definition();
    ended = ExportOutcome::Refused;
    if (definition.outNeedEncrypt && !LoadInstalledKey()) {
        editor.Say(LoadMessage(catalogue::DialogModelDlg::kNoKeyInstalled));
        return std::nullopt;
    }
    if (!PassesGate(editor))
        return std::nullopt;

    const std::optional<std::string> chosen =
        editor.Ui().ChooseFileToSave(ExportFilter(definition), FilePurpose::Export);
    if (!chosen || chosen->empty()) {
        ended = ExportOutcome::Cancelled;
        return std::nullopt;
    }
    const OutputFormat format = FormatOf(definition);
    ExportTarget target{ExportTargetPath(definition, *chosen)};
    // The output may not be the file the records came from: writing there would destroy it.
    const std::string& imported = editor.LastImportPath();
    if (!imported.empty() && IsSameFile(target.path, imported)) {
        editor.Say(LoadMessage(catalogue::DialogModelDlg::kExportOverImport));
        return std::nullopt;
    }
    if (IsOccupiedByNonRegularFile(target.path)) {
        editor.Say(LoadMessage(catalogue::DialogModelDlg::kOutputNotRegularFile));
        return std::nullopt;
    }
    if (format == OutputFormat::None) {
        // A template that names no output format has nothing to write; saying "done"
        // would report a file that does not exist, and the fault is the template's.
        editor.Say(LoadMessage(catalogue::DialogModelDlg::kOutMissing));
        ended = ExportOutcome::Failed;
        return std::nullopt;
    }
    return target;
}

ExportOutcome WriteExport(TemplateEditor& editor, const ExportTarget& target) {
    const Template& definition = editor.Definition();
    const OutputFormat format = FormatOf(definition);
    const RecordTable& records = editor.Records();
    UserInterface& ui = editor.Ui();
    CommandProgress& progress = editor.Progress();
    progress.Start(0);
    if (!definition.outNeedEncrypt) {
        // A failed write leaves whatever was at the target as it was: the output is
        // written beside it and renamed over it only when complete.
        if (!WriteStagedOutput(format, target.path, definition, records, ui, progress)) {
            editor.Say(LoadMessage(catalogue::DialogModelDlg::kExportWriteFailed));
            return ExportOutcome::Failed;
        }
    } else {
        switch (WriteSealedOutput(format, target.path, definition, records, ui, progress)) {
            case SealStep::Done:
                break;
            case SealStep::WriteFailed:
                editor.Say(LoadMessage(catalogue::DialogModelDlg::kExportWriteFailed));
                return ExportOutcome::Failed;
            case SealStep::SealFailed:
                editor.Say(LoadMessage(catalogue::DialogModelDlg::kExportSealFailed));
                return ExportOutcome::Failed;
        }
    }
    progress.Finish();
    editor.Say(LoadMessage(catalogue::DialogModelDlg::kExportDone));
    return ExportOutcome::Written;
}

ExportOutcome ExportRecords(TemplateEditor& editor) {
    ExportOutcome ended = ExportOutcome::Refused;
    const std::optional<ExportTarget> target = ChooseExportTarget(editor, ended);
    return target ? WriteExport(editor, *target) : ended;
}

}  // namespace brindlecot
