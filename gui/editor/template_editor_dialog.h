#pragma once

#include <QPointer>

#include <functional>
#include <memory>
#include <string>

#include "commands/record_change.h"
#include "commands/record_draft.h"
#include "commands/template_editor.h"
#include "gui/controls/background_task.h"
#include "gui/controls/owner_drawn_menu.h"
#include "gui/controls/record_grid.h"
#include "gui/controls/skinned_dialog.h"

class QLabel;
class QLineEdit;
class QMenu;
class QMenuBar;
class QPlainTextEdit;
class QPushButton;
class QTimer;
class QUndoStack;

namespace brindlecot {

class RecordTableModel;

// The window in which a clerk works on the records of one template: the record grid, the
// statistics box, add / delete / return, the menu with import and export, and the context
// popup. Every decision is the core TemplateEditor's; this turns events into its calls and
// shows what it says.
//
// Modeless, owned by the template chooser: "返回", Escape and closing the window only ask
// the owner (the close request); the owner then calls Close and destroys the window.
class TemplateEditorDialog : public controls::SkinnedDialog {
    Q_OBJECT

public:
    // Message boxes and file choices go through `ui`, which must outlive the window.
    explicit TemplateEditorDialog(UserInterface& ui, QWidget* parent = nullptr);
    ~TemplateEditorDialog() override;

    // Told, from the event loop, when the window asks to be closed.
    void SetCloseRequest(std::function<void()> request) { closeRequest_ = std::move(request); }

    // Loads the template (GBK caption as title) and builds the grid's columns. False when
    // nobody receives the close request or the template does not load (after its message).
    bool Open(const std::string& templatePath, const std::string& caption);
    // Empties the grid and forgets the template; the window closes.
    void Close();

    // The window's commands, as the buttons and menus run them.
    void AddRow();
    void DeleteRows();
    void Import();
    void Export();
    // Pastes the rows on the clipboard (copied from a spreadsheet) from the current cell
    // on, each value checked as a typed one; what did not go in is listed in one message.
    void Paste();
    // Selects the next (or previous) error row after the current row, going round.
    void GoToErrorRow(bool forward);

    TemplateEditor& Editor() { return editor_; }
    controls::RecordGrid* Grid() const { return grid_; }
    QPlainTextEdit* StatisticsBox() const { return statistics_; }
    QMenuBar* MenuBar() const { return menuBar_; }
    QMenu* OperationsMenu() const { return operationsMenu_; }
    QMenu* ContextMenu() const { return contextMenu_; }
    QPushButton* AddButton() const { return addButton_; }
    QPushButton* DeleteButton() const { return deleteButton_; }
    QPushButton* ReturnButton() const { return returnButton_; }
    QLabel* ErrorCountLabel() const { return errorCount_; }
    // The batch line the export would write for the current row, fill made visible.
    QLineEdit* PreviewLine() const { return preview_; }
    QAction* PasteAction() const { return pasteAction_; }
    QAction* NextErrorAction() const { return nextErrorAction_; }
    QAction* PreviousErrorAction() const { return previousErrorAction_; }
    QAction* UndoAction() const { return undoAction_; }
    QAction* RedoAction() const { return redoAction_; }
    // Every change to the records is one step here; the history ends with the window.
    QUndoStack* UndoStack() const { return undoStack_; }
    void Undo();
    void Redo();
    // Runs the long half of import and export; its progress window appears after half a
    // second.
    controls::BackgroundTask* Task() const { return task_; }

    // Shows the statistics text as the editor last computed it, and the error rows.
    void ShowStatistics();

    // Whether the window holds rows not exported since their last change.
    bool HoldsUnexportedRows() const;
    // Before the window closes: asks (default No) when rows would be lost; on Yes, or when
    // nothing would be lost, the draft goes. False: the person stays.
    bool ConfirmLeave() override;
    // The draft that keeps this window's rows, empty before Open; DraftDelay() after a
    // change its rows are handed to a thread that seals them into it.
    std::string DraftPath() const { return draft_ ? draft_->Path() : std::string(); }
    static int DraftDelay();
    // Hands the rows to the draft now if a change waits for it, and waits until written.
    void FlushDraft();

    // Shows the context popup at `globalPosition` and runs what is chosen.
    void RunContextMenu(const QPoint& globalPosition);

public slots:
    // "返回" and Escape: ask the owner to close the window.
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void PaintLabels(QPainter& painter) override;
    void showEvent(QShowEvent* event) override;

private:
    bool CommitCell(int row, int column, const std::string& text);
    // Makes `change` (already made) the newest step of the undo history.
    void Record(RecordChange change);
    // After the records changed by any path: statistics, error count, the draft.
    void RecordsChanged();
    void DraftAfterChange();
    void WriteDraftNow();
    void OfferDraft();
    void DraftNotWritten();
    static QString UnencodableTextMessage(const QString& characters);

    void BuildMenus();
    void PlaceFromResource();
    void LayOut(int width, int height);
    void HandSelectionToTable();
    void ShowPreview();
    void RequestClose();
    // Runs `work` (which reads or writes the records) on a worker thread with the window
    // painted and its controls disabled; what the work says is shown from here.
    void RunOffGuiThread(const std::function<void()>& work);

    TemplateEditor editor_;
    std::unique_ptr<RecordTableModel> model_;
    std::function<void()> closeRequest_;
    bool laidOut_ = false;
    bool closing_ = false;

    QMenuBar* menuBar_ = nullptr;
    QMenu* operationsMenu_ = nullptr;
    QMenu* contextMenu_ = nullptr;
    QAction* importAction_ = nullptr;
    QAction* exportAction_ = nullptr;
    QAction* addRowAction_ = nullptr;
    QAction* deleteRowsAction_ = nullptr;
    QAction* pasteAction_ = nullptr;
    QAction* nextErrorAction_ = nullptr;
    QAction* previousErrorAction_ = nullptr;
    QAction* undoAction_ = nullptr;
    QAction* redoAction_ = nullptr;
    QUndoStack* undoStack_ = nullptr;
    std::unique_ptr<DraftWriter> draft_;
    std::string draftTemplateName_;
    QTimer* draftTimer_ = nullptr;
    bool draftFailureShown_ = false;
    QLabel* errorCount_ = nullptr;
    QLineEdit* preview_ = nullptr;
    controls::RecordGrid* grid_ = nullptr;
    QPlainTextEdit* statistics_ = nullptr;
    QPushButton* addButton_ = nullptr;
    QPushButton* deleteButton_ = nullptr;
    QPushButton* returnButton_ = nullptr;
    controls::OwnerDrawnMenuStyle* menuStyle_ = nullptr;
    controls::BackgroundTask* task_ = nullptr;
};

// Opens an editor window on the template at `path` (GBK `caption`) as a window of its own
// over `owner`, shown maximised; `closeRequest` hears when the person leaves it. Nothing
// when the template does not load (its message shown). The form the template chooser
// takes an editor in.
std::unique_ptr<QWidget> OpenTemplateEditorWindow(UserInterface& ui, QWidget* owner,
                                                  const std::string& path,
                                                  const std::string& caption,
                                                  std::function<void()> closeRequest);

}  // namespace brindlecot
