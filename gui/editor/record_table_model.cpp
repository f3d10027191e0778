#include "gui/editor/record_table_model.h"

#include "gui/controls/gbk_qstring.h"

#include <QColor>
#include <QSize>

#include "base/gbk_text.h"
#include "gui/controls/record_grid.h"

namespace brindlecot {
namespace {

QColor ToQColor(RowColour colour) {
    return QColor(colour.red, colour.green, colour.blue);
}

}  // namespace

RecordTableModel::RecordTableModel(RecordTable& table, QObject* parent)
    : QAbstractTableModel(parent), table_(table) {
    table_.SetObserver(this);
}

RecordTableModel::~RecordTableModel() {
    table_.SetObserver(nullptr);
}

int RecordTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() || suspended_ ? 0 : table_.RowCount();
}

int RecordTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : table_.ColumnCount();
}

QVariant RecordTableModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const int row = index.row();
    const int column = index.column();
    switch (role) {
        case Qt::DisplayRole:
        case Qt::ToolTipRole:  // a cell too narrow for its text shows it whole on hover
            if (column == 0)
                return QString::number(row + 1);
            return FromGbk(table_.Cell(row, column));
        case Qt::BackgroundRole:
            return ToQColor(table_.Colour(row));
        default:
            return {};
    }
}

QVariant RecordTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || !table_.HasColumn(section))
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (role) {
        case Qt::DisplayRole:
            return FromGbk(table_.Heading(section));
        case controls::kColumnWidthRole:
            return table_.ColumnWidth(section);
        default:
            return {};
    }
}

bool RecordTableModel::IsFieldColumn(int column) const {
    // Neither the row number nor the error column is typed into.
    return column > 0 && column < table_.ErrorColumn();
}

Qt::ItemFlags RecordTableModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
    if (commit_ && IsFieldColumn(index.column()))
        flags |= Qt::ItemIsEditable;
    return flags;
}

bool RecordTableModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::EditRole || !commit_ || !IsFieldColumn(index.column()) ||
        !checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return false;
    const std::optional<std::string> gbk = Utf8ToGbk(value.toString().toStdString());
    if (!gbk)
        return false;
    // The table tells the view what changed through its observer calls.
    return commit_(index.row(), index.column(), *gbk);
}

void RecordTableModel::Suspend() {
    if (suspended_)
        return;
    beginResetModel();
    suspended_ = true;
    table_.SetObserver(nullptr);
    endResetModel();
}

void RecordTableModel::Resume() {
    if (!suspended_)
        return;
    beginResetModel();
    suspended_ = false;
    table_.SetObserver(this);
    endResetModel();
}

void RecordTableModel::RowsAboutToBeInserted(int first, int last) {
    beginInsertRows({}, first, last);
}

void RecordTableModel::RowsInserted(int first, int /*last*/) {
    endInsertRows();
    RowNumbersMoved(first);
}

void RecordTableModel::RowsAboutToBeRemoved(int first, int last) {
    beginRemoveRows({}, first, last);
}

void RecordTableModel::RowsRemoved(int first, int /*last*/) {
    endRemoveRows();
    RowNumbersMoved(first);
}

// The row number column counts positions, so the rows after an insertion or removal show
// other numbers now.
void RecordTableModel::RowNumbersMoved(int first) {
    if (first < table_.RowCount())
        emit dataChanged(index(first, 0), index(table_.RowCount() - 1, 0), {Qt::DisplayRole});
}

void RecordTableModel::CellsChanged(int firstRow, int lastRow, int firstColumn, int lastColumn) {
    emit dataChanged(index(firstRow, firstColumn), index(lastRow, lastColumn),
                     {Qt::DisplayRole, Qt::ToolTipRole, Qt::BackgroundRole});
}

void RecordTableModel::AboutToReset() {
    beginResetModel();
}

void RecordTableModel::Reset() {
    endResetModel();
}

}  // namespace brindlecot
