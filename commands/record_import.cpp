#include "commands/record_import.h"
#include "base/catalogue/dialog_model_dlg_keys.h"

#include <algorithm>
#include <limits>
#include <optional>

#include "base/file_content.h"
#include "base/message_catalogue.h"
#include "base/message_format.h"
#include "base/ordered_work.h"
#include "base/scratch_file.h"
#include "base/staged_file.h"
#include "base/startup.h"
#include "commands/line_cutting.h"
#include "commands/record_export.h"
#include "filecrypt/installed_key.h"
#include "filecrypt/installed_key_crypt.h"
#include "template/field_rules.h"
#include "workbook/workbook.h"
#include "workbook/workbook_conversion.h"

namespace brindlecot {
namespace {

// One field of a batch line: where its value lies and which record table column gets it.
struct LineSlot {
    const FieldItem* field = nullptr;
    int column = -1;  // record table column, -1 for an invisible field
    int width = 0;    // total length of the type code
    ParsedTypeCode type;
};

// A batch line carries every field of the template, invisible ones included (the export
// writes them all), so values are taken field by field in index order and the slots of
// invisible fields are stepped over rather than handed to the next column.
std::vector<LineSlot> PlanLine(const TemplateEditor& editor) {
    std::vector<LineSlot> slots;
    for (const FieldItem& field : editor.Definition().fields) {
        const bool inGrid = field.visible && editor.FieldOfColumn(field.columnNumber) == &field;
        slots.push_back({&field, inGrid ? field.columnNumber : -1, TotalLength(field.type),
                         ParsedTypeCode(field.type)});
    }
    return slots;
}

// Checks a value going into the record table: the first broken rule of a record becomes
// its error text. False for an unusable type code, the template's fault, which stops the
// caller; its message is then in `fault`.
bool StoreChecked(const FieldItem& field, const ParsedTypeCode& type, std::string& cell,
                  std::string& error, std::string& fault) {
    std::string message;
    const int result = TemplateEditor::CheckValue(field, type, cell, message);
    if (result == RuleBadType) {
        fault = std::move(message);
        return false;
    }
    if (result != RuleOk && error.empty())
        error = message;
    return true;
}

// The same, saying the fault at once.
bool StoreChecked(const TemplateEditor& editor, const FieldItem& field, const ParsedTypeCode& type,
                  std::string& cell, std::string& error) {
    std::string fault;
    if (StoreChecked(field, type, cell, error, fault))
        return true;
    editor.Say(fault);
    return false;
}

// Everything needed to cut the lines of one file, shared by the threads that cut them.
struct LinePlan {
    const Template& definition;
    std::vector<LineSlot> slots;
    std::string splitter;
    int typeLens;
    std::size_t fieldColumns;
    RecordTable::RowBatch noRows;  // made for the editor's table, copied for every block
};

enum class LineEnd { Read, Abandoned };

// Cuts one line into `cells` (record table columns 1.., so cell c-1 is column c) and
// `error`, checking values when the template has fixed widths. What must be said about
// an abandoned line goes to `said`.
LineEnd CutLine(const LinePlan& plan, std::string_view line, std::vector<std::string>& cells,
                std::string& error, std::vector<std::string>& said) {
    const Template& definition = plan.definition;
    const std::string& splitter = plan.splitter;
    std::vector<std::string_view> pieces;
    if (!splitter.empty())
        pieces = SplitAtSeparator(line, splitter[0], plan.slots.size());
    std::size_t offset = 0;
    for (std::size_t slot = 0; slot < plan.slots.size(); ++slot) {
        const LineSlot& field = plan.slots[slot];
        if (definition.needFill && field.column >= 1 && field.width < 1) {
            said.push_back(
                FormatMessage(LoadMessage(catalogue::DialogModelDlg::kFieldLengthBelowOne),
                              {std::string_view(field.field->name)}));
            return LineEnd::Abandoned;
        }
        std::string_view value;
        if (!splitter.empty()) {
            if (slot < pieces.size())
                value = pieces[slot];
        } else if (definition.needFill) {
            const std::size_t width = field.width > 0 ? static_cast<std::size_t>(field.width) : 0;
            if (offset < line.size())
                value = line.substr(offset, width);
            offset += width;
        }
        if (field.column < 1)
            continue;
        std::string& cell = cells[static_cast<std::size_t>(field.column - 1)];
        cell.assign(value);
        // Unchecked values too must not carry what would break the line they are written to.
        if (!definition.needFill && error.empty() && BreaksBatchLine(cell))
            error = RuleMessage(RuleControlCharacter, *field.field);
        std::string fault;
        if (definition.needFill && !StoreChecked(*field.field, field.type, cell, error, fault)) {
            said.push_back(std::move(fault));
            // The line is abandoned before this value is stored: it was never checked.
            cell.clear();
            return LineEnd::Abandoned;
        }
    }
    return LineEnd::Read;
}

// Why reading stopped before the end of the file.
enum class Stop { None, LoneCarriageReturn, LineLengthWrong };

// Whole lines of the file cut into rows: their rows, what was said about them in the order
// of the lines, and where and why reading had to stop. The lines come back with them, for
// the next block to be read into.
struct CutBlock {
    RecordTable::RowBatch rows;
    std::vector<std::string> said;
    int records = 0;          // rows made: every line but the empty ones
    long long lineCount = 0;  // lines looked at, empty ones and the one reading stopped at included
    bool complete = true;     // no line abandoned
    Stop stop = Stop::None;
    LineBlock lines;
};

// Why `line` (not empty) ends the import, if it does.
Stop StopBefore(const LinePlan& plan, std::string_view line) {
    // A CR left in a line is a line end of its own (old Mac files): read as one line, its
    // records would merge into one and lose fields, so reading stops here.
    if (line.find('\r') != std::string_view::npos)
        return Stop::LoneCarriageReturn;
    if (plan.definition.needFill) {
        const std::size_t separators =
            plan.splitter.empty() ? 0 : CountSeparators(line, plan.splitter[0]);
        if (line.size() - separators != static_cast<std::size_t>(plan.typeLens))
            return Stop::LineLengthWrong;
    }
    return Stop::None;
}

CutBlock CutLines(const LinePlan& plan, LineBlock lines) {
    CutBlock cut{plan.noRows, {}, 0, 0, true, Stop::None, {}};
    std::vector<std::string> cells(plan.fieldColumns);
    std::string error;
    ForEachLine(lines.Lines(), [&](std::string_view line) {
        ++cut.lineCount;
        if (line.empty())
            return true;
        cut.stop = StopBefore(plan, line);
        if (cut.stop != Stop::None)
            return false;
        for (std::string& cell : cells)
            cell.clear();
        error.clear();
        if (CutLine(plan, line, cells, error, cut.said) == LineEnd::Abandoned)
            cut.complete = false;
        cut.rows.Add(cells, error);
        ++cut.records;
        return true;
    });
    cut.lines = std::move(lines);
    return cut;
}

// Blocks of this many bytes keep every core busy without holding much of the file at
// once; a file smaller than a few blocks is cut on the reading thread.
constexpr std::size_t kBlockBytes = 256 * 1024;
constexpr std::size_t kCutOnWorkersFrom = 4 * kBlockBytes;

// Header cells of a workbook that name record table columns: the first ones, as many as
// there are field columns. A cell naming an invisible field (a workbook this program
// exported carries all fields) is stepped over instead of ending the import.
bool MapWorkbookHeader(const TemplateEditor& editor, const TextRow& header,
                       std::vector<std::pair<std::size_t, int>>& mapped) {
    const RecordTable& records = editor.Records();
    const std::size_t wanted = static_cast<std::size_t>(records.FieldColumnCount());
    for (std::size_t cell = 0; cell < header.size() && mapped.size() < wanted; ++cell) {
        const int column = FindColumnByHeading(editor.Definition(), records, header[cell]);
        if (column >= 1) {
            mapped.emplace_back(cell, column);
            continue;
        }
        const FieldItem* named = FindFieldByName(editor.Definition(), header[cell]);
        if (named != nullptr && !named->visible)
            continue;
        editor.Say(FormatMessage(LoadMessage(catalogue::DialogModelDlg::kHeadingMatchesNoField),
                                 {std::string_view(header[cell])}));
        return false;
    }
    return true;
}

void ShowUnreadable(const TemplateEditor& editor) {
    editor.Ui().ShowMessage(kApplicationName,
                            LoadMessage(catalogue::DialogModelDlg::kImportFileUnreadable));
}

}  // namespace

TextImportResult ImportTextFile(TemplateEditor& editor, const std::string& path, int typeLens,
                                const std::string& splitter) {
    TextImportResult result;
    const Template& definition = editor.Definition();
    if (definition.needFill && typeLens < 1) {
        editor.Say(LoadMessage(catalogue::DialogModelDlg::kFixedLengthWithoutTypeLens));
        return result;
    }
    RecordTable& records = editor.Records();
    RecordTable::BulkChange bulk(records);
    editor.ClearRowsForReplacement();
    std::optional<ReadableFile> file = ReadableFile::Open(path);
    if (!file) {
        ShowUnreadable(editor);
        return result;
    }
    // Lines of a fixed-width file all have the same length, so their number is known.
    if (definition.needFill)
        records.Reserve(static_cast<int>(
            std::min<std::size_t>(file->Size() / (static_cast<std::size_t>(typeLens) + 1),
                                  std::numeric_limits<int>::max())));
    CommandProgress& progress = editor.Progress();
    progress.Start(file->Size());
    const bool onWorkers = file->Size() >= kCutOnWorkersFrom;
    // The file is read a block at a time: only the records stay in memory.
    LineBlockReader reader(std::move(*file), kBlockBytes);
    result.read = true;

    const LinePlan plan{definition,
                        PlanLine(editor),
                        splitter,
                        typeLens,
                        static_cast<std::size_t>(records.FieldColumnCount()),
                        RecordTable::RowBatch(records)};
    const unsigned workers = onWorkers ? BulkWorkerThreads() : 0;
    OrderedWork<LineBlock, CutBlock> work(
        workers, 2 * static_cast<std::size_t>(workers) + 2,
        [&plan](LineBlock&& lines) { return CutLines(plan, std::move(lines)); });
    std::optional<std::string> stoppedBecause;
    long long linesBefore = 0;
    // Blocks go round instead of being made anew: fresh memory costs a page fault a page.
    std::vector<LineBlock> spareBlocks;
    auto take = [&](CutBlock& cut) {
        spareBlocks.push_back(std::move(cut.lines));
        // Lines after the one reading stopped at were cut ahead; they are not the file's.
        if (stoppedBecause)
            return;
        for (const std::string& message : cut.said)
            editor.Say(message);
        result.records += cut.records;
        result.complete = result.complete && cut.complete;
        records.AppendRows(std::move(cut.rows));
        linesBefore += cut.lineCount;
        if (cut.stop == Stop::LoneCarriageReturn) {
            stoppedBecause = FormatMessage(
                LoadMessage(catalogue::DialogModelDlg::kLoneCarriageReturn), {linesBefore});
        } else if (cut.stop == Stop::LineLengthWrong) {
            stoppedBecause = LoadMessage(catalogue::DialogModelDlg::kLineLengthWrong);
        }
    };
    while (!stoppedBecause) {
        LineBlock block;
        if (!spareBlocks.empty()) {
            block = std::move(spareBlocks.back());
            spareBlocks.pop_back();
        }
        if (!reader.Next(block))
            break;
        progress.Add(block.Lines().size());
        work.Give(std::move(block), take);
    }
    work.Finish(take);
    // Said after everything about the lines before it, as it was found after them.
    if (stoppedBecause) {
        editor.Say(*stoppedBecause);
        result.complete = false;
    }
    if (reader.Failed()) {
        records.ClearRows();
        ShowUnreadable(editor);
        result = TextImportResult{};
    }
    progress.Finish();
    return result;
}

bool FillFromWorkbook(TemplateEditor& editor, const TextTable& table) {
    RecordTable& records = editor.Records();
    RecordTable::BulkChange bulk(records);
    editor.ClearRowsForReplacement();
    const TextRow header = table.empty() ? TextRow{} : table.front();
    std::vector<std::pair<std::size_t, int>> mapped;
    if (!MapWorkbookHeader(editor, header, mapped))
        return false;

    const std::size_t recordCount = table.empty() ? 0 : table.size() - 1;
    const std::size_t columnCount = static_cast<std::size_t>(records.FieldColumnCount());
    std::vector<std::vector<std::string>> cells(recordCount, std::vector<std::string>(columnCount));
    std::vector<std::string> errors(recordCount);

    std::vector<bool> fromWorkbook(editor.Definition().fields.size(), false);
    for (const auto& [headerCell, column] : mapped) {
        const FieldItem* field = editor.FieldOfColumn(column);
        if (field == nullptr)
            return false;
        const ParsedTypeCode type(field->type);
        fromWorkbook[static_cast<std::size_t>(field - editor.Definition().fields.data())] = true;
        for (std::size_t record = 0; record < recordCount; ++record) {
            const TextRow& row = table[record + 1];
            std::string& cell = cells[record][static_cast<std::size_t>(column - 1)];
            cell = headerCell < row.size() ? row[headerCell] : std::string();
            if (!StoreChecked(editor, *field, type, cell, errors[record]))
                return false;
        }
    }

    Template& definition = editor.MutableDefinition();
    for (std::size_t position = 0; position < definition.fields.size(); ++position) {
        if (fromWorkbook[position])
            continue;
        FieldItem& field = definition.fields[position];
        if (editor.FieldOfColumn(field.columnNumber) == &field) {
            const ParsedTypeCode type(field.type);
            for (std::size_t record = 0; record < recordCount; ++record) {
                std::string& cell = cells[record][static_cast<std::size_t>(field.columnNumber - 1)];
                cell = field.value;
                if (!StoreChecked(editor, field, type, cell, errors[record]))
                    return false;
            }
            continue;
        }
        std::string ignored;
        if (TemplateEditor::CheckValue(field, field.value, ignored) != RuleOk) {
            editor.Say(
                FormatMessage(LoadMessage(catalogue::DialogModelDlg::kInvisibleDefaultFails),
                              {std::string_view(field.name), std::string_view(field.value)}));
            return false;
        }
    }

    records.Reserve(static_cast<int>(recordCount));
    for (std::size_t record = 0; record < recordCount; ++record)
        records.AppendRow(cells[record], errors[record]);
    return true;
}

bool ImportChecksValues(const Template& definition) {
    return definition.inXls || (definition.inTxt && definition.needFill);
}

std::optional<std::string> ChooseImportFile(TemplateEditor& editor, ImportOutcome& ended) {
    const Template& definition = editor.Definition();
    // Every user of the key reloads it first, so a keyConf replaced meanwhile counts.
    LoadInstalledKey();
    if (definition.inNeedDescrypt && CurrentInstalledKey().Empty()) {
        editor.Say(LoadMessage(catalogue::DialogModelDlg::kNoKeyInstalled));
        ended = ImportOutcome::Refused;
        return std::nullopt;
    }
    std::string filter;
    if (definition.inXls) {
        filter = kWorkbookFilter;
    } else if (definition.inTxt) {
        filter = LoadMessage(catalogue::DialogModelDlg::kTextFileFilter);
    }
    std::optional<std::string> chosen = editor.Ui().ChooseFileToOpen(filter, FilePurpose::Import);
    if (!chosen || chosen->empty()) {
        ended = ImportOutcome::Cancelled;
        return std::nullopt;
    }
    return chosen;
}

ImportOutcome ImportRecordsFrom(TemplateEditor& editor, const std::string& chosen) {
    const Template& definition = editor.Definition();
    editor.Progress().Start(0);
    // The decrypted records are staged beside the chosen file, readable by its owner only.
    std::optional<StagedFile> opened =
        definition.inNeedDescrypt ? StagedFile::Create(chosen) : std::optional<StagedFile>();
    std::string readPath = chosen;
    if (definition.inNeedDescrypt) {
        const std::int32_t result =
            opened ? CryptWithInstalledKey(kCryptModeOpen, chosen, opened->Path()) : 0;
        if (!opened || result != 0) {
            // A file that could not be written says nothing about the key or the file.
            editor.Say(LoadMessage(!opened || IsCryptOutputFailure(result)
                                       ? catalogue::DialogModelDlg::kExportWriteFailed
                                       : catalogue::DialogModelDlg::kImportDecryptFailed));
            return ImportOutcome::Failed;
        }
        readPath = opened->Path();
    }

    ImportOutcome outcome = ImportOutcome::Imported;
    if (definition.inXls) {
        TextTable table;
        const WorkbookStatus status = ReadWorkbook(readPath, table);
        if (!status) {
            ShowWorkbookReadFailure(editor.Ui(), status);
            editor.Say(LoadMessage(catalogue::DialogModelDlg::kWorkbookReadFailed));
            return ImportOutcome::Failed;
        }
        if (!FillFromWorkbook(editor, table)) {
            editor.ClearRowsForReplacement();
            outcome = ImportOutcome::Failed;
        }
    } else if (definition.inTxt) {
        const std::string splitter =
            definition.hasSplitter ? definition.splitter.substr(0, 1) : std::string();
        const TextImportResult read =
            ImportTextFile(editor, readPath, definition.typeLens, splitter);
        if (!read.read) {
            editor.ClearRowsForReplacement();
            return ImportOutcome::Failed;
        }
        if (!read.complete)
            outcome = ImportOutcome::Incomplete;
    }
    // The file the person chose, not the scratch copy it was opened into: only then does
    // the export refuse to write over the file just imported when it was sealed.
    editor.SetLastImportPath(chosen);
    opened.reset();
    editor.RefreshStatistics();
    editor.RenumberRows();
    return outcome;
}

ImportOutcome ImportRecords(TemplateEditor& editor) {
    ImportOutcome ended = ImportOutcome::Cancelled;
    const std::optional<std::string> chosen = ChooseImportFile(editor, ended);
    return chosen ? ImportRecordsFrom(editor, *chosen) : ended;
}

}  // namespace brindlecot
