#include "template/record_table.h"
#include "base/catalogue/dialog_model_dlg_keys.h"

#include <algorithm>
#include <array>
#include <random>
#include <set>

#include "base/message_catalogue.h"
#include "template/template_definition.h"
#include "test_support.h"

namespace brindlecot {
namespace {

using testing::Gbk;

std::vector<RecordColumn> Columns(int fields) {
    std::vector<RecordColumn> columns{{"#", 50}};
    for (int i = 1; i <= fields; ++i)
        columns.push_back({"f" + std::to_string(i), 120});
    columns.push_back({"error", 300});
    return columns;
}

std::vector<std::string> Row(RecordTable& table, int row) {
    std::vector<std::string> cells = table.FieldCells(row);
    cells.emplace_back(table.ErrorText(row));
    return cells;
}

TEST(RecordTable, MatchesASimpleModelUnderRandomEdits) {
    RecordTable table;
    const int fields = 5;
    table.SetColumns(Columns(fields));
    std::vector<std::vector<std::string>> model;  // field cells then the error text
    std::mt19937 random(7);
    const std::vector<std::string> texts = {"",      "a",    Gbk("张三"), std::string(300, 'x'),
                                            "12.50", "\r\n", "20240131"};
    for (int step = 0; step < 4000; ++step) {
        const int op = static_cast<int>(random() % 10);
        const int rows = static_cast<int>(model.size());
        if (op < 2 || rows == 0) {
            table.AppendRow();
            model.emplace_back(fields + 1);
        } else if (op == 2) {
            const int at = static_cast<int>(random() % (rows + 1));
            ASSERT_TRUE(table.InsertRow(at));
            model.insert(model.begin() + at, std::vector<std::string>(fields + 1));
        } else if (op == 3) {
            const int at = static_cast<int>(random() % rows);
            ASSERT_TRUE(table.DeleteRow(at));
            model.erase(model.begin() + at);
        } else if (op == 4 && step % 7 == 0) {
            std::vector<int> doomed;
            for (int i = 0; i < 3; ++i)
                doomed.push_back(static_cast<int>(random() % rows));
            doomed.push_back(-1);
            doomed.push_back(rows);
            const std::set<int> unique(doomed.begin(), doomed.end());
            const int expected = static_cast<int>(std::count_if(
                unique.begin(), unique.end(), [rows](int r) { return r >= 0 && r < rows; }));
            ASSERT_EQ(table.DeleteRows(doomed), expected);
            for (auto it = unique.rbegin(); it != unique.rend(); ++it) {
                if (*it >= 0 && *it < rows)
                    model.erase(model.begin() + *it);
            }
        } else {
            const int row = static_cast<int>(random() % rows);
            const int column = 1 + static_cast<int>(random() % (fields + 1));
            const std::string& text = texts[random() % texts.size()];
            ASSERT_TRUE(table.SetCell(row, column, text));
            model[static_cast<std::size_t>(row)][static_cast<std::size_t>(column - 1)] = text;
        }
        ASSERT_EQ(table.RowCount(), static_cast<int>(model.size()));
        if (step % 50 == 0) {
            for (int row = 0; row < table.RowCount(); ++row)
                ASSERT_EQ(Row(table, row), model[row]) << step;
            const auto errorRows = std::count_if(model.begin(), model.end(), [](const auto& cells) {
                return !cells.back().empty();
            });
            ASSERT_EQ(table.ErrorRowCount(), errorRows) << step;
        }
    }
}

TEST(RecordTable, FindsErrorRowsGoingRoundTheEnds) {
    RecordTable table;
    table.SetColumns(Columns(1));
    const std::vector<std::string> cells{"x"};
    for (int row = 0; row < 6; ++row)
        table.AppendRow(cells, row == 1 || row == 4 ? "broken" : "");
    EXPECT_EQ(table.ErrorRowCount(), 2);
    EXPECT_EQ(table.NextErrorRow(-1, true), 1);
    EXPECT_EQ(table.NextErrorRow(1, true), 4);
    EXPECT_EQ(table.NextErrorRow(4, true), 1);
    EXPECT_EQ(table.NextErrorRow(-1, false), 4);
    EXPECT_EQ(table.NextErrorRow(1, false), 4);
    EXPECT_EQ(table.NextErrorRow(3, false), 1);

    RecordTable copy = table;
    EXPECT_EQ(copy.ErrorRowCount(), 2);
    table.SetErrorText(1, "");
    table.SetErrorText(4, "");
    EXPECT_EQ(table.NextErrorRow(0, true), -1);
    EXPECT_EQ(copy.ErrorRowCount(), 2);
    RecordTable moved = std::move(copy);
    EXPECT_EQ(moved.ErrorRowCount(), 2);
    moved.ClearRows();
    EXPECT_EQ(moved.ErrorRowCount(), 0);
}

TEST(RecordTable, AppendWithCellsAndOutOfRangeArguments) {
    RecordTable table;
    table.SetColumns(Columns(3));
    const std::vector<std::string> cells = {"a", "b", "c", "ignored"};
    EXPECT_EQ(table.AppendRow(cells, "bad"), 0);
    EXPECT_EQ(table.AppendRow(std::span<const std::string>(cells).first(1)), 1);
    EXPECT_EQ(Row(table, 0), (std::vector<std::string>{"a", "b", "c", "bad"}));
    EXPECT_EQ(Row(table, 1), (std::vector<std::string>{"a", "", "", ""}));

    EXPECT_FALSE(table.SetCell(0, 0, "x"));
    EXPECT_FALSE(table.SetCell(0, 5, "x"));
    EXPECT_FALSE(table.SetCell(2, 1, "x"));
    EXPECT_FALSE(table.InsertRow(3));
    EXPECT_FALSE(table.DeleteRow(-1));
    EXPECT_EQ(table.Cell(5, 1), "");
    EXPECT_EQ(table.DisplayText(0, 9), "");
    EXPECT_EQ(table.RowCount(), 2);
}

TEST(RecordTable, RowNumbersAndColoursFollowTheRows) {
    RecordTable table;
    table.SetColumns(Columns(1));
    for (int i = 0; i < 400; ++i)
        table.SetCell(table.AppendRow(), 1, std::to_string(i));
    table.SetErrorText(10, "broken");
    EXPECT_EQ(table.Colour(10), kErrorRowColour);
    EXPECT_EQ(table.Colour(11), kNormalRowColour);
    EXPECT_EQ(kErrorRowColour, (RowColour{255, 140, 140}));

    const std::vector<int> selected = {399, 3, 200};
    EXPECT_EQ(table.DeleteRows(selected), 3);
    ASSERT_EQ(table.RowCount(), 397);
    for (int row = 0; row < 397; ++row)
        EXPECT_EQ(table.DisplayText(row, 0), std::to_string(row + 1));
    EXPECT_EQ(table.Cell(3, 1), "4");
    EXPECT_EQ(table.Cell(198, 1), "199");
    EXPECT_EQ(table.Cell(199, 1), "201");
    EXPECT_EQ(table.Cell(396, 1), "398");
    EXPECT_TRUE(table.IsErrorRow(9));  // was row 10
    EXPECT_EQ(table.DisplayText(9, 2), "broken");
    table.SetErrorText(9, "");
    EXPECT_EQ(table.Colour(9), kNormalRowColour);
}

TEST(RecordTable, SelectionMovesWithItsRows) {
    RecordTable table;
    table.SetColumns(Columns(1));
    for (int i = 0; i < 6; ++i)
        table.SetCell(table.AppendRow(), 1, std::to_string(i));
    table.SetRowSelected(1, true);
    table.SetRowSelected(4, true);
    table.SetRowSelected(5, true);
    table.SetRowSelected(5, false);
    table.SetRowSelected(9, true);
    EXPECT_EQ(table.SelectedRows(), (std::vector<int>{1, 4}));
    table.DeleteRow(0);
    EXPECT_EQ(table.SelectedRows(), (std::vector<int>{0, 3}));
    EXPECT_EQ(table.DeleteRows(table.SelectedRows()), 2);
    EXPECT_TRUE(table.SelectedRows().empty());
    EXPECT_EQ(table.FieldCells(0), (std::vector<std::string>{"2"}));
}

class RecordingObserver : public RecordTableObserver {
public:
    void RowsAboutToBeInserted(int f, int l) override { Log("about-insert", f, l); }
    void RowsInserted(int f, int l) override { Log("insert", f, l); }
    void RowsAboutToBeRemoved(int f, int l) override { Log("about-remove", f, l); }
    void RowsRemoved(int f, int l) override { Log("remove", f, l); }
    void CellsChanged(int fr, int lr, int fc, int lc) override {
        Log("cells", fr, lr);
        events.back() += " " + std::to_string(fc) + "-" + std::to_string(lc);
    }
    void AboutToReset() override { events.push_back("about-reset"); }
    void Reset() override { events.push_back("reset"); }

    void Log(const char* what, int first, int last) {
        events.push_back(std::string(what) + " " + std::to_string(first) + "-" +
                         std::to_string(last));
    }
    std::vector<std::string> events;
};

TEST(RecordTable, TellsItsViewAboutEveryChange) {
    RecordTable table;
    RecordingObserver view;
    table.SetObserver(&view);
    table.SetColumns(Columns(2));
    for (int i = 0; i < 5; ++i)
        table.AppendRow();
    table.SetCell(1, 2, "v");
    table.SetErrorText(1, "e");  // the whole row changes colour
    table.SetErrorText(1, "f");  // still an error row: only the cell
    table.DeleteRows(std::vector<int>{3, 2});
    table.DeleteRows(std::vector<int>{0, 2});
    {
        RecordTable::BulkChange bulk(table);
        table.AppendRow();
        table.SetCell(0, 1, "x");
        RecordTable::BulkChange nested(table);
        table.InsertRow(0);
    }
    EXPECT_EQ(view.events, (std::vector<std::string>{"about-reset",
                                                     "reset",
                                                     "about-insert 0-0",
                                                     "insert 0-0",
                                                     "about-insert 1-1",
                                                     "insert 1-1",
                                                     "about-insert 2-2",
                                                     "insert 2-2",
                                                     "about-insert 3-3",
                                                     "insert 3-3",
                                                     "about-insert 4-4",
                                                     "insert 4-4",
                                                     "cells 1-1 2-2",
                                                     "cells 1-1 0-3",
                                                     "cells 1-1 3-3",
                                                     "about-remove 2-3",
                                                     "remove 2-3",
                                                     "about-reset",
                                                     "reset",
                                                     "about-reset",
                                                     "reset"}));
    table.SetObserver(nullptr);
}

// Rows kept aside for undo: scattered rows go out and come back in their places, with
// the count of error rows kept right, and a swap exchanges contents both ways.
TEST(RecordTable, KeptRowsGoAndComeBackInTheirPlaces) {
    RecordTable table;
    table.SetColumns(Columns(2));
    for (int row = 0; row < 8; ++row) {
        const std::array<std::string, 2> cells{"a" + std::to_string(row), "b"};
        table.AppendRow(cells, row % 3 == 0 ? "broken" : "");
    }
    std::vector<std::vector<std::string>> before;
    for (int row = 0; row < table.RowCount(); ++row)
        before.push_back(Row(table, row));
    const int errors = table.ErrorRowCount();

    const std::array<int, 3> scattered{0, 4, 7};
    RecordTable::KeptRows kept = table.TakeRows(scattered);
    EXPECT_EQ(kept.Count(), 3);
    EXPECT_EQ(table.RowCount(), 5);
    EXPECT_EQ(table.ErrorRowCount(), errors - 1);  // of the error rows 0, 3 and 6, row 0 went
    EXPECT_EQ(Row(table, 0), before[1]);
    ASSERT_TRUE(table.PutBackRows(kept));
    EXPECT_TRUE(kept.Empty());
    for (int row = 0; row < table.RowCount(); ++row)
        EXPECT_EQ(Row(table, row), before[static_cast<std::size_t>(row)]);
    EXPECT_EQ(table.ErrorRowCount(), errors);

    const std::array<int, 2> rewritten{1, 3};
    RecordTable::KeptRows copies = table.CopyRows(rewritten);
    table.SetCell(1, 1, "changed");
    table.SetErrorText(1, "now broken");
    table.SetErrorText(3, "");
    ASSERT_TRUE(table.SwapRows(copies));
    EXPECT_EQ(Row(table, 1), before[1]);
    EXPECT_EQ(Row(table, 3), before[3]);
    EXPECT_EQ(table.ErrorRowCount(), errors);
    ASSERT_TRUE(table.SwapRows(copies));
    EXPECT_EQ(table.Cell(1, 1), "changed");
    EXPECT_EQ(table.ErrorRowCount(), errors);  // row 1 broken now, row 3 mended

    // Positions that are not ascending or out of range change nothing.
    const std::array<int, 2> unordered{3, 1};
    EXPECT_TRUE(table.TakeRows(unordered).Empty());
    const std::array<int, 1> beyond{99};
    EXPECT_TRUE(table.TakeRows(beyond).Empty());
    EXPECT_EQ(table.RowCount(), 8);
    RecordTable::KeptRows all = table.TakeAllRows();
    EXPECT_EQ(table.RowCount(), 0);
    EXPECT_EQ(table.ErrorRowCount(), 0);
    ASSERT_TRUE(table.PutBackRows(all));
    EXPECT_EQ(table.RowCount(), 8);
}

class RecordColumnsTest : public testing::CatalogueTest {};

TEST_F(RecordColumnsTest, BuildsRowNumberFieldAndErrorColumns) {
    Template definition;
    for (int index : {1, 2, 3}) {
        FieldItem field;
        field.index = index;
        field.name = Gbk(index == 1 ? "账号" : index == 2 ? "隐藏" : "金额");
        field.visible = index != 2;
        field.columnNumber = index == 1 ? 1 : index == 2 ? -1 : 2;
        AddField(definition, field);
    }
    RecordTable table;
    table.AppendRow();
    BuildRecordColumns(definition, table);
    ASSERT_EQ(table.ColumnCount(), 4);
    EXPECT_EQ(table.RowCount(), 0);
    EXPECT_EQ(table.Heading(0), LoadMessage(catalogue::DialogModelDlg::kRowNumberHeading));
    EXPECT_EQ(table.Heading(1), Gbk("账号"));
    EXPECT_EQ(table.Heading(2), Gbk("金额"));
    EXPECT_EQ(table.Heading(3), LoadMessage(catalogue::DialogModelDlg::kErrorHeading));
    EXPECT_EQ(table.ColumnWidth(0), 50);
    EXPECT_EQ(table.ColumnWidth(1), 120);
    EXPECT_EQ(table.ColumnWidth(3), 300);
    EXPECT_EQ(table.ErrorColumn(), 3);
    EXPECT_EQ(FindFieldByColumn(definition, 2)->name, Gbk("金额"));

    EXPECT_EQ(FindColumnByHeading(definition, table, Gbk("金额")), 2);
    EXPECT_EQ(FindColumnByHeading(definition, table, Gbk("隐藏")), -1);
    // The error column is never a target for imported data, though the field count
    // (3) reaches its position.
    EXPECT_EQ(FindColumnByHeading(definition, table,
                                  LoadMessage(catalogue::DialogModelDlg::kErrorHeading)),
              -1);
    EXPECT_EQ(FindColumnByHeading(definition, table,
                                  LoadMessage(catalogue::DialogModelDlg::kRowNumberHeading)),
              -1);
}

TEST_F(RecordColumnsTest, TemplateWithoutVisibleFieldsHasTwoColumns) {
    Template definition;
    FieldItem field;
    field.index = 1;
    field.name = "h";
    field.columnNumber = -1;
    AddField(definition, field);
    RecordTable table;
    BuildRecordColumns(definition, table);
    EXPECT_EQ(table.ColumnCount(), 2);
    EXPECT_EQ(table.ErrorColumn(), 1);
    EXPECT_EQ(table.FieldColumnCount(), 0);
    const int row = table.AppendRow();
    EXPECT_TRUE(table.FieldCells(row).empty());
    EXPECT_FALSE(table.IsErrorRow(row));
}

}  // namespace
}  // namespace brindlecot
