#include "gui/controls/record_grid.h"

#include <QFocusEvent>
#include <QRegion>

#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>

#include <algorithm>

#include "gui/controls/cell_edit_delegate.h"

namespace brindlecot::controls {

RecordGrid::RecordGrid(QWidget* parent) : QTableView(parent) {
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    // Edits open on a double-click only, and through BeginCellEdit.
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setShowGrid(true);
    setWordWrap(false);
    verticalHeader()->hide();
    // Fixed row heights keep a view over 100,000 rows from measuring any of them.
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->viewport()->installEventFilter(this);
    delegate_ = new CellEditDelegate(this);
    setItemDelegate(delegate_);
}

RecordGrid::~RecordGrid() {
    // An edit still open when the window goes ends without telling anyone.
    DropCellEdit();
}

void RecordGrid::setModel(QAbstractItemModel* newModel) {
    DropCellEdit();
    if (model() != nullptr)
        disconnect(model(), nullptr, this, nullptr);
    QTableView::setModel(newModel);
    if (newModel != nullptr) {
        connect(newModel, &QAbstractItemModel::modelReset, this, &RecordGrid::ApplyColumnWidths);
        // When rows come or go under an open edit, its text has no certain cell to go to
        // any more: handed over, it could land in whichever record moved into its place.
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

void RecordGrid::SetUnencodableTextMessage(
    std::function<QString(const QString& characters)> message) {
    delegate_->SetUnencodableTextMessage(std::move(message));
}

QLineEdit* RecordGrid::CurrentEdit() const {
    return delegate_->CurrentEdit();
}

CellEditEndKey RecordGrid::LastEndKey() const {
    return delegate_->LastEndKey();
}

QLineEdit* RecordGrid::BeginCellEdit(int row, int column) {
    if (model() == nullptr || row < 0 || row >= model()->rowCount())
        return nullptr;
    if (column < 0 || column >= model()->columnCount())
        return nullptr;
    const QModelIndex cell = model()->index(row, column);
    scrollTo(cell, QAbstractItemView::EnsureVisible);
    EndCellEditFromEvent();
    if (!visualRect(cell).isValid() || !edit(cell, QAbstractItemView::AllEditTriggers, nullptr))
        return nullptr;
    QLineEdit* box = CurrentEdit();
    if (box != nullptr) {
        // The cell's text is the starting point, with the caret after it.
        box->deselect();
        box->end(false);
    }
    return box;
}

void RecordGrid::EndCellEdit() {
    delegate_->HandOverNow();
    delegate_->End(CellEditEndKey::Other, true);
}

void RecordGrid::EndCellEditFromEvent() {
    delegate_->End(CellEditEndKey::Other);
}

void RecordGrid::DropCellEdit() {
    delegate_->Drop();
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
        EndCellEditFromEvent();
    QTableView::mousePressEvent(event);
}

void RecordGrid::wheelEvent(QWheelEvent* event) {
    EndCellEditFromEvent();
    QTableView::wheelEvent(event);
}

void RecordGrid::scrollContentsBy(int dx, int dy) {
    EndCellEditFromEvent();
    QTableView::scrollContentsBy(dx, dy);
}

bool RecordGrid::eventFilter(QObject* watched, QEvent* event) {
    // A press on the header (a click on a heading or the start of dragging a divider)
    // ends the edit; the header then does what it does.
    if (watched == horizontalHeader()->viewport() && event->type() == QEvent::MouseButtonPress)
        EndCellEditFromEvent();
    return QTableView::eventFilter(watched, event);
}

}  // namespace brindlecot::controls
