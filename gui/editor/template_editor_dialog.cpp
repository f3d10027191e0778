#include "gui/editor/template_editor_dialog.h"

#include "gui/controls/gbk_qstring.h"

#include <QClipboard>
#include <QCloseEvent>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QUndoStack>

#include <array>

#include "base/catalogue/dialog_model_dlg_keys.h"
#include "base/gbk_text.h"
#include "base/message_catalogue.h"
#include "base/message_format.h"
#include "base/scratch_file.h"
#include "commands/pasted_rows.h"
#include "commands/record_export.h"
#include "commands/record_import.h"
#include "gui/controls/dialog_units.h"
#include "gui/editor/record_table_model.h"
#include "gui/editor/record_undo_command.h"

namespace brindlecot {
namespace {

namespace keys = catalogue::DialogModelDlg;

// Screen readers name a control by its label; the grid's label is painted and the
// statistics box and the preview line have none.
void NameForScreenReaders(QWidget& grid, QWidget& statistics, QWidget& preview) {
    grid.setAccessibleName(CatalogueText(keys::kRecordsLabel));
    statistics.setAccessibleName(CatalogueText(keys::kStatisticsBoxName));
    preview.setAccessibleName(CatalogueText(keys::kPreviewLineName));
}

// Tab follows the laid-out window: the grid, the statistics, then the row of buttons from
// the left. In the grid the arrow keys move between cells and Tab leaves it, as in a
// list view; otherwise Tab would go round the cells and never reach a button. The
// statistics show a caret when they have the focus, and can be selected and copied.
void OrderForKeyboard(QTableView& grid, QPlainTextEdit& statistics, QWidget& returnButton,
                      QWidget& addButton, QWidget& deleteButton) {
    grid.setTabKeyNavigation(false);
    statistics.setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    QWidget::setTabOrder(&grid, &statistics);
    QWidget::setTabOrder(&statistics, &returnButton);
    QWidget::setTabOrder(&returnButton, &addButton);
    QWidget::setTabOrder(&addButton, &deleteButton);
}

}  // namespace

TemplateEditorDialog::TemplateEditorDialog(UserInterface& ui, QWidget* parent)
    : SkinnedDialog(parent), editor_(ui) {
    undoStack_ = new QUndoStack(this);
    // Each step of a big import holds the rows it replaced; the oldest steps go.
    undoStack_->setUndoLimit(100);
    // Typing goes on while a draft is sealed; many changes within the delay make one write.
    draftTimer_ = new QTimer(this);
    draftTimer_->setSingleShot(true);
    draftTimer_->setInterval(DraftDelay());
    connect(draftTimer_, &QTimer::timeout, this, &TemplateEditorDialog::WriteDraftNow);
    connect(undoStack_, &QUndoStack::indexChanged, this, &TemplateEditorDialog::DraftAfterChange);
    setObjectName(QStringLiteral("TemplateEditorDialog"));
    setWindowFlags(Qt::Window | Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
    setSizeGripEnabled(false);

    grid_ = new controls::RecordGrid(this);
    grid_->setObjectName(QStringLiteral("RecordGrid"));
    model_ = std::make_unique<RecordTableModel>(editor_.Records());
    model_->SetCellCommit([this](int row, int column, const std::string& text) {
        return CommitCell(row, column, text);
    });
    grid_->setModel(model_.get());
    grid_->SetUnencodableTextMessage(&TemplateEditorDialog::UnencodableTextMessage);
    grid_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(grid_, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { RunContextMenu(grid_->viewport()->mapToGlobal(at)); });

    statistics_ = new QPlainTextEdit(this);
    statistics_->setObjectName(QStringLiteral("StatisticsBox"));
    statistics_->setReadOnly(true);

    // A clerk sees widths and padding of the output before exporting.
    preview_ = new QLineEdit(this);
    preview_->setObjectName(QStringLiteral("PreviewLine"));
    preview_->setReadOnly(true);
    preview_->setFocusPolicy(Qt::ClickFocus);
    preview_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    connect(grid_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &TemplateEditorDialog::ShowPreview);
    connect(model_.get(), &QAbstractItemModel::dataChanged, this,
            &TemplateEditorDialog::ShowPreview);
    connect(model_.get(), &QAbstractItemModel::modelReset, this,
            &TemplateEditorDialog::ShowPreview);
    connect(model_.get(), &QAbstractItemModel::rowsRemoved, this,
            &TemplateEditorDialog::ShowPreview);

    errorCount_ = new QLabel(this);
    errorCount_->setObjectName(QStringLiteral("ErrorCount"));

    addButton_ = new QPushButton(CatalogueText(keys::kAddButton), this);
    deleteButton_ = new QPushButton(CatalogueText(keys::kDeleteButton), this);
    // The only button whose text the catalogue does not set: fixed in the window's resource.
    returnButton_ = new QPushButton(QString::fromUtf8("返回"), this);
    // Enter does nothing in this window: no button is pressed by it.
    for (QPushButton* button : {addButton_, deleteButton_, returnButton_}) {
        button->setAutoDefault(false);
        button->setDefault(false);
    }
    connect(addButton_, &QPushButton::clicked, this, &TemplateEditorDialog::AddRow);
    connect(deleteButton_, &QPushButton::clicked, this, &TemplateEditorDialog::DeleteRows);
    connect(returnButton_, &QPushButton::clicked, this, &TemplateEditorDialog::reject);

    BuildMenus();
    NameForScreenReaders(*grid_, *statistics_, *preview_);
    OrderForKeyboard(*grid_, *statistics_, *returnButton_, *addButton_, *deleteButton_);
    editor_.SetFocusRecordsRequest([this] { grid_->setFocus(Qt::OtherFocusReason); });
    PlaceFromResource();

    task_ = new controls::BackgroundTask(this, ui);
    task_->SetControlsToDisable({grid_, menuBar_, addButton_, deleteButton_, returnButton_});
}

TemplateEditorDialog::~TemplateEditorDialog() {
    // The grid goes with the window; it must not call back into a half-destroyed owner.
    grid_->setModel(nullptr);
    model_->SetCellCommit(nullptr);
    // What the person changed last is in the draft before the window goes.
    FlushDraft();
    draft_.reset();
    // The stack goes with the window's children and empties itself on the way, telling
    // slots of a window no longer there.
    undoStack_->disconnect();
}

void TemplateEditorDialog::BuildMenus() {
    menuBar_ = new QMenuBar(this);
    operationsMenu_ = menuBar_->addMenu(CatalogueText(keys::kOperationsMenu));
    importAction_ = operationsMenu_->addAction(CatalogueText(keys::kImportMenu));
    exportAction_ = operationsMenu_->addAction(CatalogueText(keys::kExportMenu));
    connect(importAction_, &QAction::triggered, this, &TemplateEditorDialog::Import);
    connect(exportAction_, &QAction::triggered, this, &TemplateEditorDialog::Export);
    operationsMenu_->addSeparator();
    // Rows copied from a spreadsheet. Inside an open edit box Ctrl+V stays the box's own.
    pasteAction_ = operationsMenu_->addAction(CatalogueText(keys::kPasteRowsMenu));
    pasteAction_->setShortcut(QKeySequence::Paste);
    // For big batches: from one broken row to the next without scrolling through them.
    nextErrorAction_ = operationsMenu_->addAction(CatalogueText(keys::kNextErrorRowMenu));
    nextErrorAction_->setShortcut(QKeySequence(Qt::Key_F8));
    previousErrorAction_ = operationsMenu_->addAction(CatalogueText(keys::kPreviousErrorRowMenu));
    previousErrorAction_->setShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F8));
    for (QAction* action : {pasteAction_, nextErrorAction_, previousErrorAction_}) {
        action->setShortcutContext(Qt::WindowShortcut);
        addAction(action);
    }
    connect(pasteAction_, &QAction::triggered, this, &TemplateEditorDialog::Paste);
    connect(nextErrorAction_, &QAction::triggered, this, [this] { GoToErrorRow(true); });
    connect(previousErrorAction_, &QAction::triggered, this, [this] { GoToErrorRow(false); });

    // Spreadsheet habits: Ctrl+Z, and both Ctrl+Y and Ctrl+Shift+Z. Inside an open edit
    // box they stay the box's own.
    operationsMenu_->addSeparator();
    undoAction_ = operationsMenu_->addAction(CatalogueText(keys::kUndoMenu));
    undoAction_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    redoAction_ = operationsMenu_->addAction(CatalogueText(keys::kRedoMenu));
    redoAction_->setShortcuts(
        {QKeySequence(Qt::CTRL | Qt::Key_Y), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)});
    for (QAction* action : {undoAction_, redoAction_}) {
        action->setShortcutContext(Qt::WindowShortcut);
        action->setEnabled(false);
        addAction(action);
    }
    connect(undoAction_, &QAction::triggered, this, &TemplateEditorDialog::Undo);
    connect(redoAction_, &QAction::triggered, this, &TemplateEditorDialog::Redo);
    connect(undoStack_, &QUndoStack::canUndoChanged, undoAction_, &QAction::setEnabled);
    connect(undoStack_, &QUndoStack::canRedoChanged, redoAction_, &QAction::setEnabled);

    contextMenu_ = new QMenu(this);
    addRowAction_ = contextMenu_->addAction(CatalogueText(keys::kAddRowMenu));
    deleteRowsAction_ = contextMenu_->addAction(CatalogueText(keys::kDeleteRowsMenu));
    contextMenu_->addAction(pasteAction_);
    contextMenu_->addSeparator();
    contextMenu_->addAction(undoAction_);
    contextMenu_->addAction(redoAction_);

    menuStyle_ = new controls::OwnerDrawnMenuStyle(this);
    controls::MakeOwnerDrawn(*menuBar_, *menuStyle_);
    controls::MakeOwnerDrawn(*contextMenu_, *menuStyle_);
}

// Where the controls stand before the first layout: the window's designed size and places.
void TemplateEditorDialog::PlaceFromResource() {
    const int top = menuBar_->sizeHint().height();
    const QRect window = DialogUnitsRect(0, 0, 427, 246);
    resize(window.width(), window.height() + top);
    menuBar_->setGeometry(0, 0, window.width(), top);
    grid_->setGeometry(DialogUnitsRect(10, 37, 407, 74).translated(0, top));
    preview_->setGeometry(DialogUnitsRect(10, 114, 407, 12).translated(0, top));
    statistics_->setGeometry(DialogUnitsRect(13, 140, 403, 50).translated(0, top));
    addButton_->setGeometry(DialogUnitsRect(76, 22, 40, 14).translated(0, top));
    deleteButton_->setGeometry(DialogUnitsRect(122, 22, 40, 14).translated(0, top));
    returnButton_->setGeometry(DialogUnitsRect(373, 220, 40, 14).translated(0, top));
}

bool TemplateEditorDialog::Open(const std::string& templatePath, const std::string& caption) {
    if (!closeRequest_)
        return false;
    setWindowTitle(FromGbk(caption));
    if (!editor_.Open(templatePath, caption))
        return false;
    draftTemplateName_ = DraftTemplateName(templatePath);
    draft_ = std::make_unique<DraftWriter>(DraftPathFor(templatePath), [this] {
        QMetaObject::invokeMethod(this, &TemplateEditorDialog::DraftNotWritten,
                                  Qt::QueuedConnection);
    });
    ShowStatistics();
    showMaximized();
    activateWindow();
    OfferDraft();
    return true;
}

void TemplateEditorDialog::Close() {
    grid_->EndCellEdit();
    FlushDraft();
    undoStack_->clear();
    editor_.Close();
    statistics_->clear();
    closing_ = true;
    SkinnedDialog::close();
    closing_ = false;
}

void TemplateEditorDialog::RequestClose() {
    // Posted, as the owner closes and destroys this window in answer.
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (closeRequest_)
                closeRequest_();
        },
        Qt::QueuedConnection);
}

void TemplateEditorDialog::reject() {
    if (ConfirmLeave())
        RequestClose();
}

void TemplateEditorDialog::closeEvent(QCloseEvent* event) {
    if (closing_) {
        event->accept();
        return;
    }
    event->ignore();
    if (ConfirmLeave())
        RequestClose();
}

bool TemplateEditorDialog::HoldsUnexportedRows() const {
    return editor_.Records().RowCount() > 0 && !undoStack_->isClean();
}

bool TemplateEditorDialog::ConfirmLeave() {
    grid_->EndCellEdit();
    if (HoldsUnexportedRows()) {
        const std::string question =
            FormatMessage(LoadMessage(keys::kDiscardUnexportedRows),
                          {static_cast<long long>(editor_.Records().RowCount())});
        if (!editor_.Ui().AskYesNoDefaultNo(editor_.Caption(), question))
            return false;
    }
    draftTimer_->stop();
    if (draft_)
        draft_->Remove();
    return true;
}

void TemplateEditorDialog::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->accept();
        return;
    }
    SkinnedDialog::keyPressEvent(event);
}

// --- commands ----------------------------------------------------------------

void TemplateEditorDialog::AddRow() {
    grid_->EndCellEdit();
    const int before = editor_.Records().RowCount();
    editor_.AddDefaultRow();
    RecordChange change;
    change.NoteAdded(before, editor_.Records().RowCount() - before);
    Record(std::move(change));
    ShowStatistics();
    grid_->scrollToBottom();
}

void TemplateEditorDialog::HandSelectionToTable() {
    RecordTable& table = editor_.Records();
    table.ClearSelection();
    for (const int row : grid_->SelectedRows())
        table.SetRowSelected(row, true);
}

void TemplateEditorDialog::DeleteRows() {
    grid_->EndCellEdit();
    HandSelectionToTable();
    RecordTable::KeptRows deleted;
    if (editor_.DeleteSelectedRows(&deleted)) {
        RecordChange change;
        change.NoteRemoved(std::move(deleted));
        Record(std::move(change));
        grid_->clearSelection();
        ShowStatistics();
    }
}

void TemplateEditorDialog::Import() {
    grid_->EndCellEdit();
    if (HoldsUnexportedRows()) {
        const std::string question =
            FormatMessage(LoadMessage(keys::kImportOverUnexportedRows),
                          {static_cast<long long>(editor_.Records().RowCount())});
        if (!editor_.Ui().AskYesNoDefaultNo(editor_.Caption(), question))
            return;
    }
    ImportOutcome ended = ImportOutcome::Cancelled;
    const std::optional<std::string> chosen = ChooseImportFile(editor_, ended);
    if (!chosen)
        return;
    // The import refills the table: the grid shows none of it until the import has ended.
    model_->Suspend();
    RunOffGuiThread([this, &chosen] { ImportRecordsFrom(editor_, *chosen); });
    model_->Resume();
    // An import that ended at its file checks replaced nothing.
    if (std::optional<RecordTable::KeptRows> replaced = editor_.TakeReplacedRows()) {
        RecordChange change;
        change.NoteRemoved(std::move(*replaced));
        change.NoteAdded(0, editor_.Records().RowCount());
        Record(std::move(change));
    }
    ShowStatistics();
}

void TemplateEditorDialog::Export() {
    grid_->EndCellEdit();
    ExportOutcome ended = ExportOutcome::Cancelled;
    const std::optional<ExportTarget> target = ChooseExportTarget(editor_, ended);
    if (!target)
        return;
    // The export only reads the records, as the grid does; nothing can change them meanwhile.
    ExportOutcome outcome = ExportOutcome::Failed;
    RunOffGuiThread([this, &target, &outcome] { outcome = WriteExport(editor_, *target); });
    if (outcome == ExportOutcome::Written) {
        // These rows are safe in the clerk's file: nothing asks and no draft is kept for
        // them until they change again.
        undoStack_->setClean();
        DraftAfterChange();
    }
}

void TemplateEditorDialog::RunOffGuiThread(const std::function<void()>& work) {
    // The shortcuts live on the window, not on the disabled controls.
    const std::array<QAction*, 5> shortcuts{pasteAction_, nextErrorAction_, previousErrorAction_,
                                            undoAction_, redoAction_};
    for (QAction* action : shortcuts)
        action->setEnabled(false);
    editor_.Progress().Start(0);
    task_->Run(
        [this, &work](UserInterface& ui) {
            const TemplateEditor::UiLoan loan(editor_, ui);
            work();
            return true;
        },
        [this] {
            const CommandProgress& progress = editor_.Progress();
            return controls::TaskProgress{progress.done.load(std::memory_order_relaxed),
                                          progress.expected.load(std::memory_order_relaxed)};
        });
    for (QAction* action : shortcuts)
        action->setEnabled(true);
    undoAction_->setEnabled(undoStack_->canUndo());
    redoAction_->setEnabled(undoStack_->canRedo());
}

void TemplateEditorDialog::RunContextMenu(const QPoint& globalPosition) {
    const QAction* chosen = contextMenu_->exec(globalPosition);
    if (chosen == addRowAction_) {
        AddRow();
    } else if (chosen == deleteRowsAction_ && grid_->selectionModel()->hasSelection()) {
        DeleteRows();
    }
}

void TemplateEditorDialog::Paste() {
    grid_->EndCellEdit();
    const QString text = QGuiApplication::clipboard()->text();
    if (text.isEmpty())
        return;
    // Without a current cell the rows go after the last one.
    const QModelIndex current = grid_->currentIndex();
    const RecordTable& records = editor_.Records();
    const int rowCount = records.RowCount();
    const int row = current.isValid() ? current.row() : rowCount;
    const int column = current.isValid() ? current.column() : 1;
    const std::string utf8 = text.toStdString();
    // The rows the paste may rewrite are kept as they are; the rows it adds need nothing.
    const int lines = static_cast<int>(SplitClipboardRows(utf8).size());
    std::vector<int> rewritten;
    for (int at = row; at < std::min(rowCount, row + lines); ++at)
        rewritten.push_back(at);
    RecordChange change;
    change.NoteRewrite(records, rewritten);
    PasteRows(editor_, row, column, utf8);
    change.NoteAdded(rowCount, records.RowCount() - rowCount);
    Record(std::move(change));
    ShowStatistics();
}

void TemplateEditorDialog::GoToErrorRow(bool forward) {
    grid_->EndCellEdit();
    const int current = grid_->currentIndex().isValid() ? grid_->currentIndex().row() : -1;
    const int row = editor_.Records().NextErrorRow(current, forward);
    if (row < 0)
        return;
    // Not selectRow: with Shift held (Shift+F8) it would extend the selection.
    const QModelIndex target = grid_->model()->index(row, 0);
    grid_->selectionModel()->setCurrentIndex(
        target, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    grid_->scrollTo(target, QAbstractItemView::PositionAtCenter);
}

void TemplateEditorDialog::ShowPreview() {
    const QModelIndex current = grid_->currentIndex();
    if (!current.isValid() || ExportExtension(editor_.Definition()) != ".txt") {
        preview_->clear();
        return;
    }
    QString line = FromGbk(BatchLineOf(editor_.Definition(), editor_.Records(), current.row()));
    // Fill must be seen: blanks as middle dots, full-width blanks as open squares.
    line.replace(QLatin1Char(' '), QChar(0x00B7));
    line.replace(QChar(0x3000), QChar(0x25A1));
    preview_->setText(line);
    preview_->setCursorPosition(0);
}

void TemplateEditorDialog::ShowStatistics() {
    const int errorRows = editor_.Records().ErrorRowCount();
    errorCount_->setText(errorRows == 0
                             ? QString()
                             : FromGbk(FormatMessage(LoadMessage(keys::kErrorRowCount),
                                                     {static_cast<long long>(errorRows)})));
    errorCount_->adjustSize();
    QString text = FromGbk(editor_.StatisticsText());
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    if (statistics_->toPlainText() != text)
        statistics_->setPlainText(text);
}

// --- edits of a cell ---------------------------------------------------------

bool TemplateEditorDialog::CommitCell(int row, int column, const std::string& text) {
    const RecordTable& records = editor_.Records();
    const bool inRange = row >= 0 && row < records.RowCount();
    const std::string before = inRange ? records.DisplayText(row, column) : std::string();
    const std::string beforeError = inRange ? std::string(records.ErrorText(row)) : std::string();
    RecordChange change;
    if (inRange)
        change.NoteRewrite(records, std::span<const int>(&row, 1));
    const CellEditResult result = editor_.OnCellEditCommit(row, column, text);
    // Confirming a cell unchanged is no step of its own.
    if (result != CellEditResult::Rejected && inRange &&
        (records.DisplayText(row, column) != before || records.ErrorText(row) != beforeError))
        Record(std::move(change));
    ShowStatistics();
    return result != CellEditResult::Rejected;
}

void TemplateEditorDialog::Record(RecordChange change) {
    if (change.Empty())
        return;
    undoStack_->push(
        new RecordUndoCommand(QString(), editor_, std::move(change), [this] { RecordsChanged(); }));
}

void TemplateEditorDialog::RecordsChanged() {
    ShowStatistics();
    ShowPreview();
}

// --- drafts ------------------------------------------------------------------

int TemplateEditorDialog::DraftDelay() {
    return 1000;
}

void TemplateEditorDialog::DraftAfterChange() {
    if (!draft_)
        return;
    if (!HoldsUnexportedRows()) {
        draftTimer_->stop();
        draft_->Remove();
        return;
    }
    // Not restarted by later changes: while the clerk types, a draft is still written
    // every DraftDelay().
    if (!draftTimer_->isActive())
        draftTimer_->start();
}

void TemplateEditorDialog::WriteDraftNow() {
    if (!draft_ || !HoldsUnexportedRows())
        return;
    // A command on a worker thread may be changing the records; they are read after it.
    if (controls::BackgroundTask::AnyRunning()) {
        draftTimer_->start();
        return;
    }
    draft_->Write(DraftText(draftTemplateName_, editor_.Records()));
}

void TemplateEditorDialog::FlushDraft() {
    if (!draft_)
        return;
    if (draftTimer_->isActive()) {
        draftTimer_->stop();
        WriteDraftNow();
    }
    draft_->WaitIdle();
}

void TemplateEditorDialog::DraftNotWritten() {
    // Once per window: a clerk typing on should not be stopped by a box every second.
    if (draftFailureShown_)
        return;
    draftFailureShown_ = true;
    editor_.Say(LoadMessage(keys::kDraftNotWritten));
}

void TemplateEditorDialog::OfferDraft() {
    const std::string path = draft_->Path();
    if (path.empty() || !FileExists(path))
        return;
    const std::optional<std::string> plain = OpenDraftWithInstalledKey(path);
    const std::optional<DraftContent> draft = plain ? ParseDraftText(*plain) : std::nullopt;
    if (!draft || draft->templateName != draftTemplateName_) {
        // Another key installed since, or a damaged file: the rows may still be got back
        // with the right key, so the file is kept under another name.
        const std::string aside = SetDraftAside(path);
        editor_.Say(FormatMessage(LoadMessage(keys::kDraftUnreadable),
                                  {std::string_view(aside.empty() ? path : aside)}));
        return;
    }
    if (draft->rows.empty()) {
        draft_->Remove();
        return;
    }
    const std::string question = FormatMessage(
        LoadMessage(keys::kRestoreDraft),
        {static_cast<long long>(draft->rows.size()), std::string_view(DraftTimeText(path))});
    if (!editor_.Ui().AskYesNo(editor_.Caption(), question)) {
        draft_->Remove();
        return;
    }
    const int first = editor_.Records().RowCount();
    const int added = RestoreDraftRows(editor_, *draft);
    RecordChange change;
    change.NoteAdded(first, added);
    Record(std::move(change));
    ShowStatistics();
}

void TemplateEditorDialog::Undo() {
    grid_->EndCellEdit();
    undoStack_->undo();
}

void TemplateEditorDialog::Redo() {
    grid_->EndCellEdit();
    undoStack_->redo();
}

QString TemplateEditorDialog::UnencodableTextMessage(const QString& characters) {
    // The characters have no GBK form, so the message is filled in after conversion.
    const std::string format = GbkToUtf8ForDisplay(LoadMessage(keys::kUnencodableCharacters));
    const std::string shown = characters.toStdString();
    return QString::fromStdString(FormatMessage(format, {std::string_view(shown)}));
}

// --- layout and painting -----------------------------------------------------

void TemplateEditorDialog::showEvent(QShowEvent* event) {
    SkinnedDialog::showEvent(event);
    LayOut(width(), height());
}

void TemplateEditorDialog::resizeEvent(QResizeEvent* event) {
    SkinnedDialog::resizeEvent(event);
    LayOut(width(), height());
}

// The first layout uses the whole client area, every later one five pixels less each way.
void TemplateEditorDialog::LayOut(int width, int height) {
    const int top = menuBar_->sizeHint().height();
    menuBar_->setGeometry(0, 0, width, top);
    menuStyle_->SetPopupTitleWidth(width);
    height -= top;
    if (width <= 0 || height <= 0 || !isVisible())
        return;
    const int w = laidOut_ ? width - 5 : width;
    const int h = laidOut_ ? height - 5 : height;
    laidOut_ = true;

    const int buttonHeight = addButton_->height();
    const int buttonTop = h - 10 - buttonHeight;
    deleteButton_->setGeometry(w - 10 - deleteButton_->width(), top + buttonTop,
                               deleteButton_->width(), buttonHeight);
    const int addLeft = w - 2 * addButton_->width() - 15;
    addButton_->move(addLeft, top + buttonTop);
    // "返回" joins the row of buttons: at its designed place it would lie over the grid
    // of a maximised window.
    returnButton_->move(addLeft - 5 - returnButton_->width(), top + buttonTop);

    // The number of error rows sits at the left of the row of buttons, under the statistics.
    errorCount_->move(10, top + buttonTop + (buttonHeight - errorCount_->height()) / 2);

    const int statisticsHeight = statistics_->height();
    const int statisticsTop = buttonTop - 5 - statisticsHeight;
    statistics_->setGeometry(10, top + statisticsTop, w - 20, statisticsHeight);
    // The preview line lies between the grid and the statistics.
    const int previewHeight = preview_->sizeHint().height();
    const int previewTop = statisticsTop - 5 - previewHeight;
    preview_->setGeometry(10, top + previewTop, w - 20, previewHeight);
    grid_->setGeometry(10, top + 22, w - 20, std::max(0, previewTop - 5 - 22));
    update();
}

void TemplateEditorDialog::PaintLabels(QPainter& painter) {
    const QRect label(grid_->x(), menuBar_->height(), width() - grid_->x(),
                      grid_->y() - 2 - menuBar_->height());
    painter.drawText(label, Qt::AlignLeft | Qt::AlignBottom | Qt::TextSingleLine,
                     CatalogueText(keys::kRecordsLabel));
}

std::unique_ptr<QWidget> OpenTemplateEditorWindow(UserInterface& ui, QWidget* owner,
                                                  const std::string& path,
                                                  const std::string& caption,
                                                  std::function<void()> closeRequest) {
    auto window = std::make_unique<TemplateEditorDialog>(ui, owner);
    window->SetCloseRequest(std::move(closeRequest));
    if (!window->Open(path, caption)) {
        window->Close();
        return nullptr;
    }
    return window;
}

}  // namespace brindlecot
