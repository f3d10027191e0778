// What we write comes back unchanged through our readers. (Our .xls reader is held to
// FreeXL, an independent reader, in xls_oracle_test.cpp.)

#include <algorithm>

#include "workbook/workbook.h"
#include "workbook_test_support.h"

namespace brindlecot {
namespace {

using testing::Gbk;
using testing::TempFolder;
using workbook_test::Show;

class RoundTrip : public ::testing::TestWithParam<const char*> {
protected:
    std::string Target(const std::string& stem = "out") { return folder_ / (stem + GetParam()); }

    TextTable WriteAndRead(const TextTable& table) {
        const std::string path = Target();
        const WorkbookStatus written = WriteWorkbook(path, table);
        EXPECT_TRUE(written.ok()) << DescribeWorkbookFailure(written);
        TextTable back;
        const WorkbookStatus read = ReadWorkbook(path, back);
        EXPECT_TRUE(read.ok()) << DescribeWorkbookFailure(read);
        return back;
    }

    TempFolder folder_;
};

TEST_P(RoundTrip, ChineseNumericLookingEmptyAndLongTextsComeBackIdentical) {
    std::string longText;
    while (longText.size() < 700)
        longText += Gbk("代发工资批次") + "0123456789";
    const TextTable table = {
        {Gbk("姓名"), Gbk("账号"), Gbk("金额"), Gbk("备注")},
        {Gbk("张三"), "000123", "12.50", ""},
        {"", "1e5", "-0", Gbk("￥１２３")},
        {Gbk("李四"), "", "TRUE", longText},
        {"2024-01-01", "0x1F", "1,234.00", "=SUM(A1:A2)"},
    };
    const TextTable back = WriteAndRead(table);
    EXPECT_EQ(back, table) << Show(back);
}

TEST_P(RoundTrip, RaggedRowsAreWidenedAndBlankRowsVanish) {
    const TextTable table = {{"a"}, {}, {"", "", ""}, {"b", "c", "d"}};
    const TextTable back = WriteAndRead(table);
    const TextTable expected = {{"a", "", ""}, {"b", "c", "d"}};
    EXPECT_EQ(back, expected) << Show(back);
}

TEST_P(RoundTrip, CellsAreTrimmedOnReading) {
    const TextTable back = WriteAndRead({{"  x  ", "\ty"}, {"   ", "z"}});
    const TextTable expected = {{"x", "y"}, {"", "z"}};
    EXPECT_EQ(back, expected) << Show(back);
}

TEST_P(RoundTrip, EmptyTableGivesAnEmptySheet) {
    const TextTable back = WriteAndRead({});
    EXPECT_TRUE(back.empty());
}

// Many strings of every length, narrow and wide, so that the shared-string table of the
// .xls runs over many CONTINUE records with strings split at their boundaries.
TEST_P(RoundTrip, ManyLongStringsSurviveRecordBoundaries) {
    TextTable table;
    for (int i = 0; i < 1500; ++i) {
        std::string text;
        const bool wide = i % 3 == 0;
        const std::string piece = wide ? Gbk("汉字") : std::string("ab");
        while (text.size() < static_cast<std::size_t>(1 + (i * 37) % 900))
            text += piece;
        text += std::to_string(i);
        table.push_back({text, std::to_string(i)});
    }
    table.push_back({std::string(8000, 'x'), Gbk("长") + std::string(5000, 'a')});
    std::string wideLong;
    for (int i = 0; i < 4000; ++i)
        wideLong += Gbk("宽");
    table.push_back({wideLong, "end"});
    const TextTable back = WriteAndRead(table);
    ASSERT_EQ(back.size(), table.size());
    for (std::size_t r = 0; r < table.size(); ++r)
        ASSERT_TRUE(back[r] == table[r]) << "row " << r;
}

TEST_P(RoundTrip, LongestCellIsAcceptedOneMoreCharacterIsRefused) {
    const std::string longest(32767, 'q');
    const WorkbookStatus written = WriteWorkbook(Target("longest"), {{longest}});
    EXPECT_TRUE(written.ok()) << DescribeWorkbookFailure(written);
    TextTable back;
    ASSERT_TRUE(ReadWorkbook(Target("longest"), back).ok());
    EXPECT_TRUE(back == TextTable{{longest}});
    const WorkbookStatus status =
        WriteWorkbook(Target("too_long"), {{"a"}, {"b", std::string(32768, 'q')}});
    EXPECT_EQ(status.error, WorkbookError::TooLarge);
    EXPECT_EQ(status.cell, "B2");
    EXPECT_EQ(folder_.Entries().size(), 1u);  // only the first workbook
}

// Cells far longer than one record holds: 20,000 characters, and 32,767 Chinese ones (about
// 100,000 bytes of UTF-8), which switch between one and two bytes a character where a
// narrow text shares their records.
TEST_P(RoundTrip, CellsSpanningManyRecordsComeBack) {
    std::string wide;
    for (int i = 0; i < 32767; ++i)
        wide += Gbk(i % 2 ? "汉" : "字");
    std::string mixed;
    while (mixed.size() < 30000)
        mixed += Gbk("代发") + "abcdefghijklmnop";
    const TextTable table = {
        {std::string(20000, 'n'), "x"},
        {mixed, std::string(20000, '7')},
        {wide, Gbk("尾")},
    };
    const TextTable back = WriteAndRead(table);
    ASSERT_EQ(back.size(), table.size());
    for (std::size_t r = 0; r < table.size(); ++r)
        EXPECT_TRUE(back[r] == table[r]) << "row " << r;
}

TEST_P(RoundTrip, NothingButTheWorkbookIsLeftBesideIt) {
    const std::string path = Target();
    ASSERT_TRUE(WriteWorkbook(path, {{"a", "b"}}).ok());
    ASSERT_TRUE(WriteWorkbook(path, {{"c"}}).ok());  // replaces the first
    EXPECT_EQ(folder_.Entries(), std::vector<std::string>{"out" + std::string(GetParam())});
    TextTable back;
    ASSERT_TRUE(ReadWorkbook(path, back).ok());
    EXPECT_EQ(back, (TextTable{{"c"}}));
}

TEST_P(RoundTrip, TextThatIsNotGbkIsRefusedNamingTheCellAndTheOldFileStays) {
    const std::string path = Target();
    ASSERT_TRUE(WriteWorkbook(path, {{"old"}}).ok());
    const WorkbookStatus status = WriteWorkbook(path, {{"a", "b"}, {"c", "d"}, {"e", "\x81"}});
    EXPECT_EQ(status.error, WorkbookError::NotGbk);
    EXPECT_EQ(status.cell, "B3");
    // Empty cells are stepped over when the cell is named.
    EXPECT_EQ(WriteWorkbook(path, {{"a", ""}, {"", "b", "\x81"}}).cell, "C2");
    TextTable back;
    ASSERT_TRUE(ReadWorkbook(path, back).ok());
    EXPECT_EQ(back, (TextTable{{"old"}}));
    EXPECT_EQ(folder_.Entries().size(), 1u);
}

TEST_P(RoundTrip, UnwritableFolderFailsWithoutLeavingAnything) {
    const WorkbookStatus status =
        WriteWorkbook(folder_ / ("missing/out" + std::string(GetParam())), {{"a"}});
    EXPECT_EQ(status.error, WorkbookError::CannotWrite);
    EXPECT_TRUE(folder_.Entries().empty());
}

INSTANTIATE_TEST_SUITE_P(BothFormats, RoundTrip, ::testing::Values(".xls", ".xlsx"),
                         [](const auto& info) { return std::string(info.param + 1); });

TEST(RoundTripLimits, XlsHoldsItsFullRowCount) {
    TempFolder folder;
    TextTable table(kXlsMaxRows);
    for (std::size_t r = 0; r < table.size(); ++r)
        table[r] = {std::to_string(r), Gbk("行") + std::to_string(r * 7)};
    const std::string path = folder / "full.xls";
    ASSERT_TRUE(WriteWorkbook(path, table).ok());
    TextTable back;
    const WorkbookStatus read = ReadWorkbook(path, back);
    ASSERT_TRUE(read.ok()) << DescribeWorkbookFailure(read);
    ASSERT_EQ(back.size(), table.size());
    EXPECT_TRUE(back == table);
}

TEST(RoundTripLimits, XlsHoldsThe256thColumn) {
    TempFolder folder;
    TextTable table(3, TextRow(kXlsMaxColumns));
    for (std::size_t c = 0; c < kXlsMaxColumns; ++c)
        table[c % 3][c] = CellReference(c % 3, c);
    const std::string path = folder / "wide.xls";
    ASSERT_TRUE(WriteWorkbook(path, table).ok());
    TextTable back;
    ASSERT_TRUE(ReadWorkbook(path, back).ok());
    EXPECT_EQ(back, table);
}

TEST(RoundTripLimits, XlsxHoldsMoreRowsThanXls) {
    TempFolder folder;
    TextTable table(kXlsMaxRows + 1000);
    for (std::size_t r = 0; r < table.size(); ++r)
        table[r] = {std::to_string(r), Gbk("编号") + std::to_string(r)};
    const std::string path = folder / "many.xlsx";
    ASSERT_TRUE(WriteWorkbook(path, table).ok());
    TextTable back;
    ASSERT_TRUE(ReadWorkbook(path, back).ok());
    ASSERT_EQ(back.size(), table.size());
    EXPECT_TRUE(back == table);
}

TEST(RoundTripLimits, TablesOverTheFormatLimitsAreRefusedBeforeWriting) {
    TempFolder folder;
    struct Case {
        std::string name;
        std::size_t rows;
        std::size_t columns;
    };
    for (const Case& c :
         {Case{"rows.xls", kXlsMaxRows + 1, 1}, Case{"cols.xls", 1, kXlsMaxColumns + 1},
          Case{"rows.xlsx", kXlsxMaxRows + 1, 1}, Case{"cols.xlsx", 1, kXlsxMaxColumns + 1}}) {
        const TextTable table(c.rows, TextRow(c.columns));
        const WorkbookStatus status = WriteWorkbook(folder / c.name, table);
        EXPECT_EQ(status.error, WorkbookError::TooLarge) << c.name;
        EXPECT_FALSE(status.detail.empty());
    }
    EXPECT_TRUE(folder.Entries().empty());
}

TEST(RoundTripLimits, OnlyXlsAndXlsxNamesAreWritten) {
    TempFolder folder;
    EXPECT_EQ(WriteWorkbook(folder / "out.csv", {{"a"}}).error, WorkbookError::UnsupportedType);
    EXPECT_EQ(WriteWorkbook(folder / "xls", {{"a"}}).error, WorkbookError::UnsupportedType);
    EXPECT_TRUE(WriteWorkbook(folder / "UPPER.XLS", {{"a"}}).ok());
    EXPECT_EQ(folder.Entries(), std::vector<std::string>{"UPPER.XLS"});
}

}  // namespace
}  // namespace brindlecot
