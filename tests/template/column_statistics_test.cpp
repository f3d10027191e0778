#include "template/column_statistics.h"
#include "base/catalogue/dialog_model_dlg_keys.h"

#include <random>

#include "base/message_catalogue.h"
#include "base/message_format.h"
#include "template/record_table.h"
#include "template/template_definition.h"
#include "test_support.h"

namespace brindlecot {
namespace {

using testing::Gbk;

TEST(StatisticsFlags, FindsKeywordsAnywhere) {
    EXPECT_EQ(StatisticsFlags("sum,avg"), StatSum | StatAvg);
    EXPECT_EQ(StatisticsFlags("summary"), StatSum);
    EXPECT_EQ(StatisticsFlags("minmax"), StatMin | StatMax);
    EXPECT_EQ(StatisticsFlags("max/min/avg/sum"), 15);
    EXPECT_EQ(StatisticsFlags("SUM"), 0);
    EXPECT_EQ(StatisticsFlags(""), 0);
}

TEST(ParseStatistics, ReadsEntries) {
    std::vector<StatisticsEntry> entries;
    const std::string yuan = Gbk("元");
    ASSERT_EQ(ParseStatistics("3|sum,avg|0|" + yuan + "-7|max|1|x", entries),
              StatisticsParseError::None);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0], (StatisticsEntry{3, StatSum | StatAvg, false, yuan}));
    EXPECT_EQ(entries[1], (StatisticsEntry{7, StatMax, true, "x"}));

    // A label character whose second byte is '|' does not split the entry.
    entries.clear();
    const std::string trailBar = "\x81\x7C";
    ASSERT_TRUE(GbkToUtf8(trailBar).has_value());
    ASSERT_EQ(ParseStatistics("3|sum|0|" + trailBar, entries), StatisticsParseError::None);
    EXPECT_EQ(entries[0].label, trailBar);

    entries.clear();
    ASSERT_EQ(ParseStatistics("1|summary|0|x", entries), StatisticsParseError::None);
    EXPECT_EQ(entries[0].functions, StatSum);

    // Indexes and flags are not squeezed into a byte.
    entries.clear();
    ASSERT_EQ(ParseStatistics("300|sum|256|", entries), StatisticsParseError::None);
    EXPECT_EQ(entries[0].fieldIndex, 300);
    EXPECT_TRUE(entries[0].hundredths);
    EXPECT_EQ(entries[0].label, "");
}

TEST(ParseStatistics, RefusesMalformedValues) {
    for (const std::string value :
         {"1|sum|0", "1|sum|0|x|y", "", "-", "1|sum|0|x-", "1|sum|0|x--2|sum|0|y"}) {
        std::vector<StatisticsEntry> entries;
        EXPECT_EQ(ParseStatistics(value, entries), StatisticsParseError::Malformed) << value;
    }
    // Entries before the bad one stay.
    std::vector<StatisticsEntry> entries;
    EXPECT_EQ(ParseStatistics("1|sum|0|a-2|sum", entries), StatisticsParseError::Malformed);
    EXPECT_EQ(entries.size(), 1u);
}

TEST(ParseStatistics, RefusesValuesBeyondTheTables) {
    std::string hundred;
    for (int i = 0; i < 100; ++i)
        hundred += (i ? "-" : "") + std::to_string(i) + "|sum|0|x";
    std::vector<StatisticsEntry> entries;
    EXPECT_EQ(ParseStatistics(hundred, entries), StatisticsParseError::None);
    EXPECT_EQ(entries.size(), 100u);
    entries.clear();
    EXPECT_EQ(ParseStatistics(hundred + "-100|sum|0|x", entries),
              StatisticsParseError::TooManyEntries);

    entries.clear();
    EXPECT_EQ(ParseStatistics("1|sum|0|" + std::string(99, 'a'), entries),
              StatisticsParseError::None);
    EXPECT_EQ(ParseStatistics("1|sum|0|" + std::string(100, 'a'), entries),
              StatisticsParseError::LabelTooLong);
}

class ComputeStatisticsTest : public testing::CatalogueTest {
protected:
    void SetUp() override {
        CatalogueTest::SetUp();
        definition_.name = "t";
        AddVisible(1, Gbk("户名"));
        AddVisible(2, Gbk("金额"));
        FieldItem hidden;
        hidden.index = 3;
        hidden.name = "hidden";
        hidden.columnNumber = -1;
        AddField(definition_, hidden);
        BuildRecordColumns(definition_, table_);
        ASSERT_EQ(table_.ColumnCount(), 4);
    }

    void AddVisible(int index, const std::string& name) {
        FieldItem field;
        field.index = index;
        field.name = name;
        field.visible = true;
        field.columnNumber = index;
        AddField(definition_, field);
    }

    void AddRow(const std::string& amount, const std::string& error = "") {
        const int row = table_.AppendRow();
        table_.SetCell(row, 1, "x");
        table_.SetCell(row, 2, amount);
        table_.SetErrorText(row, error);
    }

    void UseStatistics(const std::string& value) {
        definition_.statistics.clear();
        ASSERT_EQ(ParseStatistics(value, definition_.statistics), StatisticsParseError::None);
    }

    static std::string CountLine(long long rows) {
        return FormatMessage(LoadMessage(catalogue::DialogModelDlg::kStatisticsRows), {rows}) +
               "\r\n";
    }

    // The figures as the catalogue pieces put them together, one piece per flag.
    static std::string Pieces(std::string text,
                              const std::vector<std::pair<CatalogueKey, std::string>>& pieces,
                              const std::string& label) {
        for (const auto& [key, amount] : pieces) {
            text = FormatMessage(
                LoadMessage(key),
                {std::string_view(text), std::string_view(amount), std::string_view(label)});
        }
        return text;
    }

    Template definition_;
    RecordTable table_;
};

TEST_F(ComputeStatisticsTest, WithoutRowsOnlyTheCountLine) {
    UseStatistics("2|sum|0|x");
    ASSERT_FALSE(LoadMessage(catalogue::DialogModelDlg::kStatisticsRows).empty());
    EXPECT_EQ(ComputeStatistics(definition_, table_), CountLine(0));
}

TEST_F(ComputeStatisticsTest, SumsAmountsOfRowsWithoutErrors) {
    const std::string yuan = Gbk("元");
    UseStatistics("2|sum|0|" + yuan);
    AddRow("10.5");
    AddRow("1,000");
    AddRow("99999", "broken");
    AddRow("0.29");
    const std::string text = ComputeStatistics(definition_, table_);
    EXPECT_EQ(text, Pieces(CountLine(4) + "\r\n" + Gbk("金额") + ": ",
                           {{catalogue::DialogModelDlg::kStatisticsSum, "1,010.79"}}, yuan));
    EXPECT_NE(text.find("1,010.79"), std::string::npos);
}

TEST_F(ComputeStatisticsTest, AllFourFiguresInOrder) {
    UseStatistics("2|min,max,avg,sum|0|u");
    AddRow("1");
    AddRow("4");
    AddRow("2");
    EXPECT_EQ(ComputeStatistics(definition_, table_),
              Pieces(CountLine(3) + "\r\n" + Gbk("金额") + ": ",
                     {{catalogue::DialogModelDlg::kStatisticsSum, "7.00"},
                      {catalogue::DialogModelDlg::kStatisticsAverage, "2.33"},
                      {catalogue::DialogModelDlg::kStatisticsMaximum, "4.00"},
                      {catalogue::DialogModelDlg::kStatisticsMinimum, "1.00"}},
                     "u"));
}

TEST_F(ComputeStatisticsTest, HundredthsFlagReadsCellsAsTheyAre) {
    AddRow("12345");
    UseStatistics("2|sum|1|u");
    EXPECT_NE(ComputeStatistics(definition_, table_).find("123.45"), std::string::npos);
    UseStatistics("2|sum|0|u");
    EXPECT_NE(ComputeStatistics(definition_, table_).find("12,345.00"), std::string::npos);
}

TEST_F(ComputeStatisticsTest, RoundsToWholeHundredthsHalfToEven) {
    UseStatistics("2|avg|1|u");
    AddRow("1");
    AddRow("4");  // average 2.5 hundredths
    EXPECT_EQ(ComputeStatistics(definition_, table_),
              Pieces(CountLine(2) + "\r\n" + Gbk("金额") + ": ",
                     {{catalogue::DialogModelDlg::kStatisticsAverage, "0.02"}}, "u"));
    table_.SetCell(1, 2, "6");  // average 3.5 hundredths
    EXPECT_EQ(ComputeStatistics(definition_, table_),
              Pieces(CountLine(2) + "\r\n" + Gbk("金额") + ": ",
                     {{catalogue::DialogModelDlg::kStatisticsAverage, "0.04"}}, "u"));
}

TEST_F(ComputeStatisticsTest, EmptyAndNonNumericCellsCountAsZeroRows) {
    UseStatistics("2|avg,min|0|u");
    AddRow("");
    AddRow("3");
    AddRow("abc");
    EXPECT_EQ(ComputeStatistics(definition_, table_),
              Pieces(CountLine(3) + "\r\n" + Gbk("金额") + ": ",
                     {{catalogue::DialogModelDlg::kStatisticsAverage, "1.00"},
                      {catalogue::DialogModelDlg::kStatisticsMinimum, "0.00"}},
                     "u"));
}

TEST_F(ComputeStatisticsTest, NegativeAndLargeFigures) {
    UseStatistics("2|sum,min|1|u");
    AddRow("123456789");
    AddRow("-5");
    const std::string text = ComputeStatistics(definition_, table_);
    EXPECT_NE(text.find("1,234,567.84"), std::string::npos) << text;
    EXPECT_NE(text.find("-0.05"), std::string::npos) << text;
}

TEST_F(ComputeStatisticsTest, EveryRowAnErrorRowEndsAfterTheFirstFoundEntry) {
    UseStatistics("2|sum|0|u-1|sum|0|v");
    AddRow("1", "e");
    AddRow("2", "e");
    EXPECT_EQ(ComputeStatistics(definition_, table_), CountLine(2) + "\r\n");
}

TEST_F(ComputeStatisticsTest, SkipsEntriesWithoutAColumn) {
    // Field 9 does not exist, field 3 is invisible; neither adds a line.
    UseStatistics("9|sum|0|a-3|sum|0|b-2|sum|0|c");
    AddRow("2");
    EXPECT_EQ(ComputeStatistics(definition_, table_),
              Pieces(CountLine(1) + "\r\n" + Gbk("金额") + ": ",
                     {{catalogue::DialogModelDlg::kStatisticsSum, "2.00"}}, "c"));
}

TEST_F(ComputeStatisticsTest, TwoEntriesEachOnTheirOwnLine) {
    UseStatistics("2|sum|0|a-2|max|0|b");
    AddRow("2");
    AddRow("3");
    const std::string first = Pieces(CountLine(2) + "\r\n" + Gbk("金额") + ": ",
                                     {{catalogue::DialogModelDlg::kStatisticsSum, "5.00"}}, "a");
    EXPECT_EQ(ComputeStatistics(definition_, table_),
              Pieces(first + "\r\n" + Gbk("金额") + ": ",
                     {{catalogue::DialogModelDlg::kStatisticsMaximum, "3.00"}}, "b"));
}

TEST_F(ComputeStatisticsTest, TableWithoutColumnsGivesTheCountLine) {
    UseStatistics("2|sum|0|x");
    RecordTable bare;
    bare.AppendRow();
    bare.AppendRow();
    EXPECT_EQ(ComputeStatistics(definition_, bare), CountLine(2));
}

TEST_F(ComputeStatisticsTest, CachedRecomputationFollowsEveryChange) {
    UseStatistics("2|sum,avg,max,min|0|a-1|sum|1|b");
    std::mt19937 random(11);
    StatisticsCache cache;
    for (int i = 0; i < 50; ++i)
        AddRow(std::to_string(random() % 1000) + ".5");
    for (int step = 0; step < 600; ++step) {
        const int rows = table_.RowCount();
        const int row = rows > 0 ? static_cast<int>(random() % rows) : 0;
        switch (random() % 8) {
            case 0:
                table_.DeleteRow(row);
                break;
            case 1:
                table_.InsertRow(row);
                break;
            case 2:
                table_.SetErrorText(row, table_.IsErrorRow(row) ? "" : "e");
                break;
            case 3:
                table_.DeleteRows(std::vector<int>{row, row / 2});
                break;
            case 4:
                UseStatistics(step % 2 ? "2|max|1|c" : "2|sum,avg,max,min|0|a-1|sum|1|b");
                break;
            default:
                table_.SetCell(row, 1 + static_cast<int>(random() % 2),
                               std::to_string(random() % 10000));
                break;
        }
        if (step % 97 == 0) {
            RecordTable copy = table_;  // a copy must not be mistaken for the cached table
            ASSERT_EQ(ComputeStatistics(definition_, copy, cache),
                      ComputeStatistics(definition_, copy));
        }
        ASSERT_EQ(ComputeStatistics(definition_, table_, cache),
                  ComputeStatistics(definition_, table_))
            << step;
    }
}

}  // namespace
}  // namespace brindlecot
