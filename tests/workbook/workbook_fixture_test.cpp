// Workbooks made by another program: LibreOffice Calc (calc_source.*, shared strings) and a
// hand-zipped package (inline_strings.xlsx). See fixtures/make_fixtures.py.

#include "workbook/workbook.h"
#include "workbook_test_support.h"

namespace brindlecot {
namespace {

using testing::Gbk;
using workbook_test::FixturePath;
using workbook_test::Show;

// The active sheet "Data" has its used range at B3:G8 with a blank row 5; the first sheet
// is not active. Booleans, dates (dd/mm/yyyy in the sheet), a time, numbers and texts that
// look like numbers; "  padded  " is trimmed.
TextTable ExpectedCalcTable() {
    return {
        {Gbk("名称"), Gbk("数量"), Gbk("日期"), Gbk("是否"), Gbk("时间"), ""},
        {Gbk("苹果"), "12", "2024-03-05", "TRUE", "13:45:00", ""},
        {"padded", "12.5", "1999-12-31", "FALSE", "", ""},
        {"000123", "-0.001", "1234567890123", "1e5", "3.14159265358979", ""},
        {"", "", "", "", "", Gbk("末尾")},
    };
}

TEST(CalcFixture, XlsxActiveSheetUsedRangeFromItsTopLeftCell) {
    TextTable table;
    const WorkbookStatus status = ReadWorkbook(FixturePath("calc_source.xlsx"), table);
    ASSERT_TRUE(status.ok()) << DescribeWorkbookFailure(status);
    EXPECT_EQ(table, ExpectedCalcTable()) << Show(table);
}

TEST(CalcFixture, XlsActiveSheetUsedRangeFromItsTopLeftCell) {
    TextTable table;
    const WorkbookStatus status = ReadWorkbook(FixturePath("calc_source.xls"), table);
    ASSERT_TRUE(status.ok()) << DescribeWorkbookFailure(status);
    EXPECT_EQ(table, ExpectedCalcTable()) << Show(table);
}

TEST(CalcFixture, FormatIsRecognisedByContentNotByName) {
    TextTable table;
    ASSERT_TRUE(ReadWorkbook(FixturePath("calc_source.xls"), table).ok());
    testing::TempFolder folder;
    const std::string misnamed = folder / "really_binary.xlsx";
    testing::WriteFileBytes(misnamed, testing::ReadFileBytes(FixturePath("calc_source.xls")));
    TextTable fromMisnamed;
    ASSERT_TRUE(ReadWorkbook(misnamed, fromMisnamed).ok());
    EXPECT_EQ(fromMisnamed, table);
}

// Inline and rich-text strings (phonetic runs left out), rows and cells without references,
// a prefixed namespace, the 1904 date system, escaped characters, an error value, a
// formula's cached text; the row of blanks is dropped.
TEST(HandMadeFixture, InlineAndRichStringsSparseCellsAndThe1904System) {
    TextTable table;
    const WorkbookStatus status = ReadWorkbook(FixturePath("inline_strings.xlsx"), table);
    ASSERT_TRUE(status.ok()) << DescribeWorkbookFailure(status);
    const TextTable expected = {
        {Gbk("甲"), "42", "TRUE", ""},
        {Gbk("富文本"), "1904-01-01", "1905-01-01", ""},
        {Gbk("加 粗"), "", "#N/A", Gbk("公式")},
        {"", "0.125", "18:00:00", "ABC"},
    };
    EXPECT_EQ(table, expected) << Show(table);
}

}  // namespace
}  // namespace brindlecot
