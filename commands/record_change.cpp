#include "commands/record_change.h"

#include <numeric>

namespace brindlecot {

void RecordChange::NoteRewrite(const RecordTable& table, std::span<const int> rows) {
    if (rows.empty())
        return;
    RecordTable::KeptRows kept = table.CopyRows(rows);
    std::vector<int> positions = kept.Positions();
    parts_.push_back({Kind::Rewritten, std::move(positions), std::move(kept)});
}

void RecordChange::NoteAdded(int first, int count) {
    if (count <= 0)
        return;
    std::vector<int> positions(static_cast<std::size_t>(count));
    std::iota(positions.begin(), positions.end(), first);
    parts_.push_back({Kind::Added, std::move(positions), {}});
}

void RecordChange::NoteRemoved(RecordTable::KeptRows removed) {
    if (removed.Empty())
        return;
    std::vector<int> positions = removed.Positions();
    parts_.push_back({Kind::Removed, std::move(positions), std::move(removed)});
}

void RecordChange::Undo(TemplateEditor& editor) {
    Apply(editor, true);
}

void RecordChange::Redo(TemplateEditor& editor) {
    Apply(editor, false);
}

void RecordChange::Apply(TemplateEditor& editor, bool undo) {
    RecordTable& table = editor.Records();
    auto step = [&table, undo](Part& part) {
        switch (part.kind) {
            case Kind::Rewritten:
                table.SwapRows(part.rows);
                break;
            case Kind::Added:
                if (undo)
                    part.rows = table.TakeRows(part.positions);
                else
                    table.PutBackRows(part.rows);
                break;
            case Kind::Removed:
                if (undo)
                    table.PutBackRows(part.rows);
                else
                    part.rows = table.TakeRows(part.positions);
                break;
        }
    };
    if (undo) {
        for (auto part = parts_.rbegin(); part != parts_.rend(); ++part)
            step(*part);
    } else {
        for (Part& part : parts_)
            step(part);
    }
    editor.RefreshStatistics();
    editor.RenumberRows();
}

}  // namespace brindlecot
