#include "gui/editor/record_undo_command.h"

namespace brindlecot {

RecordUndoCommand::RecordUndoCommand(const QString& text, TemplateEditor& editor,
                                     RecordChange change, std::function<void()> changed)
    : QUndoCommand(text),
      editor_(editor),
      change_(std::move(change)),
      changed_(std::move(changed)) {}

void RecordUndoCommand::undo() {
    change_.Undo(editor_);
    made_ = false;
    if (changed_)
        changed_();
}

void RecordUndoCommand::redo() {
    if (made_)
        return;
    change_.Redo(editor_);
    made_ = true;
    if (changed_)
        changed_();
}

}  // namespace brindlecot
