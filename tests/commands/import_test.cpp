#include <gtest/gtest.h>

#include "base/catalogue/dialog_model_dlg_keys.h"
#include "base/message_format.h"
#include "base/startup.h"
#include "commands/record_export.h"
#include "commands/record_import.h"
#include "filecrypt/installed_key.h"
#include "filecrypt/installed_key_crypt.h"
#include "template/field_rules.h"
#include "tests/commands/app_folder.h"
#include "workbook/workbook.h"

namespace brindlecot {
namespace {

using testing::Gbk;
using testing::ReadFileBytes;
using testing::WriteFileBytes;
using testing_support::AppFolderTest;
using testing_support::FieldSpec;
using testing_support::TemplateSpec;
using Files = std::vector<std::string>;
using Cells = std::vector<std::string>;

// Two visible fields, 10"N" and 8"X": typeLens 18.
TemplateSpec TwoFieldSpec(const std::string& splitter = "") {
    TemplateSpec spec;
    spec.typeLens = 18;
    spec.splitter = splitter;
    spec.fields = {{"N10", 1, "10\"N\"", true, true}, {"X8", 2, "8\"X\""}};
    return spec;
}

class ImportTest : public AppFolderTest {
protected:
    ImportOutcome ImportFile(TemplateEditor& editor, const std::string& name) {
        ui_.fileToOpen = Work(name);
        return ImportRecords(editor);
    }
    static std::vector<Cells> Rows(const TemplateEditor& editor) {
        std::vector<Cells> rows;
        for (int row = 0; row < editor.Records().RowCount(); ++row)
            rows.push_back(editor.Records().FieldCells(row));
        return rows;
    }
    std::string LastText() const {
        return ui_.Messages().empty() ? std::string() : ui_.Messages().back().text;
    }
};

TEST_F(ImportTest, FixedWidthLinesWithCrLfOrLfAndEmptyLinesBetween) {
    auto editor = OpenEditor("fixed", TwoFieldSpec());
    ASSERT_NE(editor, nullptr);
    WriteFileBytes(Work("in.txt"),
                   "0000000123XY      \r\n\r\n\n0000000456ABCDEFGH\n12345678x9Z       ");
    EXPECT_EQ(ImportFile(*editor, "in.txt"), ImportOutcome::Imported);
    EXPECT_EQ(Rows(*editor),
              (std::vector<Cells>{
                  {"0000000123", "XY"}, {"0000000456", "ABCDEFGH"}, {"12345678x9", "Z"}}));
    const RecordTable& records = editor->Records();
    EXPECT_EQ(records.DisplayText(2, 0), "3");  // empty lines got no numbers
    EXPECT_FALSE(records.IsErrorRow(0));
    EXPECT_EQ(records.ErrorText(2), RuleMessage(RuleNotNumeric, editor->Definition().fields[0]));
    EXPECT_EQ(editor->LastImportPath(), Work("in.txt"));
    EXPECT_EQ(ui_.OpenFilters().at(0), EditorText(catalogue::DialogModelDlg::kTextFileFilter));
    EXPECT_TRUE(ui_.Messages().empty());
    EXPECT_FALSE(editor->StatisticsText().empty());
}

TEST_F(ImportTest, SeparatedFixedWidthLineCountsItsLengthWithoutTheSeparators) {
    auto editor = OpenEditor("separated", TwoFieldSpec("|"));
    ASSERT_NE(editor, nullptr);
    WriteFileBytes(Work("in.txt"), "0000000123|XY      \r\n");  // 19 bytes
    EXPECT_EQ(ImportFile(*editor, "in.txt"), ImportOutcome::Imported);
    EXPECT_EQ(Rows(*editor), (std::vector<Cells>{{"0000000123", "XY"}}));
}

TEST_F(ImportTest, LineOfTheWrongLengthEndsTheImportKeepingTheRowsBefore) {
    auto editor = OpenEditor("fixed", TwoFieldSpec());
    ASSERT_NE(editor, nullptr);
    WriteFileBytes(Work("in.txt"),
                   "0000000001A       \r\n0000000002B        \r\n0000000003C       \r\n");
    EXPECT_EQ(ImportFile(*editor, "in.txt"), ImportOutcome::Incomplete);
    EXPECT_EQ(LastText(), EditorText(catalogue::DialogModelDlg::kLineLengthWrong));
    EXPECT_EQ(Rows(*editor), (std::vector<Cells>{{"0000000001", "A"}}));
    EXPECT_EQ(editor->LastImportPath(), Work("in.txt"));
    EXPECT_FALSE(editor->StatisticsText().empty());
}

TEST_F(ImportTest, InvisibleFieldsInTheLineAreSteppedOverNotShiftedIntoTheNextColumn) {
    for (const std::string splitter : {"", "|"}) {
        TemplateSpec spec;
        spec.typeLens = 15;
        spec.splitter = splitter;
        spec.fields = {
            {"A", 1, "5\"X\""}, {"Hidden", 2, "5\"X\"", false, false, "HH"}, {"C", 3, "5\"N\""}};
        auto editor = OpenEditor("hidden" + splitter, spec);
        ASSERT_NE(editor, nullptr);
        AddRecord(*editor, {"left", "00042"});
        ui_.fileToSave = Work("round" + splitter);
        ASSERT_EQ(ExportRecords(*editor), ExportOutcome::Written);
        ASSERT_EQ(ImportFile(*editor, "round" + splitter + ".txt"), ImportOutcome::Imported);
        EXPECT_EQ(Rows(*editor), (std::vector<Cells>{{"left", "00042"}}))
            << "splitter '" << splitter << "'";
        EXPECT_FALSE(editor->Records().IsErrorRow(0));
    }
}

TEST_F(ImportTest, WithoutFillValuesAreNotCheckedAndWithoutSplitterTheyAreEmpty) {
    TemplateSpec separated = TwoFieldSpec(",");
    separated.needFill = false;
    auto editor = OpenEditor("loose", separated);
    ASSERT_NE(editor, nullptr);
    WriteFileBytes(Work("in.txt"), "abc,toolongvalue\r\n");
    EXPECT_EQ(ImportFile(*editor, "in.txt"), ImportOutcome::Imported);
    EXPECT_EQ(Rows(*editor), (std::vector<Cells>{{"abc", "toolongvalue"}}));
    EXPECT_FALSE(editor->Records().IsErrorRow(0));

    TemplateSpec bare = TwoFieldSpec();
    bare.needFill = false;
    auto bareEditor = OpenEditor("bare", bare);
    ASSERT_NE(bareEditor, nullptr);
    EXPECT_EQ(ImportFile(*bareEditor, "in.txt"), ImportOutcome::Imported);
    EXPECT_EQ(Rows(*bareEditor), (std::vector<Cells>{{"", ""}}));
}

// Values are checked as the bytes they are, whether or not the template checks values: a
// NUL, CR or TAB inside one would be written whole into the batch line.
TEST_F(ImportTest, ValuesHoldingLineBreakingBytesMarkTheirRowWithOrWithoutFill) {
    TemplateSpec loose;
    loose.typeLens = 20;
    loose.splitter = "|";
    loose.needFill = false;
    loose.fields = {{"N10", 1, "10\"N\""}, {"X10", 2, "10\"X\""}};
    auto editor = OpenEditor("loose", loose);
    ASSERT_NE(editor, nullptr);
    const std::string nul("1234567890|AB\0CDEFGHIJKLMNOPQRSTUVWXYZ\n", 39);
    WriteFileBytes(Work("in.txt"), nul + "1234567890|AB\tCD\n1234567890|fine\n");
    EXPECT_EQ(ImportFile(*editor, "in.txt"), ImportOutcome::Imported);
    const std::string message = RuleMessage(RuleControlCharacter, editor->Definition().fields[1]);
    EXPECT_EQ(editor->Records().ErrorText(0), message);
    EXPECT_EQ(editor->Records().ErrorText(1), message);
    EXPECT_FALSE(editor->Records().IsErrorRow(2));
    ui_.fileToSave = Work("out.txt");
    EXPECT_EQ(ExportRecords(*editor), ExportOutcome::Refused);
    EXPECT_EQ(LastText(), message);

    auto fixed = OpenEditor("fixed", TwoFieldSpec("|"));
    ASSERT_NE(fixed, nullptr);
    WriteFileBytes(Work("fixed.txt"), std::string("0000000123|XY\0     \r\n", 21));  // 18 + '|'
    EXPECT_EQ(ImportFile(*fixed, "fixed.txt"), ImportOutcome::Imported);
    EXPECT_EQ(fixed->Records().ErrorText(0),
              RuleMessage(RuleControlCharacter, fixed->Definition().fields[1]));
}

// Lines ended by a CR alone would merge into one record and lose fields; reading stops at
// the first such line and says which it is.
TEST_F(ImportTest, ALineEndedByALoneCrStopsTheImportNamingTheLine) {
    TemplateSpec loose = TwoFieldSpec("|");
    loose.needFill = false;
    auto editor = OpenEditor("loose", loose);
    ASSERT_NE(editor, nullptr);
    WriteFileBytes(Work("mac.txt"), "1|x\r2|y\r3|z\r");
    EXPECT_EQ(ImportFile(*editor, "mac.txt"), ImportOutcome::Incomplete);
    EXPECT_EQ(LastText(),
              FormatMessage(EditorText(catalogue::DialogModelDlg::kLoneCarriageReturn), {1LL}));
    EXPECT_EQ(editor->Records().RowCount(), 0);

    WriteFileBytes(Work("mixed.txt"), "1|x\r\n\n2|y\r3|z\r\n");
    EXPECT_EQ(ImportFile(*editor, "mixed.txt"), ImportOutcome::Incomplete);
    EXPECT_EQ(LastText(),
              FormatMessage(EditorText(catalogue::DialogModelDlg::kLoneCarriageReturn), {3LL}));
    EXPECT_EQ(Rows(*editor), (std::vector<Cells>{{"1", "x"}}));
}

// A line of millions of separators gives its first pieces; the rest is never cut up (it
// used to take gigabytes), and the lines after it are read as usual.
TEST_F(ImportTest, AHugeLineOfSeparatorsGivesItsFirstPiecesAndTheNextLinesFollow) {
    TemplateSpec spec = TwoFieldSpec("|");
    spec.needFill = false;
    auto editor = OpenEditor("separated", spec);
    ASSERT_NE(editor, nullptr);
    WriteFileBytes(Work("in.txt"), "a|b" + std::string(5'000'000, '|') + "\r\nc|d\r\n");
    EXPECT_EQ(ImportFile(*editor, "in.txt"), ImportOutcome::Imported);
    EXPECT_EQ(Rows(*editor), (std::vector<Cells>{{"a", "b"}, {"c", "d"}}));
}

TEST_F(ImportTest, FixedWidthWithoutARecordLengthIsRefusedAndEmptiesTheTable) {
    TemplateSpec spec;
    spec.typeLens = 0;
    spec.fields = {{"Free", 1, "X"}};
    auto editor = OpenEditor("nolength", spec);
    ASSERT_NE(editor, nullptr);
    AddRecord(*editor, {"old"});
    WriteFileBytes(Work("in.txt"), "x\r\n");
    EXPECT_EQ(ImportFile(*editor, "in.txt"), ImportOutcome::Failed);
    EXPECT_EQ(LastText(), EditorText(catalogue::DialogModelDlg::kFixedLengthWithoutTypeLens));
    EXPECT_EQ(editor->Records().RowCount(), 0);
    EXPECT_EQ(editor->LastImportPath(), "");
}

TEST_F(ImportTest, FileThatCannotBeReadIsReportedApplicationCaptioned) {
    auto editor = OpenEditor("fixed", TwoFieldSpec());
    ASSERT_NE(editor, nullptr);
    AddRecord(*editor, {"1", "old"});
    EXPECT_EQ(ImportFile(*editor, "gone.txt"), ImportOutcome::Failed);
    ASSERT_EQ(ui_.Messages().size(), 1u);
    EXPECT_EQ(ui_.Messages()[0].caption, kApplicationName);
    EXPECT_EQ(ui_.Messages()[0].text, EditorText(catalogue::DialogModelDlg::kImportFileUnreadable));
    EXPECT_EQ(editor->Records().RowCount(), 0);
}

TEST_F(ImportTest, FieldWithoutALengthAbandonsEachLineAndReadsOn) {
    TemplateSpec spec;
    spec.typeLens = 10;
    spec.fields = {{"N10", 1, "10\"N\""}, {"Free", 2, "X"}};
    auto editor = OpenEditor("zerowidth", spec);
    ASSERT_NE(editor, nullptr);
    WriteFileBytes(Work("in.txt"), "0000000001\r\n0000000002\r\n");
    EXPECT_EQ(ImportFile(*editor, "in.txt"), ImportOutcome::Incomplete);
    ASSERT_EQ(ui_.Messages().size(), 2u);
    EXPECT_EQ(ui_.Messages()[0].text,
              FormatMessage(EditorText(catalogue::DialogModelDlg::kFieldLengthBelowOne),
                            {std::string_view("Free")}));
    EXPECT_EQ(Rows(*editor), (std::vector<Cells>{{"0000000001", ""}, {"0000000002", ""}}));
}

TEST_F(ImportTest, UnusableTypeCodeAbandonsTheLineWithItsMessage) {
    TemplateSpec spec;
    spec.typeLens = 7;
    spec.fields = {{"X2", 1, "2\"X\""}, {"Odd", 2, "3\"N\"+2\"N\"+1\"N\""}};
    auto editor = OpenEditor("oddtype", spec);
    ASSERT_NE(editor, nullptr);
    ASSERT_EQ(TotalLength(spec.fields[1].type), 5);
    WriteFileBytes(Work("in.txt"), "ab12345\r\ncd67890\r\n");
    EXPECT_EQ(ImportFile(*editor, "in.txt"), ImportOutcome::Incomplete);
    ASSERT_EQ(ui_.Messages().size(), 2u);  // once per line: each is abandoned, the next one read
    EXPECT_EQ(LastText(), RuleMessage(RuleBadType, editor->Definition().fields[1]));
    // The value its field cannot check is not put into the record.
    EXPECT_EQ(Rows(*editor), (std::vector<Cells>{{"ab", ""}, {"cd", ""}}));
}

TEST_F(ImportTest, TextExportImportsBackToTheSameRecords) {
    TemplateSpec spec;
    spec.typeLens = 38;
    spec.splitter = "|";
    spec.fields = {{"账号", 1, "10\"N\"", true, true},
                   {"户名", 2, "8\"E\""},
                   {"分", 3, "12\"N\""},
                   {"日期", 4, "YYYYMMDD"}};
    auto editor = OpenEditor("roundtrip", spec);
    ASSERT_NE(editor, nullptr);
    const std::vector<Cells> records = {{"0000000001", Gbk("张三"), "000000001250", "20240229"},
                                        {"0000000002", Gbk("李四"), "000000100000", "20231231"}};
    for (const Cells& record : records)
        AddRecord(*editor, record);
    ui_.fileToSave = Work("batch");
    ASSERT_EQ(ExportRecords(*editor), ExportOutcome::Written);
    ASSERT_EQ(ImportFile(*editor, "batch.txt"), ImportOutcome::Imported);
    std::vector<Cells> read = Rows(*editor);
    ASSERT_EQ(read.size(), 2u);
    // Full-width text comes back as written: full-width, with its full-width fill.
    for (Cells& row : read)
        row[1] = row[1].substr(0, 4);
    EXPECT_EQ(read, records);
    EXPECT_FALSE(editor->Records().IsErrorRow(0));
    EXPECT_FALSE(editor->Records().IsErrorRow(1));
}

// A batch of some megabytes is cut in runs on several threads. What the person sees must
// not show it: rows in the file's order, each message in its line's place, and reading
// stopping at the first bad line even when later lines were already cut.
class BigImportTest : public ImportTest {
protected:
    static constexpr int kLines = 150'000;  // 20 bytes each: about 3 MB
    static std::string Line(int number) {
        char text[32];
        std::snprintf(text, sizeof text, "%010dR%-7d", number, number % 1000);
        return text;
    }
};

TEST_F(BigImportTest, RowsErrorsAndTheStopKeepTheOrderOfTheFile) {
    TemplateSpec spec = TwoFieldSpec();
    spec.statistics = "1|sum,max|1|N";  // the numbers, read over every core too
    auto editor = OpenEditor("fixed", spec);
    ASSERT_NE(editor, nullptr);
    const int stopAt = kLines - 20'000;  // far behind the first runs
    std::string file;
    std::vector<int> brokenRows;
    int rows = 0;
    for (int line = 0; line < kLines; ++line) {
        std::string text = Line(line);
        if (line % 9'973 == 5) {
            text[3] = 'x';  // not a number
            if (line < stopAt)
                brokenRows.push_back(rows);
        }
        if (line == stopAt)
            text += ' ';
        if (line % 7'919 == 0)
            file += "\r\n";  // empty lines are skipped, not numbered
        file += text + "\r\n";
        rows += line < stopAt ? 1 : 0;
    }
    WriteFileBytes(Work("big.txt"), file);
    EXPECT_EQ(ImportFile(*editor, "big.txt"), ImportOutcome::Incomplete);
    ASSERT_EQ(ui_.Messages().size(), 1u);
    EXPECT_EQ(LastText(), EditorText(catalogue::DialogModelDlg::kLineLengthWrong));

    const RecordTable& records = editor->Records();
    ASSERT_EQ(records.RowCount(), stopAt);
    std::vector<int> errorRows;
    for (int row = 0; row < records.RowCount(); ++row) {
        if (records.IsErrorRow(row))
            errorRows.push_back(row);
    }
    EXPECT_EQ(errorRows, brokenRows);
    EXPECT_EQ(records.ErrorRowCount(), static_cast<int>(brokenRows.size()));
    // Rows number their lines but for the empty ones; broken rows are left out of the sum.
    long long sum = 0;
    for (int line = 0; line < stopAt; ++line)
        sum += line % 9'973 == 5 ? 0 : line;
    std::string sumText;
    std::string maximumText;
    FormatCents(std::to_string(sum), sumText, true);
    FormatCents(std::to_string(stopAt - 1), maximumText, true);
    EXPECT_NE(editor->StatisticsText().find(sumText), std::string::npos) << sumText;
    EXPECT_NE(editor->StatisticsText().find(maximumText), std::string::npos) << maximumText;
    for (const int row : {0, 1, 77'777, stopAt - 1}) {
        if (!records.IsErrorRow(row)) {
            const std::string line = Line(row);
            EXPECT_EQ(records.FieldCells(row),
                      (Cells{line.substr(0, 10), "R" + std::to_string(row % 1000)}))
                << "row " << row;
        }
    }
}

TEST_F(BigImportTest, ALoneCrDeepInTheFileIsNamedByItsLineCountingEmptyLines) {
    TemplateSpec loose = TwoFieldSpec("|");
    loose.needFill = false;
    auto editor = OpenEditor("loose", loose);
    ASSERT_NE(editor, nullptr);
    std::string file;
    for (int line = 0; line < kLines; ++line)
        file += line == 123'456 ? "9|z\r" : std::to_string(line) + "|a\r\n\n";
    WriteFileBytes(Work("mac.txt"), file);
    EXPECT_EQ(ImportFile(*editor, "mac.txt"), ImportOutcome::Incomplete);
    EXPECT_EQ(LastText(), FormatMessage(EditorText(catalogue::DialogModelDlg::kLoneCarriageReturn),
                                        {2 * 123'456LL + 1}));
    ASSERT_EQ(editor->Records().RowCount(), 123'456);
    EXPECT_EQ(editor->Records().FieldCells(123'455), (Cells{"123455", "a"}));
}

TEST_F(BigImportTest, ExportWritesBackTheFileItWasImportedFrom) {
    auto editor = OpenEditor("fixed", TwoFieldSpec());
    ASSERT_NE(editor, nullptr);
    std::string file;
    for (int line = 0; line < kLines; ++line)
        file += Line(line) + "\r\n";
    WriteFileBytes(Work("big.txt"), file);
    ASSERT_EQ(ImportFile(*editor, "big.txt"), ImportOutcome::Imported);
    ui_.fileToSave = Work("again");
    ASSERT_EQ(ExportRecords(*editor), ExportOutcome::Written);
    EXPECT_TRUE(ReadFileBytes(Work("again.txt")) == file);
}

// --- workbooks -----------------------------------------------------------------

TemplateSpec WorkbookSpec() {
    TemplateSpec spec;
    spec.in = "xls";
    spec.out = "xls";
    spec.needFill = false;
    spec.typeLens = 30;
    spec.fields = {{"账号", 1, "10\"N\"", true, true},
                   {"备注", 2, "4\"X\"", false, false, "ZZ"},
                   {"户名", 3, "8\"X\""},
                   {"金额", 4, "8\"M\"", true, false, "0"}};
    return spec;
}

TEST_F(ImportTest, WorkbookValuesGoByHeadingAndMissingColumnsGetTheTemplateValue) {
    auto editor = OpenEditor("book", WorkbookSpec());
    ASSERT_NE(editor, nullptr);
    ASSERT_TRUE(WriteWorkbook(Work("in.xls"),
                              {{Gbk("户名"), Gbk("账号")}, {"Li", "12"}, {"", ""}, {"Wang", "x3"}})
                    .ok());
    EXPECT_EQ(ImportFile(*editor, "in.xls"), ImportOutcome::Imported);
    EXPECT_EQ(ui_.OpenFilters().at(0), kWorkbookFilter);
    EXPECT_EQ(Rows(*editor), (std::vector<Cells>{{"12", "Li", "0.00"}, {"x3", "Wang", "0.00"}}));
    EXPECT_EQ(editor->Records().ErrorText(1),
              RuleMessage(RuleNotNumeric, editor->Definition().fields[0]));
    EXPECT_EQ(editor->Records().DisplayText(1, 0), "2");
}

TEST_F(ImportTest, WorkbookColumnsBeyondTheVisibleFieldsAreNotLookedAt) {
    auto editor = OpenEditor("book", WorkbookSpec());
    ASSERT_NE(editor, nullptr);
    ASSERT_TRUE(WriteWorkbook(Work("in.xls"), {{Gbk("账号"), Gbk("户名"), Gbk("金额"), "Notes"},
                                               {"1", "A", "5", "anything"}})
                    .ok());
    EXPECT_EQ(ImportFile(*editor, "in.xls"), ImportOutcome::Imported);
    EXPECT_EQ(Rows(*editor), (std::vector<Cells>{{"1", "A", "5.00"}}));
}

TEST_F(ImportTest, WorkbookHeadingNamingNoFieldEmptiesTheTable) {
    auto editor = OpenEditor("book", WorkbookSpec());
    ASSERT_NE(editor, nullptr);
    AddRecord(*editor, {"1", "old", "1.00"});
    ASSERT_TRUE(WriteWorkbook(Work("in.xls"), {{Gbk("账号"), "Stranger"}, {"1", "x"}}).ok());
    EXPECT_EQ(ImportFile(*editor, "in.xls"), ImportOutcome::Failed);
    EXPECT_EQ(LastText(),
              FormatMessage(EditorText(catalogue::DialogModelDlg::kHeadingMatchesNoField),
                            {std::string_view("Stranger")}));
    EXPECT_EQ(editor->Records().RowCount(), 0);
    EXPECT_EQ(editor->LastImportPath(), Work("in.xls"));  // the import got past its file checks
}

TEST_F(ImportTest, InvisibleFieldWhoseTemplateValueBreaksItsRuleEmptiesTheTable) {
    TemplateSpec spec = WorkbookSpec();
    spec.fields[1].value = "TOOLONG";
    auto editor = OpenEditor("book", spec);
    ASSERT_NE(editor, nullptr);
    ASSERT_TRUE(WriteWorkbook(Work("in.xls"), {{Gbk("账号")}, {"1"}}).ok());
    EXPECT_EQ(ImportFile(*editor, "in.xls"), ImportOutcome::Failed);
    EXPECT_EQ(LastText(),
              FormatMessage(EditorText(catalogue::DialogModelDlg::kInvisibleDefaultFails),
                            {std::string_view(Gbk("备注")), std::string_view("TOOLONG")}));
    EXPECT_EQ(editor->Records().RowCount(), 0);
}

TEST_F(ImportTest, FileThatIsNoWorkbookLeavesTheTableAlone) {
    auto editor = OpenEditor("book", WorkbookSpec());
    ASSERT_NE(editor, nullptr);
    AddRecord(*editor, {"1", "old", "1.00"});
    WriteFileBytes(Work("in.xls"), "just text\r\n");
    EXPECT_EQ(ImportFile(*editor, "in.xls"), ImportOutcome::Failed);
    EXPECT_EQ(LastText(), EditorText(catalogue::DialogModelDlg::kWorkbookReadFailed));
    EXPECT_GE(ui_.Messages().size(), 2u);  // the bridge's own message comes first
    EXPECT_EQ(editor->Records().RowCount(), 1);
    EXPECT_EQ(WorkFiles(), Files{"in.xls"});
}

TEST_F(ImportTest, UnusableTypeCodeInAWorkbookColumnEmptiesTheTable) {
    TemplateSpec spec = WorkbookSpec();
    spec.fields[2].type = "X";  // no length
    spec.typeLens = 22;
    auto editor = OpenEditor("book", spec);
    ASSERT_NE(editor, nullptr);
    AddRecord(*editor, {"1", "old", "1.00"});
    ASSERT_TRUE(WriteWorkbook(Work("in.xls"), {{Gbk("账号"), Gbk("户名")}, {"1", "x"}}).ok());
    EXPECT_EQ(ImportFile(*editor, "in.xls"), ImportOutcome::Failed);
    EXPECT_EQ(LastText(), RuleMessage(RuleBadType, editor->Definition().fields[2]));
    EXPECT_EQ(editor->Records().RowCount(), 0);
}

TEST_F(ImportTest, SealedInputThatIsNoWorkbookLeavesNoScratchFile) {
    InstallTestKey();
    TemplateSpec spec = WorkbookSpec();
    spec.inNeedDescrypt = true;
    auto editor = OpenEditor("sealedbook", spec);
    ASSERT_NE(editor, nullptr);
    WriteFileBytes(Work("plain"), "not a workbook\r\n");
    ASSERT_EQ(CryptWithInstalledKey(kCryptModeSeal, Work("plain"), Work("in.xls")), 0);
    EXPECT_EQ(ImportFile(*editor, "in.xls"), ImportOutcome::Failed);
    EXPECT_EQ(LastText(), EditorText(catalogue::DialogModelDlg::kWorkbookReadFailed));
    EXPECT_EQ(WorkFiles(), (Files{"in.xls", "plain"}));
}

TEST_F(ImportTest, ExportedWorkbookWithItsInvisibleFieldColumnImportsBack) {
    auto editor = OpenEditor("book", WorkbookSpec());
    ASSERT_NE(editor, nullptr);
    AddRecord(*editor, {"7", "Zhao", "3.50"});
    AddRecord(*editor, {"8", Gbk("钱"), "4.00"});
    ui_.fileToSave = Work("out");
    ASSERT_EQ(ExportRecords(*editor), ExportOutcome::Written);
    ASSERT_EQ(ImportFile(*editor, "out.xls"), ImportOutcome::Imported) << LastText();
    EXPECT_EQ(Rows(*editor), (std::vector<Cells>{{"7", "Zhao", "3.50"}, {"8", Gbk("钱"), "4.00"}}));
}

// --- sealed input ----------------------------------------------------------------

TEST_F(ImportTest, SealedTextInputIsOpenedAndTheChosenFileIsRememberedAsImported) {
    InstallTestKey();
    TemplateSpec spec = TwoFieldSpec();
    spec.inNeedDescrypt = true;
    auto editor = OpenEditor("sealed", spec);
    ASSERT_NE(editor, nullptr);
    WriteFileBytes(Work("plain"), "0000000123XY      \r\n");
    ASSERT_EQ(CryptWithInstalledKey(kCryptModeSeal, Work("plain"), Work("in.txt")), 0);
    // A file of the clerk's under the name the decrypted copy once had is not touched.
    WriteFileBytes(Work("in.txt_temp"), "the clerk's own file\r\n");

    EXPECT_EQ(ImportFile(*editor, "in.txt"), ImportOutcome::Imported);
    EXPECT_EQ(Rows(*editor), (std::vector<Cells>{{"0000000123", "XY"}}));
    EXPECT_EQ(editor->LastImportPath(), Work("in.txt"));
    EXPECT_EQ(WorkFiles(), (Files{"in.txt", "in.txt_temp", "plain"}));
    EXPECT_EQ(ReadFileBytes(Work("in.txt_temp")), "the clerk's own file\r\n");

    // So exporting over the sealed file just imported is refused.
    const std::string sealed = ReadFileBytes(Work("in.txt"));
    ui_.fileToSave = Work("in.txt");
    EXPECT_EQ(ExportRecords(*editor), ExportOutcome::Refused);
    EXPECT_EQ(LastText(), EditorText(catalogue::DialogModelDlg::kExportOverImport));
    EXPECT_EQ(ReadFileBytes(Work("in.txt")), sealed);
}

TEST_F(ImportTest, InputThatDoesNotOpenLeavesTheTableAndNoScratchFile) {
    InstallTestKey();
    TemplateSpec spec = TwoFieldSpec();
    spec.inNeedDescrypt = true;
    auto editor = OpenEditor("sealed", spec);
    ASSERT_NE(editor, nullptr);
    AddRecord(*editor, {"1", "old"});
    WriteFileBytes(Work("in.txt"), std::string(64, 'p'));  // not sealed with this key
    EXPECT_EQ(ImportFile(*editor, "in.txt"), ImportOutcome::Failed);
    EXPECT_EQ(LastText(), EditorText(catalogue::DialogModelDlg::kImportDecryptFailed));
    EXPECT_EQ(editor->Records().RowCount(), 1);
    EXPECT_EQ(WorkFiles(), Files{"in.txt"});
}

TEST_F(ImportTest, SealedInputWithoutAnInstalledKeyStopsBeforeAnyDialog) {
    TemplateSpec spec = TwoFieldSpec();
    spec.inNeedDescrypt = true;
    auto editor = OpenEditor("sealed", spec);
    ASSERT_NE(editor, nullptr);
    WriteFileBytes(Work("in.txt"), "x");
    EXPECT_EQ(ImportFile(*editor, "in.txt"), ImportOutcome::Refused);
    EXPECT_EQ(LastText(), EditorText(catalogue::DialogModelDlg::kNoKeyInstalled));
    EXPECT_TRUE(ui_.OpenFilters().empty());
}

TEST_F(ImportTest, SealedWorkbookExportImportsAgain) {
    InstallTestKey();
    TemplateSpec spec = WorkbookSpec();
    spec.inNeedDescrypt = true;
    spec.outNeedEncrypt = true;
    auto editor = OpenEditor("sealedbook", spec);
    ASSERT_NE(editor, nullptr);
    for (int row = 0; row < 30; ++row)
        AddRecord(*editor, {std::to_string(row), "n" + std::to_string(row), "1.00"});
    const std::vector<Cells> written = Rows(*editor);
    ui_.fileToSave = Work("book");
    ASSERT_EQ(ExportRecords(*editor), ExportOutcome::Written);
    EXPECT_EQ(WorkFiles(), Files{"book.xls"});
    TextTable notReadable;
    EXPECT_FALSE(ReadWorkbook(Work("book.xls"), notReadable).ok());  // sealed, not a workbook

    ASSERT_EQ(ImportFile(*editor, "book.xls"), ImportOutcome::Imported) << LastText();
    EXPECT_EQ(Rows(*editor), written);
    EXPECT_EQ(WorkFiles(), Files{"book.xls"});
}

TEST_F(ImportTest, TemplateReadingNeitherFormatKeepsTheRowsButRemembersTheFile) {
    TemplateSpec spec = TwoFieldSpec();
    spec.in = "none";
    auto editor = OpenEditor("noinput", spec);
    ASSERT_NE(editor, nullptr);
    AddRecord(*editor, {"1", "kept"});
    WriteFileBytes(Work("in.txt"), "0000000123XY      \r\n");
    EXPECT_EQ(ImportFile(*editor, "in.txt"), ImportOutcome::Imported);
    EXPECT_EQ(Rows(*editor), (std::vector<Cells>{{"1", "kept"}}));
    EXPECT_EQ(editor->LastImportPath(), Work("in.txt"));
    EXPECT_TRUE(ui_.OpenFilters().at(0).empty());
}

// The window runs the second half on a worker thread: whatever it says goes to the
// interface lent for the run, and the progress ends at the size of the file.
TEST_F(ImportTest, TheSecondHalfSpeaksThroughTheLentInterfaceAndCountsTheFile) {
    auto editor = OpenEditor("fixed", TwoFieldSpec());
    ASSERT_NE(editor, nullptr);
    const std::string lines = "0000000123XY      \r\n0000000456ABCDEFGH\r\n";
    WriteFileBytes(Work("in.txt"), lines);
    ui_.fileToOpen = Work("in.txt");
    ImportOutcome ended = ImportOutcome::Imported;
    const std::optional<std::string> chosen = ChooseImportFile(*editor, ended);
    ASSERT_EQ(chosen, Work("in.txt"));

    testing::ScriptedUserInterface lent;
    {
        const TemplateEditor::UiLoan loan(*editor, lent);
        EXPECT_EQ(ImportRecordsFrom(*editor, Work("missing.txt")), ImportOutcome::Failed);
        EXPECT_EQ(ImportRecordsFrom(*editor, *chosen), ImportOutcome::Imported);
    }
    EXPECT_EQ(lent.Messages().size(), 1u);
    EXPECT_TRUE(ui_.Messages().empty());
    EXPECT_EQ(Rows(*editor).size(), 2u);
    EXPECT_EQ(editor->Progress().done.load(), lines.size());
    EXPECT_EQ(editor->Progress().expected.load(), lines.size());

    // The loan has ended: the editor speaks through its own interface again.
    EXPECT_EQ(ImportRecordsFrom(*editor, Work("missing.txt")), ImportOutcome::Failed);
    EXPECT_EQ(ui_.Messages().size(), 1u);

    ui_.fileToOpen = std::string();
    EXPECT_FALSE(ChooseImportFile(*editor, ended));
    EXPECT_EQ(ended, ImportOutcome::Cancelled);
}

}  // namespace
}  // namespace brindlecot
