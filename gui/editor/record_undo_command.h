#pragma once

#include <QUndoCommand>

#include <functional>

#include "commands/record_change.h"

namespace brindlecot {

// A change already made to an editor's records, as one step of its undo history. Pushing
// it does not make the change again; undo and redo hand it to the core and then tell the
// window (`changed`) to show the records as they now stand.
class RecordUndoCommand final : public QUndoCommand {
public:
    RecordUndoCommand(const QString& text, TemplateEditor& editor, RecordChange change,
                      std::function<void()> changed);

    void undo() override;
    void redo() override;

private:
    TemplateEditor& editor_;
    RecordChange change_;
    std::function<void()> changed_;
    bool made_ = true;  // the first redo, from the push, finds the change made already
};

}  // namespace brindlecot
