#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "base/catalogue/dialog_model_dlg_keys.h"
#include "base/crypto_binding.h"
#include "commands/batch_text.h"
#include "commands/record_export.h"
#include "filecrypt/installed_key.h"
#include "filecrypt/installed_key_crypt.h"
#include "tests/commands/app_folder.h"
#include "tests/support/file_size_limit.h"
#include "workbook/workbook.h"

namespace brindlecot {
namespace {

using testing::FileSizeLimit;
using testing::Gbk;
using testing::ReadFileBytes;
using testing::WriteFileBytes;
using testing_support::AppFolderTest;
using testing_support::TemplateSpec;
using Files = std::vector<std::string>;

// Fields 1 (10"N"), 2 (5"X", invisible, template value AB) and 3 (8"X"), typeLens 23.
TemplateSpec ThreeFieldSpec(const std::string& splitter = "") {
    TemplateSpec spec;
    spec.typeLens = 23;
    spec.splitter = splitter;
    spec.fields = {{"A", 1, "10\"N\""}, {"B", 2, "5\"X\"", false, false, "AB"}, {"C", 3, "8\"X\""}};
    return spec;
}

class ExportTest : public AppFolderTest {
protected:
    // Exports the one record 123 / XY of ThreeFieldSpec to work/<chosen>.
    ExportOutcome ExportOneRecord(const TemplateSpec& spec, const std::string& chosen) {
        editor_ = OpenEditor("batch", spec);
        if (!editor_)
            return ExportOutcome::Failed;
        AddRecord(*editor_, {"123", "XY"});
        ui_.fileToSave = Work(chosen);
        return ExportRecords(*editor_);
    }
    std::string LastText() const {
        return ui_.Messages().empty() ? std::string() : ui_.Messages().back().text;
    }

    std::unique_ptr<TemplateEditor> editor_;
};

TEST_F(ExportTest, FixedWidthLineIsTheFieldsPaddedInIndexOrderThenCrLf) {
    ASSERT_EQ(ExportOneRecord(ThreeFieldSpec(), "out"), ExportOutcome::Written);
    EXPECT_EQ(ReadFileBytes(Work("out.txt")), "0000000123AB   XY      \r\n");
    EXPECT_EQ(WorkFiles(), Files{"out.txt"});
    EXPECT_EQ(LastText(), EditorText(catalogue::DialogModelDlg::kExportDone));
    ASSERT_EQ(ui_.SaveFilters().size(), 1u);
    EXPECT_EQ(ui_.SaveFilters()[0], EditorText(catalogue::DialogModelDlg::kTextFileFilter));
}

TEST_F(ExportTest, SplitterIsWrittenWholeBetweenFieldsOnly) {
    ASSERT_EQ(ExportOneRecord(ThreeFieldSpec("|"), "one.txt"), ExportOutcome::Written);
    const std::string oneCharacter = ReadFileBytes(Work("one.txt"));
    EXPECT_EQ(oneCharacter, "0000000123|AB   |XY      \r\n");
    EXPECT_EQ(oneCharacter.size(), 25u + 2u);

    ASSERT_EQ(ExportOneRecord(ThreeFieldSpec("<#>"), "many.txt"), ExportOutcome::Written);
    EXPECT_EQ(ReadFileBytes(Work("many.txt")), "0000000123<#>AB   <#>XY      \r\n");
}

TEST_F(ExportTest, GbkValuesAreWrittenAsHeldAndFullWidthFieldsAreFilledWithFullWidthBlanks) {
    TemplateSpec spec;
    spec.typeLens = 16;
    spec.fields = {{"E6", 1, "6\"E\""}, {"E4", 2, "4\"E\""}, {"X6", 3, "6\"X\""}};
    auto editor = OpenEditor("gbk", spec);
    ASSERT_NE(editor, nullptr);
    AddRecord(*editor, {"ab", Gbk("张"), Gbk("张三")});
    ui_.fileToSave = Work("gbk.txt");
    ASSERT_EQ(ExportRecords(*editor), ExportOutcome::Written);
    EXPECT_EQ(ReadFileBytes(Work("gbk.txt")),
              "\xA3\xE1\xA3\xE2\xA1\xA1"  // ab in full width, one full-width blank
              "\xD5\xC5\xA1\xA1"          // 张 and one full-width blank
              "\xD5\xC5\xC8\xFD  "        // 张三 and two blanks
              "\r\n");
}

TEST_F(ExportTest, WithoutFillEveryCellKeepsItsLengthAndRecordsFollowGridOrder) {
    TemplateSpec spec = ThreeFieldSpec(",");
    spec.needFill = false;
    auto editor = OpenEditor("plain", spec);
    ASSERT_NE(editor, nullptr);
    AddRecord(*editor, {"1", "x"});
    AddRecord(*editor, {"22", ""});
    ui_.fileToSave = Work("plain.txt");
    ASSERT_EQ(ExportRecords(*editor), ExportOutcome::Written);
    EXPECT_EQ(ReadFileBytes(Work("plain.txt")), "1,AB,x\r\n22,AB,\r\n");
}

TEST_F(ExportTest, FieldsSharingANameEachCarryTheirOwnValues) {
    TemplateSpec spec;
    spec.typeLens = 6;
    spec.fields = {{"X", 1, "3\"X\""}, {"X", 2, "3\"X\""}};
    auto editor = OpenEditor("twins", spec);
    ASSERT_NE(editor, nullptr);
    AddRecord(*editor, {"a", "b"});
    ui_.fileToSave = Work("twins.txt");
    ASSERT_EQ(ExportRecords(*editor), ExportOutcome::Written);
    EXPECT_EQ(ReadFileBytes(Work("twins.txt")), "a  b  \r\n");
}

TEST_F(ExportTest, ExtensionIsAddedOnlyWhenItOccursNowhereInTheName) {
    ASSERT_EQ(ExportOneRecord(ThreeFieldSpec(), "a.txt.bak"), ExportOutcome::Written);
    ASSERT_EQ(ExportOneRecord(ThreeFieldSpec(), "b.txt"), ExportOutcome::Written);
    ASSERT_EQ(ExportOneRecord(ThreeFieldSpec(), "c"), ExportOutcome::Written);
    EXPECT_EQ(WorkFiles(), (Files{"a.txt.bak", "b.txt", "c.txt"}));
}

TEST_F(ExportTest, ExistingOutputIsReplacedWholeNeverAppendedTo) {
    WriteFileBytes(Work("out.txt"), std::string(1000, 'J'));
    ASSERT_EQ(ExportOneRecord(ThreeFieldSpec(), "out.txt"), ExportOutcome::Written);
    EXPECT_EQ(ReadFileBytes(Work("out.txt")), "0000000123AB   XY      \r\n");
    EXPECT_EQ(WorkFiles(), Files{"out.txt"});
}

TEST_F(ExportTest, WorkbookStartsWithAllFieldNamesAndHoldsUnpaddedValues) {
    TemplateSpec spec = ThreeFieldSpec();
    spec.out = "xls";
    ASSERT_EQ(ExportOneRecord(spec, "book"), ExportOutcome::Written);
    EXPECT_EQ(ui_.SaveFilters().at(0), kWorkbookFilter);
    TextTable table;
    ASSERT_TRUE(ReadWorkbook(Work("book.xls"), table).ok());
    EXPECT_EQ(table, (TextTable{{"A", "B", "C"}, {"123", "AB", "XY"}}));
    EXPECT_EQ(WorkFiles(), Files{"book.xls"});
}

TEST_F(ExportTest, WorkbookUnderANameWithoutWorkbookExtensionIsStillAWorkbook) {
    TemplateSpec spec = ThreeFieldSpec();
    spec.out = "xls";
    ASSERT_EQ(ExportOneRecord(spec, "book.xls.bak"), ExportOutcome::Written);
    TextTable table;
    ASSERT_TRUE(ReadWorkbook(Work("book.xls.bak"), table).ok());
    EXPECT_EQ(table.size(), 2u);
    EXPECT_EQ(WorkFiles(), Files{"book.xls.bak"});
}

TEST_F(ExportTest, GateRefusesAnEmptyTableBeforeAskingForAFile) {
    auto editor = OpenEditor("batch", ThreeFieldSpec());
    ASSERT_NE(editor, nullptr);
    ui_.fileToSave = Work("out");
    EXPECT_EQ(ExportRecords(*editor), ExportOutcome::Refused);
    EXPECT_EQ(LastText(), EditorText(catalogue::DialogModelDlg::kNoRowsToExport));
    EXPECT_TRUE(ui_.SaveFilters().empty());
    EXPECT_TRUE(WorkFiles().empty());
}

TEST_F(ExportTest, GateShowsTheFirstErrorRowFocusesTheRecordsAndWritesNothing) {
    auto editor = OpenEditor("batch", ThreeFieldSpec());
    ASSERT_NE(editor, nullptr);
    for (int row = 0; row < 50; ++row)
        AddRecord(*editor, {"1", "ok"});
    editor->Records().SetErrorText(17, "first");
    editor->Records().SetErrorText(30, "second");
    int focused = 0;
    editor->SetFocusRecordsRequest([&focused] { ++focused; });
    ui_.fileToSave = Work("out");
    EXPECT_EQ(ExportRecords(*editor), ExportOutcome::Refused);
    ASSERT_EQ(ui_.Messages().size(), 1u);
    EXPECT_EQ(ui_.Messages()[0].text, "first");
    EXPECT_EQ(ui_.Messages()[0].caption, Gbk("batch"));
    EXPECT_EQ(focused, 1);
    EXPECT_TRUE(ui_.SaveFilters().empty());
    EXPECT_TRUE(WorkFiles().empty());
}

TEST_F(ExportTest, CancelledDialogWritesNothingAndSaysNothing) {
    auto editor = OpenEditor("batch", ThreeFieldSpec());
    ASSERT_NE(editor, nullptr);
    AddRecord(*editor, {"1", "x"});
    ui_.fileToSave.reset();
    EXPECT_EQ(ExportRecords(*editor), ExportOutcome::Cancelled);
    EXPECT_TRUE(ui_.Messages().empty());
    EXPECT_TRUE(WorkFiles().empty());
}

TEST_F(ExportTest, RefusesToWriteOverTheFileJustImportedHoweverItIsSpelled) {
    auto editor = OpenEditor("batch", ThreeFieldSpec());
    ASSERT_NE(editor, nullptr);
    AddRecord(*editor, {"1", "x"});
    WriteFileBytes(Work("in.txt"), "source");
    editor->SetLastImportPath(Work("in.txt"));
    for (const std::string& chosen : {Work("in.txt"), Work("in"), Work("../work/in.txt")}) {
        ui_.events.clear();
        ui_.fileToSave = chosen;
        EXPECT_EQ(ExportRecords(*editor), ExportOutcome::Refused) << chosen;
        EXPECT_EQ(LastText(), EditorText(catalogue::DialogModelDlg::kExportOverImport));
    }
    EXPECT_EQ(ReadFileBytes(Work("in.txt")), "source");
    ui_.fileToSave = Work("other");
    EXPECT_EQ(ExportRecords(*editor), ExportOutcome::Written);
    EXPECT_EQ(WorkFiles(), (Files{"in.txt", "other.txt"}));
}

// Files beside the output are the clerk's, whatever their names: the export stages its
// work in files of its own and removes only those.
TEST_F(ExportTest, SealedOutputOpensToTheExactBatchAndFilesBesideItAreNotTouched) {
    InstallTestKey();
    TemplateSpec spec = ThreeFieldSpec();
    spec.outNeedEncrypt = true;
    WriteFileBytes(Work("out.txt"), std::string(5000, 'J'));  // replaced, not appended to
    const Files beside{"out.txt_temp", "out.txt_temp.txt", "out_temp.txt"};
    for (const std::string& name : beside)
        WriteFileBytes(Work(name), "the clerk's own " + name);
    ASSERT_EQ(ExportOneRecord(spec, "out"), ExportOutcome::Written);
    EXPECT_EQ(WorkFiles(), (Files{"out.txt", "out.txt_temp", "out.txt_temp.txt", "out_temp.txt"}));
    for (const std::string& name : beside)
        EXPECT_EQ(ReadFileBytes(Work(name)), "the clerk's own " + name);
    const std::string plain = "0000000123AB   XY      \r\n";
    EXPECT_EQ(ReadFileBytes(Work("out.txt")).size(), 8 * (plain.size() / 8) + 40);
    ASSERT_EQ(CryptWithInstalledKey(kCryptModeOpen, Work("out.txt"), Work("opened")), 0);
    EXPECT_EQ(ReadFileBytes(Work("opened")), plain);
}

TEST_F(ExportTest, SealingWithoutAnInstalledKeyStopsBeforeAnyDialog) {
    TemplateSpec spec = ThreeFieldSpec();
    spec.outNeedEncrypt = true;
    CurrentInstalledKey().Replace("3A5C0F1X");  // in memory only: keyConf is what counts
    EXPECT_EQ(ExportOneRecord(spec, "out"), ExportOutcome::Refused);
    EXPECT_EQ(LastText(), EditorText(catalogue::DialogModelDlg::kNoKeyInstalled));
    EXPECT_TRUE(ui_.SaveFilters().empty());
    EXPECT_TRUE(WorkFiles().empty());
}

// A failed export says so and leaves the file that was at the chosen name exactly as it
// was: deleting it would lose yesterday's batch for nothing.
TEST_F(ExportTest, FailedSealingLeavesNoScratchFileAndTheOldOutputAsItWas) {
    InstallTestKey();
    TemplateSpec spec = ThreeFieldSpec();
    spec.outNeedEncrypt = true;
    WriteFileBytes(Work("out.txt"), "yesterday");
    UnbindCryptoLibrary();  // every seal now fails
    EXPECT_EQ(ExportOneRecord(spec, "out"), ExportOutcome::Failed);
    EXPECT_EQ(LastText(), EditorText(catalogue::DialogModelDlg::kExportSealFailed));
    EXPECT_EQ(WorkFiles(), Files{"out.txt"});
    EXPECT_EQ(ReadFileBytes(Work("out.txt")), "yesterday");
}

TEST_F(ExportTest, AWriteThatFailsHalfwayLeavesTheOldOutputAsItWas) {
    const std::string yesterday(100, 'Y');
    WriteFileBytes(Work("out.txt"), yesterday);
    editor_ = OpenEditor("batch", ThreeFieldSpec());
    ASSERT_NE(editor_, nullptr);
    AddRecord(*editor_, {"123", "XY"});
    ui_.fileToSave = Work("out");
    ExportOutcome outcome;
    {
        FileSizeLimit limit(10);  // the 25-byte line cannot be written whole
        outcome = ExportRecords(*editor_);
    }
    EXPECT_EQ(outcome, ExportOutcome::Failed);
    EXPECT_EQ(LastText(), EditorText(catalogue::DialogModelDlg::kExportWriteFailed));
    EXPECT_EQ(WorkFiles(), Files{"out.txt"});
    EXPECT_EQ(ReadFileBytes(Work("out.txt")), yesterday);
}

// Renaming the output over a FIFO or a device would quietly turn it into a plain file.
TEST_F(ExportTest, AnOutputThatIsNoRegularFileIsRefusedAndLeftAsItWas) {
    ASSERT_EQ(::mkfifo(Work("fifo.txt").c_str(), 0600), 0);
    std::filesystem::create_symlink("/dev/null", Work("device.txt"));
    std::filesystem::create_directory(Work("folder.txt"));
    TemplateSpec sealed = ThreeFieldSpec();
    sealed.outNeedEncrypt = true;
    InstallTestKey();
    for (const TemplateSpec& spec : {ThreeFieldSpec(), sealed}) {
        for (const char* chosen : {"fifo.txt", "device.txt", "folder.txt"}) {
            EXPECT_EQ(ExportOneRecord(spec, chosen), ExportOutcome::Refused) << chosen;
            EXPECT_EQ(LastText(), EditorText(catalogue::DialogModelDlg::kOutputNotRegularFile));
        }
    }
    EXPECT_TRUE(std::filesystem::is_fifo(Work("fifo.txt")));
    EXPECT_EQ(std::filesystem::read_symlink(Work("device.txt")), "/dev/null");
    EXPECT_TRUE(std::filesystem::is_character_file("/dev/null"));
    EXPECT_EQ(WorkFiles(), (Files{"device.txt", "fifo.txt", "folder.txt"}));
}

TEST_F(ExportTest, UnwritableTargetsFailWithMsg41AndLeaveNothing) {
    EXPECT_EQ(ExportOneRecord(ThreeFieldSpec(), "missing/out"), ExportOutcome::Failed);
    EXPECT_EQ(LastText(), EditorText(catalogue::DialogModelDlg::kExportWriteFailed));

    TemplateSpec workbook = ThreeFieldSpec();
    workbook.out = "xls";
    ui_.events.clear();
    EXPECT_EQ(ExportOneRecord(workbook, "missing/book"), ExportOutcome::Failed);
    ASSERT_EQ(ui_.Messages().size(), 2u);  // the bridge's own message, then msg41
    EXPECT_EQ(ui_.Messages()[1].text, EditorText(catalogue::DialogModelDlg::kExportWriteFailed));
    EXPECT_TRUE(WorkFiles().empty());

    InstallTestKey();
    TemplateSpec sealed = ThreeFieldSpec();
    sealed.outNeedEncrypt = true;
    EXPECT_EQ(ExportOneRecord(sealed, "missing/out"), ExportOutcome::Failed);
    EXPECT_EQ(LastText(), EditorText(catalogue::DialogModelDlg::kExportWriteFailed));

    EXPECT_TRUE(WorkFiles().empty());
}

// The messages name the real cause: the template's, not the disk's.
TEST_F(ExportTest, TemplateNamingNoOutputFormatReportsAFailureNotSuccess) {
    TemplateSpec spec = ThreeFieldSpec();
    spec.out = "none";
    EXPECT_EQ(ExportOneRecord(spec, "out"), ExportOutcome::Failed);
    EXPECT_EQ(LastText(), EditorText(catalogue::DialogModelDlg::kOutMissing));
    EXPECT_TRUE(WorkFiles().empty());
}

// A disk that fills up while the batch is being sealed is a failed write, not a wrong key.
TEST_F(ExportTest, AFullDiskWhileSealingBlamesTheDiskNotTheKey) {
    InstallTestKey();
    TemplateSpec spec = ThreeFieldSpec();
    spec.outNeedEncrypt = true;
    WriteFileBytes(Work("out.txt"), "yesterday");
    editor_ = OpenEditor("batch", spec);
    ASSERT_NE(editor_, nullptr);
    AddRecord(*editor_, {"123", "XY"});
    ui_.fileToSave = Work("out");
    ExportOutcome outcome;
    {
        FileSizeLimit limit(30);  // the 25-byte plain batch fits; the sealed one does not
        outcome = ExportRecords(*editor_);
    }
    EXPECT_EQ(outcome, ExportOutcome::Failed);
    EXPECT_EQ(LastText(), EditorText(catalogue::DialogModelDlg::kExportWriteFailed));
    EXPECT_EQ(WorkFiles(), Files{"out.txt"});
    EXPECT_EQ(ReadFileBytes(Work("out.txt")), "yesterday");
}

// What a progress window shows: the size of fixed-width output is known from its first
// line; a separated one is counted as it is written. Either ends at the file's size.
TEST_F(ExportTest, ProgressEndsAtTheSizeOfTheWrittenFile) {
    for (const std::string splitter : {"", "|"}) {
        TemplateSpec spec = ThreeFieldSpec(splitter);
        spec.needFill = splitter.empty();
        editor_ = OpenEditor("batch", spec);
        ASSERT_NE(editor_, nullptr);
        for (int row = 0; row < 500; ++row)
            AddRecord(*editor_, {std::to_string(row), "XY"});
        ExportOutcome ended = ExportOutcome::Written;
        ui_.fileToSave = Work("out" + splitter);
        const std::optional<ExportTarget> target = ChooseExportTarget(*editor_, ended);
        ASSERT_TRUE(target);
        EXPECT_EQ(target->path, Work("out" + splitter + ".txt"));
        ASSERT_EQ(WriteExport(*editor_, *target), ExportOutcome::Written);
        const std::uint64_t size = std::filesystem::file_size(target->path);
        EXPECT_EQ(editor_->Progress().done.load(), size) << splitter;
        EXPECT_EQ(editor_->Progress().expected.load(), size) << splitter;
    }
}

TEST(BatchTextTest, FullDiskIsAFailedWriteNotAShortFile) {
    const TextTable table(1000, TextRow{std::string(2000, 'x')});
    EXPECT_FALSE(WriteBatchText("/dev/full", table, ""));
    EXPECT_FALSE(WriteBatchText("/nonexistent-folder/out.txt", table, ""));
}

}  // namespace
}  // namespace brindlecot
