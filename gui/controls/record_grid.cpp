#include "gui/controls/record_grid.h"

#include <QFocusEvent>
#include <QRegion>

#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>
#include <QToolTip>

#include <algorithm>

#include "base/gbk_text.h"

namespace brindlecot::controls {
namespace {

// The characters of `text` that GBK cannot store, each once, in order.
QString UnencodableCharacters(const QString& text) {
    QString found;
    for (const char32_t codePoint : text.toUcs4()) {
        const QString character = QString::fromUcs4(&codePoint, 1);
        if (!Utf8ToGbk(character.toStdString()) && !found.contains(character))
            found += character;
    }
    return found;
}

}  // namespace

// --- CellEdit -----------------------------------------------------------------

CellEdit::CellEdit(RecordGrid& grid, int row, int column, const QString& text)
    : QLineEdit(text, grid.viewport()), grid_(grid), row_(row), column_(column), accepted_(text) {
    setObjectName(QStringLiteral("CellEdit"));
    // The cell's text is the edit's starting point; anything typed or pasted that GBK
    // cannot store is taken out again at once, so the text handed over is always whole.
    connect(this, &QLineEdit::textEdited, this, [this](const QString& edited) {
        if (Utf8ToGbk(edited.toStdString())) {
            accepted_ = edited;
            return;
        }
        RefuseUnencodable(edited);
    });
}

void CellEdit::RefuseUnencodable(const QString& edited) {
    const int caret = std::max(0, cursorPosition() - int(edited.size() - accepted_.size()));
    const QString characters = UnencodableCharacters(edited);
    setText(accepted_);
    setCursorPosition(std::min<int>(caret, int(accepted_.size())));
    const QString message =
        grid_.owner_ != nullptr ? grid_.owner_->UnencodableTextMessage(characters) : characters;
    QToolTip::showText(mapToGlobal(QPoint(0, height())), message, this);
}

void CellEdit::End(CellEditEndKey key) {
    if (ending_)
        return;
    ending_ = true;
    grid_.FinishEdit(*this, key);
}

void CellEdit::keyPressEvent(QKeyEvent* event) {
    // Enter and Escape belong to the edit, not to the window: they must neither press a
    // default button nor close a dialog.
    switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            event->accept();
            End(CellEditEndKey::Enter);
            return;
        case Qt::Key_Escape:
            event->accept();
            End(CellEditEndKey::Escape);
            return;
        default:
            QLineEdit::keyPressEvent(event);
    }
}

bool CellEdit::event(QEvent* event) {
    if (event->type() == QEvent::ShortcutOverride) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape ||
            key == Qt::Key_Delete) {
            event->accept();
            return true;
        }
    }
    return QLineEdit::event(event);
}

void CellEdit::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    End(CellEditEndKey::Other);
}

// --- RecordGrid ---------------------------------------------------------------

RecordGrid::RecordGrid(QWidget* parent) : QTableView(parent) {
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setShowGrid(true);
    setWordWrap(false);
    verticalHeader()->hide();
    // Fixed row heights keep a view over 100,000 rows from measuring any of them.
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->viewport()->installEventFilter(this);
}

RecordGrid::~RecordGrid() {
    // An edit still open when the window goes ends without telling anyone.
    owner_ = nullptr;
}

void RecordGrid::setModel(QAbstractItemModel* newModel) {
    if (model() != nullptr)
        disconnect(model(), nullptr, this, nullptr);
    QTableView::setModel(newModel);
    if (newModel != nullptr) {
        connect(newModel, &QAbstractItemModel::modelReset, this, &RecordGrid::ApplyColumnWidths);
        // When rows come or go under an open edit, its text has no cell to go to any more:
        // handed over, it would land in whichever record moved into the edited position.
        connect(newModel, &QAbstractItemModel::modelAboutToBeReset, this,
                &RecordGrid::DropCellEdit);
        connect(newModel, &QAbstractItemModel::rowsAboutToBeRemoved, this,
                &RecordGrid::DropCellEdit);
        connect(newModel, &QAbstractItemModel::rowsAboutToBeInserted, this,
                &RecordGrid::DropCellEdit);
    }
    ApplyColumnWidths();
}

void RecordGrid::ApplyColumnWidths() {
    if (model() == nullptr)
        return;
    for (int column = 0; column < model()->columnCount(); ++column) {
        const int width = model()->headerData(column, Qt::Horizontal, kColumnWidthRole).toInt();
        if (width > 0)
            setColumnWidth(column, width);
    }
}

QLineEdit* RecordGrid::CurrentEdit() const {
    return current_.data();
}

QLineEdit* RecordGrid::BeginCellEdit(int row, int column) {
    if (model() == nullptr || row < 0 || row >= model()->rowCount())
        return nullptr;
    if (column < 0 || column >= model()->columnCount())
        return nullptr;
    const QModelIndex cell = model()->index(row, column);
    scrollTo(cell, QAbstractItemView::EnsureVisible);
    EndCellEdit();

    QRect rect = visualRect(cell);
    if (!rect.isValid())
        return nullptr;
    rect.setRight(std::min(rect.right(), viewport()->rect().right()));
    rect.adjust(0, -1, 0, 2);
    const QString text = model()->data(cell, Qt::DisplayRole).toString();
    if (owner_ != nullptr && !owner_->CellEditMayStart(row, column))
        return nullptr;

    auto* edit = new CellEdit(*this, row, column, text);
    const QVariant alignment = model()->headerData(column, Qt::Horizontal, Qt::TextAlignmentRole);
    const Qt::Alignment horizontal =
        alignment.isValid() ? Qt::Alignment(alignment.toInt()) & Qt::AlignHorizontal_Mask
                            : Qt::AlignLeft;
    edit->setAlignment(horizontal | Qt::AlignVCenter);
    edit->setGeometry(rect);
    current_ = edit;
    edit->show();
    edit->setFocus(Qt::OtherFocusReason);
    edit->deselect();
    edit->end(false);
    return edit;
}

void RecordGrid::EndCellEdit() {
    if (current_ != nullptr)
        current_->End(CellEditEndKey::Other);
}

void RecordGrid::DropCellEdit() {
    if (current_ != nullptr) {
        dropping_ = true;
        current_->End(CellEditEndKey::Other);
        dropping_ = false;
    }
}

void RecordGrid::FinishEdit(CellEdit& edit, CellEditEndKey key) {
    const QString text = edit.text();
    const int row = edit.Row();
    const int column = edit.Column();
    current_ = nullptr;
    // The grid takes the focus back before the box goes, so that it does not wander to
    // the next control of the window.
    if (edit.hasFocus())
        setFocus(Qt::OtherFocusReason);
    edit.hide();
    edit.deleteLater();
    lastEndKey_ = key;

    if (!dropping_ && model() != nullptr && model()->rowCount() > 0 && owner_ != nullptr) {
        std::optional<std::string> gbk = Utf8ToGbk(text.toStdString());
        if (gbk) {
            // Handed over from the event loop: the owner may show a message box, change
            // the rows or open another edit, none of which must happen inside the event
            // that ended this one.
            QMetaObject::invokeMethod(
                this,
                [this, row, column, value = std::move(*gbk), key] {
                    if (owner_ != nullptr && model() != nullptr && row < model()->rowCount())
                        owner_->CellEditEnded(row, column, value, key);
                },
                Qt::QueuedConnection);
        }
    }
    if (model() != nullptr)
        viewport()->update(visualRect(model()->index(row, column)));
}

// Focus changes only how the frame and the current cell are drawn, but Qt's own handlers
// repaint the whole viewport on every focus change. Each committed edit moves the focus
// twice (into the box and back), and on a maximised grid those two full paints were most
// of the edit's cost.
void RecordGrid::focusInEvent(QFocusEvent* event) {
    // Without a current cell Qt's handler picks one; that path is rare and may stay full.
    if (!currentIndex().isValid()) {
        QTableView::focusInEvent(event);
        return;
    }
    RepaintFocusMarks();
}

void RecordGrid::focusOutEvent(QFocusEvent* event) {
    if (!currentIndex().isValid()) {
        QTableView::focusOutEvent(event);
        return;
    }
    RepaintFocusMarks();
}

void RecordGrid::RepaintFocusMarks() {
    QRegion frame(rect());
    frame -= viewport()->geometry();
    update(frame);
    viewport()->update(visualRect(currentIndex()));
}

std::vector<int> RecordGrid::SelectedRows() const {
    std::vector<int> rows;
    if (selectionModel() == nullptr)
        return rows;
    for (const QItemSelectionRange& range : selectionModel()->selection()) {
        for (int row = range.top(); row <= range.bottom(); ++row)
            rows.push_back(row);
    }
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

void RecordGrid::mouseDoubleClickEvent(QMouseEvent* event) {
    const QModelIndex cell = indexAt(event->position().toPoint());
    if (cell.isValid()) {
        event->accept();
        BeginCellEdit(cell.row(), cell.column());
        return;
    }
    QTableView::mouseDoubleClickEvent(event);
}

void RecordGrid::mousePressEvent(QMouseEvent* event) {
    if (!indexAt(event->position().toPoint()).isValid())
        EndCellEdit();
    QTableView::mousePressEvent(event);
}

void RecordGrid::wheelEvent(QWheelEvent* event) {
    EndCellEdit();
    QTableView::wheelEvent(event);
}

void RecordGrid::scrollContentsBy(int dx, int dy) {
    EndCellEdit();
    QTableView::scrollContentsBy(dx, dy);
}

bool RecordGrid::eventFilter(QObject* watched, QEvent* event) {
    // A press on the header (a click on a heading or the start of dragging a divider)
    // ends the edit; the header then does what it does.
    if (watched == horizontalHeader()->viewport() && event->type() == QEvent::MouseButtonPress)
        EndCellEdit();
    return QTableView::eventFilter(watched, event);
}

}  // namespace brindlecot::controls
