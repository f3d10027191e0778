#pragma once

#include <QAbstractTableModel>

#include <functional>
#include <string>

#include "template/record_table.h"

namespace brindlecot {

// The record grid's view of a RecordTable. The table stays the only copy of the records:
// every answer is read from it when the view asks, and its observer calls become the
// model's change signals. Texts are GBK in the table and UTF-8 here.
//
// The field columns are editable: setData hands the text to the commit function (the
// editor's check-and-store path), which decides what the cell becomes.
class RecordTableModel final : public QAbstractTableModel, private RecordTableObserver {
    Q_OBJECT

public:
    // The table must outlive the model; the model observes it until destroyed.
    explicit RecordTableModel(RecordTable& table, QObject* parent = nullptr);
    ~RecordTableModel() override;

    RecordTableModel(const RecordTableModel&) = delete;
    RecordTableModel& operator=(const RecordTableModel&) = delete;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    // Horizontal: the column heading, and the column's width for the grid.
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // Hands an edited text (Qt::EditRole) of a field column to the commit function, in GBK.
    // False when nobody commits, the text has no GBK form, or the commit refuses it.
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

    // Decides an edited cell: true when the text was taken. Without one nothing is
    // editable.
    using CellCommit = std::function<bool(int row, int column, const std::string& gbkText)>;
    void SetCellCommit(CellCommit commit) { commit_ = std::move(commit); }

    const RecordTable& Table() const { return table_; }

    // While a command changes the table on another thread the view must not read it: the
    // model shows no rows and stops observing the table until Resume shows it whole
    // again. The columns stay, as no command changes them.
    void Suspend();
    void Resume();

private:
    void RowsAboutToBeInserted(int first, int last) override;
    void RowsInserted(int first, int last) override;
    void RowsAboutToBeRemoved(int first, int last) override;
    void RowsRemoved(int first, int last) override;
    void CellsChanged(int firstRow, int lastRow, int firstColumn, int lastColumn) override;
    void AboutToReset() override;
    void Reset() override;
    void RowNumbersMoved(int first);

    bool IsFieldColumn(int column) const;

    RecordTable& table_;
    CellCommit commit_;
    bool suspended_ = false;
};

}  // namespace brindlecot
