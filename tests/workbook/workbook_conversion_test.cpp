// Workbook <-> delimited text conversions and the messages they show.

#include "workbook/workbook_conversion.h"
#include "base/app_path.h"
#include "workbook_test_support.h"

namespace brindlecot {
namespace {

using testing::Gbk;
using testing::ReadFileBytes;
using testing::TempFolder;
using testing::WriteFileBytes;
using workbook_test::RecordingInterface;
using workbook_test::Show;

TEST(DelimitedText, OneSeparatorByteBetweenCellsAndCrLfAfterEachRow) {
    TempFolder folder;
    const std::string path = folder / "out.txt";
    ASSERT_TRUE(WriteDelimitedText(path, {{"a", Gbk("中文"), ""}, {"", "b", "c"}}, '|'));
    EXPECT_EQ(ReadFileBytes(path), "a|" + Gbk("中文") + "|\r\n|b|c\r\n");
    ASSERT_TRUE(WriteDelimitedText(path, {{"a", "b"}, {}}, '\0'));  // truncates the earlier file
    EXPECT_EQ(ReadFileBytes(path), "ab\r\n\r\n");
    EXPECT_FALSE(WriteDelimitedText(folder / "missing/out.txt", {{"a"}}, '|'));
}

TEST(DelimitedText, SplitCutsAtEverySeparatorAndSkipsEmptyLines) {
    const TextTable rows = SplitDelimitedText("x|y|\r\n\r\n\n||\nlast", '|');
    EXPECT_EQ(rows, (TextTable{{"x", "y", ""}, {"", "", ""}, {"last"}}));
    EXPECT_EQ(SplitDelimitedText("a|b\r\n", '\0'), (TextTable{{"a|b"}}));
    EXPECT_EQ(SplitDelimitedText("a,b\n", '|'), (TextTable{{"a,b"}}));
    EXPECT_TRUE(SplitDelimitedText("\r\n\n", '|').empty());
}

TEST(DelimitedText, SplitNeverCutsATwoByteCharacterWhoseSecondByteIsTheSeparator) {
    const std::string rare = "\x81\x7C";  // a GBK character ending in the byte of '|'
    ASSERT_TRUE(GbkToUtf8(rare).has_value());
    EXPECT_EQ(SplitDelimitedText(rare + "|b|" + rare + "\r\n", '|'),
              (TextTable{{rare, "b", rare}}));
    EXPECT_EQ(SplitDelimitedText(Gbk("甲") + "|" + "\r\n", '|'), (TextTable{{Gbk("甲"), ""}}));
}

// Catalogue texts come from a catalogue of the test's own.
class Conversion : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directories(folder_.path() / "language");
        WriteFileBytes(folder_ / "language/msgSimChi.ini",
                       "[stdafx]\r\nmsg9=read failed\r\nmsg10=write failed\r\nmsg11=cannot "
                       "read\r\nmsg12=cannot write\r\n"
                       "[DialogSingleFileCrypt]\r\nmsg8=cannot make workbook\r\n");
        SetAppFolder(folder_.path().string());
    }

    TempFolder folder_;
    RecordingInterface ui_;
};

TEST_F(Conversion, WorkbookToTextWritesEveryNonEmptyRowHeaderIncluded) {
    const std::string book = folder_ / "in.xlsx";
    ASSERT_TRUE(
        WriteWorkbook(book, {{Gbk("姓名"), Gbk("金额")}, {"", ""}, {Gbk("张三"), "000123"}}).ok());
    ASSERT_TRUE(ConvertWorkbookToText(ui_, book, folder_ / "out.txt", '|'));
    EXPECT_EQ(ReadFileBytes(folder_ / "out.txt"), Gbk("姓名|金额\r\n张三|000123\r\n"));
    EXPECT_TRUE(ui_.Messages().empty());
}

TEST_F(Conversion, UnreadableWorkbookRemovesTheTextFileAndSaysWhy) {
    WriteFileBytes(folder_ / "out.txt", "stale");
    WriteFileBytes(folder_ / "bad.xls", "not a workbook");
    EXPECT_FALSE(ConvertWorkbookToText(ui_, folder_ / "bad.xls", folder_ / "out.txt", '|'));
    EXPECT_FALSE(std::filesystem::exists(folder_ / "out.txt"));
    ASSERT_EQ(ui_.Messages().size(), 1u);
    EXPECT_EQ(ui_.Messages()[0].caption, "Brindlecot");
    EXPECT_EQ(ui_.Messages()[0].text.rfind("read failed\n", 0), 0u) << ui_.Messages()[0].text;
}

TEST_F(Conversion, UnwritableTextFileShowsTheWriteMessage) {
    const std::string book = folder_ / "in.xls";
    ASSERT_TRUE(WriteWorkbook(book, {{"a"}}).ok());
    EXPECT_FALSE(ConvertWorkbookToText(ui_, book, folder_ / "missing/out.txt", '|'));
    ASSERT_EQ(ui_.Messages().size(), 1u);
    EXPECT_EQ(ui_.Messages()[0].caption, "Brindlecot");
    EXPECT_EQ(ui_.Messages()[0].text, "write failed");
}

TEST_F(Conversion, TextToWorkbookAndBackGivesTheSameText) {
    const std::string text = Gbk("x|y|\r\n\r\n名称|000123|1e5\r\n");
    WriteFileBytes(folder_ / "in.txt", text);
    for (const char* name : {"back.xls", "back.xlsx"}) {
        ASSERT_TRUE(ConvertTextToWorkbook(ui_, folder_ / "in.txt", folder_ / name, '|'));
        TextTable table;
        ASSERT_TRUE(ReadWorkbook(folder_ / name, table).ok());
        EXPECT_EQ(table, (TextTable{{"x", "y", ""}, {Gbk("名称"), "000123", "1e5"}}))
            << Show(table);
        ASSERT_TRUE(ConvertWorkbookToText(ui_, folder_ / name, folder_ / "again.txt", '|'));
        EXPECT_EQ(ReadFileBytes(folder_ / "again.txt"), Gbk("x|y|\r\n名称|000123|1e5\r\n"));
    }
    EXPECT_TRUE(ui_.Messages().empty());
}

TEST_F(Conversion, TextToWorkbookFailures) {
    EXPECT_FALSE(ConvertTextToWorkbook(ui_, folder_ / "absent.txt", folder_ / "out.xls", '|'));
    EXPECT_TRUE(ui_.Messages().empty());  // nothing to say: the caller wrote that file itself

    WriteFileBytes(folder_ / "in.txt", "a|\x81\r\n");  // a lone GBK lead byte
    EXPECT_FALSE(ConvertTextToWorkbook(ui_, folder_ / "in.txt", folder_ / "out.xls", '|'));
    ASSERT_EQ(ui_.Messages().size(), 1u);
    EXPECT_EQ(ui_.Messages()[0].caption, "Brindlecot");
    EXPECT_EQ(ui_.Messages()[0].text, "cannot make workbook\nB1: the text is not valid GBK");
    EXPECT_FALSE(std::filesystem::exists(folder_ / "out.xls"));
}

TEST_F(Conversion, FailureBoxesForCallersOfTheBridge) {
    ShowWorkbookReadFailure(ui_, WorkbookStatus{WorkbookError::Malformed, "damaged", ""});
    ShowWorkbookWriteFailure(ui_, WorkbookStatus{WorkbookError::TooLarge, "too many rows", ""});
    ASSERT_EQ(ui_.Messages().size(), 2u);
    EXPECT_EQ(ui_.Texts(),
              (std::vector<std::string>{"cannot read\ndamaged", "cannot write\ntoo many rows"}));
    EXPECT_EQ(ui_.Messages()[0].caption, "Brindlecot");
    EXPECT_EQ(ui_.Messages()[1].caption, "Brindlecot");
}

}  // namespace
}  // namespace brindlecot
