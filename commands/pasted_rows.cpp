#include "commands/pasted_rows.h"

#include <algorithm>
#include <cstdio>
#include <optional>

#include "base/catalogue/dialog_model_dlg_keys.h"
#include "base/gbk_text.h"
#include "base/message_catalogue.h"
#include "base/message_format.h"

namespace brindlecot {
namespace {

namespace keys = catalogue::DialogModelDlg;

// The message lists this many refused values; more would not fit a message box.
constexpr std::size_t kListedRefusals = 10;

// A quoted cell ends at a quote followed by a tab, a line end or the end of the text;
// `at` points after its opening quote. Nothing when the quotes do not close properly
// (the cell is then taken as it stands, quote and all).
std::optional<std::string> ReadQuotedCell(std::string_view text, std::size_t& at) {
    std::string cell;
    for (std::size_t i = at; i < text.size(); ++i) {
        if (text[i] != '"') {
            cell += text[i];
            continue;
        }
        if (i + 1 < text.size() && text[i + 1] == '"') {
            cell += '"';
            ++i;
            continue;
        }
        const std::size_t after = i + 1;
        if (after == text.size() || text[after] == '\t' || text[after] == '\n' ||
            text[after] == '\r') {
            at = after;
            return cell;
        }
        return std::nullopt;
    }
    return std::nullopt;
}

// The characters of `utf8` that GBK cannot hold, each once, named by their code points
// ("U+1F600"): a GBK message cannot show them as they are.
std::string UnencodableCharacters(std::string_view utf8) {
    std::string found;
    std::size_t i = 0;
    while (i < utf8.size()) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        std::size_t length = 1;
        char32_t code = lead;
        if (lead >= 0xF0) {
            length = 4;
            code = lead & 0x07u;
        } else if (lead >= 0xE0) {
            length = 3;
            code = lead & 0x0Fu;
        } else if (lead >= 0xC0) {
            length = 2;
            code = lead & 0x1Fu;
        }
        length = std::min(length, utf8.size() - i);
        for (std::size_t k = 1; k < length; ++k)
            code = (code << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3Fu);
        if (!Utf8ToGbk(utf8.substr(i, length))) {
            char name[16];
            std::snprintf(name, sizeof(name), "U+%04X", static_cast<unsigned>(code));
            if (found.find(name) == std::string::npos)
                found += found.empty() ? std::string(name) : " " + std::string(name);
        }
        i += length;
    }
    return found;
}

bool HoldsLineBreakOrTab(std::string_view value) {
    return value.find_first_of("\t\r\n") != std::string_view::npos;
}

// Checks one value as a typed edit would and stores it when it passes; else the reason.
std::optional<std::string> StorePasted(TemplateEditor& editor, int row, int column,
                                       const FieldItem& field, std::string_view utf8) {
    std::optional<std::string> value = Utf8ToGbk(utf8);
    if (!value) {
        const std::string characters = UnencodableCharacters(utf8);
        return FormatMessage(LoadMessage(keys::kUnencodableCharacters),
                             {std::string_view(characters)});
    }
    if (HoldsLineBreakOrTab(*value))
        return LoadMessage(keys::kPastedValueBreaksLine);
    std::string message;
    if (TemplateEditor::CheckValue(field, *value, message) != RuleOk)
        return message;
    editor.Records().SetCell(row, column, *value);
    return std::nullopt;
}

std::string ReportText(const TemplateEditor& editor, const PasteResult& result) {
    const RecordTable& records = editor.Records();
    const long long notStored =
        static_cast<long long>(result.refused.size()) + result.beyondLastColumn;
    std::string text = FormatMessage(LoadMessage(keys::kPasteNotStored), {notStored});
    const std::size_t listed = std::min(result.refused.size(), kListedRefusals);
    for (std::size_t i = 0; i < listed; ++i) {
        const RefusedPaste& refused = result.refused[i];
        text += "\r\n";
        text += FormatMessage(LoadMessage(keys::kPasteRefusedValue),
                              {static_cast<long long>(refused.row + 1),
                               records.Heading(refused.column), std::string_view(refused.message)});
    }
    if (result.refused.size() > listed) {
        text += "\r\n";
        text += FormatMessage(LoadMessage(keys::kPasteMoreRefused),
                              {static_cast<long long>(result.refused.size() - listed)});
    }
    if (result.beyondLastColumn > 0) {
        text += "\r\n";
        text += FormatMessage(LoadMessage(keys::kPasteBeyondLastColumn),
                              {static_cast<long long>(result.beyondLastColumn)});
    }
    return text;
}

}  // namespace

std::vector<std::vector<std::string>> SplitClipboardRows(std::string_view text) {
    std::vector<std::vector<std::string>> rows;
    std::vector<std::string> row;
    std::string cell;
    std::size_t at = 0;
    bool cellStart = true;
    const auto endRow = [&] {
        row.push_back(std::move(cell));
        cell.clear();
        rows.push_back(std::move(row));
        row.clear();
        cellStart = true;
    };
    while (at < text.size()) {
        const char c = text[at];
        if (cellStart && c == '"') {
            std::size_t after = at + 1;
            if (std::optional<std::string> quoted = ReadQuotedCell(text, after)) {
                cell = std::move(*quoted);
                at = after;
                cellStart = false;
                continue;
            }
        }
        cellStart = false;
        ++at;
        if (c == '\t') {
            row.push_back(std::move(cell));
            cell.clear();
            cellStart = true;
        } else if (c == '\n') {
            endRow();
        } else if (c == '\r' && at < text.size() && text[at] == '\n') {
            ++at;
            endRow();
        } else {
            cell += c;
        }
    }
    // The last line without a line end still counts; a line end at the very end does not
    // start another row.
    if (!cellStart || !row.empty())
        endRow();
    return rows;
}

PasteResult PasteRows(TemplateEditor& editor, int row, int column, std::string_view utf8) {
    PasteResult result;
    RecordTable& records = editor.Records();
    const std::vector<std::vector<std::string>> rows = SplitClipboardRows(utf8);
    if (rows.empty() || records.ErrorColumn() < 1)
        return result;
    row = std::clamp(row, 0, records.RowCount());
    column = std::max(column, 1);

    for (const std::vector<std::string>& cells : rows) {
        // A new row starts empty; the check of the whole row below marks what it lacks,
        // as a row added by hand would be marked.
        if (row >= records.RowCount()) {
            records.AppendRow();
            ++result.addedRows;
        }
        for (std::size_t i = 0; i < cells.size(); ++i) {
            const int target = column + static_cast<int>(i);
            if (target >= records.ErrorColumn()) {
                ++result.beyondLastColumn;
                continue;
            }
            const FieldItem* field = editor.FieldOfColumn(target);
            if (field == nullptr)
                continue;
            if (std::optional<std::string> refusal =
                    StorePasted(editor, row, target, *field, cells[i])) {
                result.refused.push_back({row, target, std::move(*refusal)});
            } else {
                ++result.storedValues;
            }
        }
        editor.RecheckRow(row);
        ++row;
    }
    editor.RefreshStatistics();
    editor.RenumberRows();
    if (!result.refused.empty() || result.beyondLastColumn > 0)
        editor.Say(ReportText(editor, result));
    return result;
}

}  // namespace brindlecot
