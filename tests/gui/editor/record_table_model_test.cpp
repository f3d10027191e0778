#include "gui/editor/record_table_model.h"

#include <QAbstractItemModelTester>
#include <QColor>
#include <QSignalSpy>
#include <QTest>

#include <array>
#include <string>
#include <vector>

#include "gui/controls/record_grid.h"
#include "tests/support/gbk_literal.h"

namespace brindlecot {
namespace {

using testing::Gbk;

// Row number column, two field columns, error column, as the editor builds them.
RecordTable MakeTable() {
    RecordTable table;
    table.SetColumns({{Gbk("序号"), 50}, {Gbk("姓名"), 120}, {"amount", 120}, {Gbk("错误"), 300}});
    return table;
}

class RecordTableModelTest : public QObject {
    Q_OBJECT

private slots:
    void ShowsTheTableThroughTheConversion() {
        RecordTable table = MakeTable();
        const std::array<std::string, 2> cells{Gbk("张三"), "12.50"};
        table.AppendRow(cells);
        RecordTableModel model(table);

        QCOMPARE(model.rowCount(), 1);
        QCOMPARE(model.columnCount(), 4);
        QCOMPARE(model.headerData(1, Qt::Horizontal).toString(), QString::fromUtf8("姓名"));
        QCOMPARE(model.headerData(3, Qt::Horizontal, controls::kColumnWidthRole).toInt(), 300);
        QCOMPARE(model.data(model.index(0, 0)).toString(), QStringLiteral("1"));
        QCOMPARE(model.data(model.index(0, 1)).toString(), QString::fromUtf8("张三"));
        QCOMPARE(model.data(model.index(0, 2)).toString(), QStringLiteral("12.50"));
        QVERIFY(!(model.flags(model.index(0, 1)) & Qt::ItemIsEditable));
    }

    // While an import refills the table on a worker thread the model shows no rows and
    // says nothing; afterwards it shows the table whole and follows it again.
    void ASuspendedModelShowsNothingAndHearsNothingUntilResumed() {
        RecordTable table = MakeTable();
        table.AppendRow();
        RecordTableModel model(table);
        QAbstractItemModelTester tester(&model,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
        QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
        QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);

        model.Suspend();
        QCOMPARE(model.rowCount(), 0);
        QCOMPARE(model.columnCount(), 4);
        for (int i = 0; i < 5; ++i)
            table.AppendRow();
        table.SetCell(2, 1, "x");
        QCOMPARE(model.rowCount(), 0);
        QCOMPARE(inserted.count(), 0);
        QCOMPARE(changed.count(), 0);

        model.Resume();
        QCOMPARE(resets.count(), 2);
        QCOMPARE(model.rowCount(), 6);
        QCOMPARE(model.data(model.index(2, 1)).toString(), QStringLiteral("x"));
        table.AppendRow();
        QCOMPARE(inserted.count(), 1);
        QCOMPARE(model.rowCount(), 7);
    }

    // Every change made to the table directly is seen by the view without a copy. The
    // model tester checks the signals of appends, removals at the end, cell changes and
    // resets; it also compares column 0 across insertions and removals in the middle,
    // which by design shows positions, so those are checked by hand below.
    void FollowsEveryKindOfChange() {
        RecordTable table = MakeTable();
        RecordTableModel model(table);
        {
            QAbstractItemModelTester tester(&model,
                                            QAbstractItemModelTester::FailureReportingMode::QtTest);
            for (int i = 0; i < 20; ++i)
                table.AppendRow();
            QCOMPARE(model.rowCount(), 20);
            table.SetCell(3, 1, "x");
            table.SetErrorText(4, "e");
            const std::vector<int> tail{18, 19};
            table.DeleteRows(tail);
            const std::vector<int> scattered{1, 5, 9};  // one reset
            table.DeleteRows(scattered);
            {
                RecordTable::BulkChange bulk(table);
                for (int i = 0; i < 100; ++i)
                    table.AppendRow();
            }
            QCOMPARE(model.rowCount(), 115);
            table.RenumberRows();
            table.ClearRows();
            QCOMPARE(model.rowCount(), 0);
            table.SetColumns({{"a", 50}, {"b", 300}});
            QCOMPARE(model.columnCount(), 2);
        }

        table.SetColumns({{"#", 50}, {"a", 120}, {"error", 300}});
        for (int i = 0; i < 5; ++i)
            table.AppendRow();
        QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
        QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
        QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
        table.InsertRow(1);
        table.SetCell(1, 1, "x");
        QCOMPARE(inserted.size(), 1);
        QCOMPARE(inserted[0][1].toInt(), 1);
        // The rows below were told that their numbers moved.
        QCOMPARE(changed[0][0].toModelIndex(), model.index(1, 0));
        QCOMPARE(changed[0][1].toModelIndex(), model.index(5, 0));
        QCOMPARE(model.data(model.index(5, 0)).toString(), QStringLiteral("6"));
        table.DeleteRow(0);
        QCOMPARE(removed.size(), 1);
        QCOMPARE(model.rowCount(), 5);
        QCOMPARE(model.data(model.index(0, 1)).toString(), QStringLiteral("x"));
        QCOMPARE(model.data(model.index(0, 0)).toString(), QStringLiteral("1"));
    }

    void RowColourFollowsTheErrorColumn() {
        RecordTable table = MakeTable();
        table.AppendRow();
        table.AppendRow();
        RecordTableModel model(table);
        QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);

        table.SetErrorText(1, Gbk("金额错误"));
        QCOMPARE(model.data(model.index(1, 2), Qt::BackgroundRole).value<QColor>(),
                 QColor(255, 140, 140));
        QCOMPARE(model.data(model.index(0, 2), Qt::BackgroundRole).value<QColor>(),
                 QColor(255, 255, 255));
        // The whole row is repainted when its colour changes, not just the error cell.
        QCOMPARE(changed.size(), 1);
        QCOMPARE(changed[0][0].toModelIndex().column(), 0);
        QCOMPARE(changed[0][1].toModelIndex().column(), 3);

        table.SetErrorText(1, "");
        QCOMPARE(model.data(model.index(1, 0), Qt::BackgroundRole).value<QColor>(),
                 QColor(255, 255, 255));
    }

    // Bytes that are not GBK are shown as replacement characters, not dropped.
    void ShowsDamagedBytesVisibly() {
        RecordTable table = MakeTable();
        table.AppendRow();
        table.SetCell(0, 1, std::string("a\x81", 2));
        RecordTableModel model(table);
        QCOMPARE(model.data(model.index(0, 1)).toString(), QString::fromUtf8("a\uFFFD"));
    }

    void StopsObservingWhenDestroyed() {
        RecordTable table = MakeTable();
        { RecordTableModel model(table); }
        table.AppendRow();  // would reach a dead observer otherwise (caught by ASan)
        QCOMPARE(table.RowCount(), 1);
    }
};

}  // namespace
}  // namespace brindlecot

QTEST_MAIN(brindlecot::RecordTableModelTest)
#include "record_table_model_test.moc"
