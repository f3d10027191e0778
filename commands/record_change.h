#pragma once

#include <span>
#include <vector>

#include "commands/template_editor.h"
#include "template/record_table.h"

namespace brindlecot {

// One change of an editor's records (a committed cell edit, an added row, deleted rows, a
// paste, an import), kept so that it can be taken back and done again. It holds only the
// rows the change touched: copies of rows rewritten in place, the rows removed, and the
// rows added once they are taken out by an undo, all moved rather than copied where the
// table allows it.
//
// The parts are noted in the order the change made them; the change must already have
// been made. Undo and Redo must alternate, starting with Undo, on the editor the change
// was made in; each ends with the statistics and the row numbers, as the change did.
class RecordChange {
public:
    // Before rows are rewritten in place: `rows` (ascending) as they are now.
    void NoteRewrite(const RecordTable& table, std::span<const int> rows);
    // After `count` rows were added from position `first` on.
    void NoteAdded(int first, int count);
    // After rows were removed, handed over by the table.
    void NoteRemoved(RecordTable::KeptRows removed);

    bool Empty() const { return parts_.empty(); }
    void Undo(TemplateEditor& editor);
    void Redo(TemplateEditor& editor);

private:
    enum class Kind { Rewritten, Added, Removed };
    struct Part {
        Kind kind;
        std::vector<int> positions;
        // Rewritten: the contents not in the table. Added: the rows while undone.
        // Removed: the rows while done.
        RecordTable::KeptRows rows;
    };
    void Apply(TemplateEditor& editor, bool undo);

    std::vector<Part> parts_;
};

}  // namespace brindlecot
