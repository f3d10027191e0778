#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "base/app_path.h"
#include "base/catalogue/dialog_crypt_key_keys.h"
#include "base/catalogue/dialog_model_dlg_keys.h"
#include "base/catalogue/dialog_oper_select_keys.h"
#include "base/catalogue/dialog_single_file_crypt_keys.h"
#include "base/gbk_text.h"
#include "base/message_catalogue.h"
#include "filecrypt/key_rules.h"
#include "template/field_rules.h"
#include "template/template_definition.h"
#include "tests/cli/staged_copy.h"
#include "tests/commands/test_support.h"
#include "tests/support/gbk_literal.h"
#include "tests/support/test_files.h"
#include "workbook/workbook.h"

namespace brindlecot {
namespace {

namespace fs = std::filesystem;
using testing::Gbk;
using testing::ReadFileBytes;
using testing::TempFolder;
using testing::WriteFileBytes;
using testing_support::LeftoverScratchFiles;

struct CliRun {
    int status = -1;
    std::string out;
    std::string err;
};

std::string Quote(const std::string& text) {
    std::string quoted = "'";
    for (const char c : text) {
        if (c == '\'') {
            quoted += "'\\''";
        } else {
            quoted += c;
        }
    }
    return quoted + "'";
}

// Runs brindlecot-cli from a copy of the staged folder, so that keyConf and outputs stay
// out of the build.
class CliTest : public ::testing::Test {
protected:
    void SetUp() override {
        const fs::path root = folder_.path() / "app";
        testing::CopyStagedCli(root);
        fs::create_directories(folder_.path() / "work");
        // The catalogue texts the program will print, for comparing.
        SetAppFolder(root.string());
        SelectMessageCatalogue();
    }

    CliRun Cli(const std::vector<std::string>& arguments) const {
        // A command that waits forever fails the test (status 124) instead of hanging it.
        std::string command =
            "timeout 60 " + Quote((folder_.path() / "app" / "brindlecot-cli").string());
        for (const std::string& argument : arguments)
            command += " " + Quote(argument);
        const std::string out = (folder_.path() / "stdout").string();
        const std::string err = (folder_.path() / "stderr").string();
        command += " >" + Quote(out) + " 2>" + Quote(err);
        const int raw = std::system(command.c_str());
        CliRun run;
        run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        run.out = ReadFileBytes(out);
        run.err = ReadFileBytes(err);
        fs::remove(out);
        fs::remove(err);
        return run;
    }

    std::string Work(const std::string& name) const {
        return (folder_.path() / "work" / name).string();
    }
    std::string App(const std::string& name) const {
        return (folder_.path() / "app" / name).string();
    }

    static std::string Text(CatalogueKey key) { return GbkToUtf8ForDisplay(LoadMessage(key)); }

    void InstallKey() {
        const CliRun run = Cli({"install-key", "3a5c0f1" + std::string(1, KeyCheck())});
        ASSERT_EQ(run.status, 0) << run.err;
    }
    static char KeyCheck();

    void ExpectNoScratchFiles() const {
        EXPECT_EQ(LeftoverScratchFiles(folder_.path()), std::vector<std::string>{});
    }

    TempFolder folder_;
};

char CliTest::KeyCheck() {
    return "0123456789ABCDEF"[KeyCheckDigit("3A5C0F1").value()];
}

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// --- usage ------------------------------------------------------------------------

TEST_F(CliTest, HelpDocumentsEveryCommandAndTheExitStatuses) {
    const CliRun run = Cli({"--help"});
    EXPECT_EQ(run.status, 0);
    for (const char* word :
         {"list", "check TEMPLATE", "install-key KEY", "export TEMPLATE INPUT OUTPUT",
          "seal INPUT OUTPUT", "open INPUT OUTPUT", "--force", "--version", "Exit status"}) {
        EXPECT_TRUE(Contains(run.out, word)) << word;
    }
    // The project's version, as the package and the manual page carry it.
    const CliRun version = Cli({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "brindlecot-cli " BRINDLECOT_VERSION "\n");
}

TEST_F(CliTest, UsageErrorsExitWithTwoAndTouchNothing) {
    for (const std::vector<std::string>& arguments :
         std::vector<std::vector<std::string>>{{},
                                               {"frobnicate"},
                                               {"check"},
                                               {"export", "a", "b"},
                                               {"seal", "a", "b", "c"},
                                               {"--fast", "list"},
                                               {"list", "extra"}}) {
        const CliRun run = Cli(arguments);
        EXPECT_EQ(run.status, 2) << (arguments.empty() ? "(none)" : arguments[0]);
        EXPECT_TRUE(Contains(run.err, "brindlecot-cli:"));
        EXPECT_TRUE(run.out.empty());
    }
    EXPECT_FALSE(fs::exists(App("keyConf")));
}

// --- list, check, install-key --------------------------------------------------------

TEST_F(CliTest, ListPrintsTheShippedTemplatesInTheChoosersOrder) {
    const CliRun run = Cli({"list"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "代发工资\n费用报销汇总\n批量转账\n");
}

TEST_F(CliTest, CheckListsTheFieldsOfANamedOrPathTemplate) {
    const CliRun named = Cli({"check", "代发工资"});
    ASSERT_EQ(named.status, 0) << named.err;
    EXPECT_TRUE(Contains(named.out, "typeLens\t141\n"));
    EXPECT_TRUE(Contains(named.out, "outNeedEncrypt\tyes\n"));
    EXPECT_TRUE(Contains(named.out, "1\t付款账号\t19\"N\"\t19\tno\tyes\n"));
    EXPECT_TRUE(Contains(named.out, "7\t备注\t20\"X\"+10\"X\"\t30\tyes\tno\n"));

    const CliRun byPath = Cli({"check", App("conf/批量转账.cfg")});
    ASSERT_EQ(byPath.status, 0) << byPath.err;
    EXPECT_TRUE(Contains(byPath.out, "splite\t\"|\"\n"));
}

TEST_F(CliTest, CheckReportsAMissingTemplateAndTheLoadersMessage) {
    const CliRun missing = Cli({"check", "nosuch"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_TRUE(Contains(missing.err, Text(catalogue::DialogOperSelect::kTemplateFileMissing)));

    WriteFileBytes(Work("broken.cfg"), "$mode typeLens=5 in=txt\n");
    const CliRun broken = Cli({"check", Work("broken.cfg")});
    EXPECT_EQ(broken.status, 1);
    EXPECT_TRUE(Contains(broken.err, Text(catalogue::DialogModelDlg::kOutMissing))) << broken.err;
}

TEST_F(CliTest, InstallKeyAppliesTheKeyRulesAndWritesKeyConf) {
    const CliRun wrongDigit =
        Cli({"install-key", std::string("3A5C0F1") + (KeyCheck() == '0' ? '1' : '0')});
    EXPECT_EQ(wrongDigit.status, 1);
    EXPECT_TRUE(Contains(wrongDigit.err, Text(catalogue::DialogCryptKey::kCheckDigitWrong)));
    const CliRun shortKey = Cli({"install-key", "ABC"});
    EXPECT_EQ(shortKey.status, 1);
    EXPECT_TRUE(Contains(shortKey.err, Text(catalogue::DialogCryptKey::kKeyNotEightCharacters)));
    EXPECT_FALSE(fs::exists(App("keyConf")));

    InstallKey();  // lower-case letters are accepted
    EXPECT_EQ(fs::file_size(App("keyConf")), 8u);
}

// Replacing an installed key makes every file sealed with it unopenable: like an existing
// output, it is replaced only with --force, and with no key installed nothing is asked.
TEST_F(CliTest, InstallKeyReplacesAnInstalledKeyOnlyWithForce) {
    const std::string question = Text(catalogue::DialogCryptKey::kConfirmReplace);
    const CliRun first = Cli({"install-key", "3a5c0f1" + std::string(1, KeyCheck())});
    ASSERT_EQ(first.status, 0) << first.err;
    EXPECT_FALSE(Contains(first.err, question)) << first.err;
    const std::string installed = ReadFileBytes(App("keyConf"));

    const std::string other =
        "1234567" + std::string(1, "0123456789ABCDEF"[KeyCheckDigit("1234567").value()]);
    const CliRun refused = Cli({"install-key", other});
    EXPECT_EQ(refused.status, 1);
    EXPECT_TRUE(Contains(refused.err, "--force")) << refused.err;
    EXPECT_FALSE(Contains(refused.err, question)) << refused.err;
    EXPECT_EQ(ReadFileBytes(App("keyConf")), installed);

    const CliRun forced = Cli({"--force", "install-key", other});
    EXPECT_EQ(forced.status, 0) << forced.err;
    EXPECT_TRUE(Contains(forced.err, question)) << forced.err;
    EXPECT_NE(ReadFileBytes(App("keyConf")), installed);
    EXPECT_EQ(LeftoverScratchFiles(folder_.path()), std::vector<std::string>{});
}

// --- export ---------------------------------------------------------------------

const std::vector<std::string> kPayrollHeader = {"收款账号", "收款人户名", "金额(分)", "发放日期"};

TextTable GbkTable(const std::vector<std::vector<std::string>>& rows) {
    TextTable table;
    for (const auto& row : rows) {
        TextRow converted;
        for (const std::string& cell : row)
            converted.push_back(Gbk(cell));
        table.push_back(converted);
    }
    return table;
}

TEST_F(CliTest, ExportsAWorkbookAsASealedFixedWidthBatch) {
    InstallKey();
    ASSERT_TRUE(WriteWorkbook(Work("pay.xls"),
                              GbkTable({kPayrollHeader,
                                        {"6222000011112222333", "张三", "123456", "2024-03-15"}}))
                    .ok());
    const CliRun run = Cli({"export", "代发工资", Work("pay.xls"), Work("pay")});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(Contains(run.err, Text(catalogue::DialogModelDlg::kExportDone)));
    ASSERT_TRUE(fs::exists(Work("pay.txt")));

    const CliRun opened = Cli({"open", Work("pay.txt"), Work("plain.txt")});
    ASSERT_EQ(opened.status, 0) << opened.err;
    std::string full;
    for (int i = 0; i < 8; ++i)
        full += "\xA1\xA1";
    const std::string expected =
        "6222020200001234567"
        "6222000011112222333" +
        Gbk("张三") + std::string(26, ' ') +
        "000000000123456"
        "20240315" +
        Gbk("工资") + full + std::string(30, ' ') + "\r\n";
    EXPECT_EQ(expected.size(), 143u);
    EXPECT_EQ(ReadFileBytes(Work("plain.txt")), expected);
    ExpectNoScratchFiles();
}

TEST_F(CliTest, EveryErrorRowIsListedAndNothingIsWritten) {
    InstallKey();
    ASSERT_TRUE(WriteWorkbook(Work("pay.xls"), GbkTable({kPayrollHeader,
                                                         {"6222000011112222333", "张三", "100", ""},
                                                         {"62220000111122x", "李四", "100", ""},
                                                         {"6222000011112222333", "王五", "100", ""},
                                                         {"6222000011112222333", "", "100", ""}}))
                    .ok());
    const CliRun run = Cli({"export", "代发工资", Work("pay.xls"), Work("pay.txt")});
    EXPECT_EQ(run.status, 1);
    FieldItem account;
    account.name = Gbk("收款账号");
    FieldItem payee;
    payee.name = Gbk("收款人户名");
    EXPECT_TRUE(
        Contains(run.err, "row 2: " + GbkToUtf8ForDisplay(RuleMessage(RuleNotNumeric, account))))
        << run.err;
    EXPECT_TRUE(
        Contains(run.err, "row 4: " + GbkToUtf8ForDisplay(RuleMessage(RuleRequiredEmpty, payee))))
        << run.err;
    EXPECT_FALSE(Contains(run.err, "row 1:"));
    EXPECT_FALSE(Contains(run.err, "row 3:"));
    EXPECT_FALSE(fs::exists(Work("pay.txt")));
    ExpectNoScratchFiles();
}

const std::string kTransferLines =
    Gbk("6222000011112222|张三|100.5|工商银行|工资\n6222000011113333|李四|2000|建设银行|\n");

TEST_F(CliTest, ExportsASeparatedBatchAndReplacesAnExistingOutputOnlyWithForce) {
    WriteFileBytes(Work("in.txt"), kTransferLines);
    const std::string expected = Gbk(
        "6222000011112222|张三|100.5|工商银行|工资\r\n6222000011113333|李四|2000|建设银行|\r\n");
    CliRun run = Cli({"export", "批量转账", Work("in.txt"), Work("out.txt")});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(ReadFileBytes(Work("out.txt")), expected);

    WriteFileBytes(Work("out.txt"), "yesterday's batch");
    run = Cli({"export", "批量转账", Work("in.txt"), Work("out.txt")});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(Contains(run.err, "--force"));
    EXPECT_EQ(ReadFileBytes(Work("out.txt")), "yesterday's batch");

    run = Cli({"--force", "export", "批量转账", Work("in.txt"), Work("out.txt")});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(ReadFileBytes(Work("out.txt")), expected);

    // With or without --force the file just imported is not written over.
    run = Cli({"export", "批量转账", Work("in.txt"), Work("in.txt")});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(Contains(run.err, Text(catalogue::DialogModelDlg::kExportOverImport)));
    run = Cli({"export", "批量转账", Work("in.txt"), Work("in.txt"), "--force"});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(Contains(run.err, Text(catalogue::DialogModelDlg::kExportOverImport)));
    EXPECT_EQ(ReadFileBytes(Work("in.txt")), kTransferLines);
}

TEST_F(CliTest, SeparatedValuesAreCheckedEvenWhereTheTemplateDoesNotFixWidths) {
    WriteFileBytes(Work("in.txt"), kTransferLines + Gbk("6222000011114444|赵六|1,000|农业银行|\n"));
    const CliRun run = Cli({"export", "批量转账", Work("in.txt"), Work("out.txt")});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(Contains(run.err, "row 3: ")) << run.err;
    EXPECT_FALSE(fs::exists(Work("out.txt")));
}

TEST_F(CliTest, ExportsAFixedWidthTextBatchWithATemplateGivenByPath) {
    WriteFileBytes(
        Work("fixed.cfg"),
        "$mode typeLens=23 in=txt out=txt inNeedDescrypt=false outNeedEncrypt=false needFill=true "
        "splite=\"\" statistics= $tableItem "
        "[A] index=1 value= type=10\"N\" visible=true isRequisite=true "
        "[B] index=2 value=AB type=5\"X\" visible=false isRequisite=false "
        "[C] index=3 value= type=8\"X\" visible=true isRequisite=false $End\n");
    WriteFileBytes(Work("in.txt"), "0000000123AB   XY      \r\n0000000456AB   Z       \n");
    const CliRun run = Cli({"export", Work("fixed.cfg"), Work("in.txt"), Work("out")});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(ReadFileBytes(Work("out.txt")),
              "0000000123AB   XY      \r\n0000000456AB   Z       \r\n");

    WriteFileBytes(Work("short.txt"), "0000000123AB   XY      \r\n0000000456AB   Z\r\n");
    const CliRun shortLine =
        Cli({"export", Work("fixed.cfg"), Work("short.txt"), Work("short-out.txt")});
    EXPECT_EQ(shortLine.status, 1);
    EXPECT_TRUE(Contains(shortLine.err, Text(catalogue::DialogModelDlg::kLineLengthWrong)));
    EXPECT_FALSE(fs::exists(Work("short-out.txt")));
}

// The import has checked and rewritten every fixed-width value; checking the rewritten
// value again would refuse records the editor accepts.
TEST_F(CliTest, EachValueIsCheckedOnceAsTheEditorChecksIt) {
    WriteFileBytes(
        Work("once.cfg"),
        "$mode typeLens=10 in=txt out=txt inNeedDescrypt=false outNeedEncrypt=false needFill=true "
        "splite=\"\" statistics= $tableItem "
        "[Amount] index=1 value= type=5\"M\" visible=true isRequisite=true "
        "[Code] index=2 value= type=5\"X\" visible=true isRequisite=true $End\n");
    // A required text of blanks passes its check, which trims it to nothing.
    WriteFileBytes(Work("in.txt"), "12345ABCDE\r\n00001     \r\n");
    const CliRun run = Cli({"export", Work("once.cfg"), Work("in.txt"), Work("out.txt")});
    ASSERT_EQ(run.status, 0) << run.err;
    // What the import made of each value, the amount with its decimals (M is not padded).
    EXPECT_EQ(ReadFileBytes(Work("out.txt")), "12345.00ABCDE\r\n00001.00     \r\n");
}

TEST_F(CliTest, OpensASealedInputFirstWhereTheTemplateAsks) {
    InstallKey();
    WriteFileBytes(
        Work("sealed-in.cfg"),
        "$mode typeLens=12 in=txt out=txt inNeedDescrypt=true outNeedEncrypt=false needFill=true "
        "splite=\"|\" statistics= $tableItem "
        "[A] index=1 value= type=4\"N\" visible=true isRequisite=true "
        "[B] index=2 value= type=8\"X\" visible=true isRequisite=false $End\n");
    WriteFileBytes(Work("plain.txt"), "0042|abc     \r\n");
    ASSERT_EQ(Cli({"seal", Work("plain.txt"), Work("in.sealed")}).status, 0);
    const CliRun run = Cli({"export", Work("sealed-in.cfg"), Work("in.sealed"), Work("out")});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(ReadFileBytes(Work("out.txt")), "0042|abc     \r\n");

    const CliRun notSealed =
        Cli({"export", Work("sealed-in.cfg"), Work("plain.txt"), Work("out2")});
    EXPECT_EQ(notSealed.status, 1);
    EXPECT_TRUE(Contains(notSealed.err, Text(catalogue::DialogModelDlg::kImportDecryptFailed)));
    EXPECT_FALSE(fs::exists(Work("out2.txt")));
    ExpectNoScratchFiles();
}

TEST_F(CliTest, ExportsAWorkbookAsAWorkbook) {
    ASSERT_TRUE(
        WriteWorkbook(Work("claims.xlsx"),
                      GbkTable({{"姓名", "报销单号", "员工号", "报销金额", "报销日期", "借款冲抵"},
                                {"张三", "BX-001", "00001234", "12.5", "2024/01/02", "0"}}))
            .ok());
    const CliRun run = Cli({"export", "费用报销汇总", Work("claims.xlsx"), Work("claims-out")});
    ASSERT_EQ(run.status, 0) << run.err;
    TextTable table;
    ASSERT_TRUE(ReadWorkbook(Work("claims-out.xls"), table).ok());
    EXPECT_EQ(table,
              GbkTable({{"报销单号", "员工号", "姓名", "部门", "报销金额", "借款冲抵", "报销日期"},
                        {"BX-001", "00001234", "张三", "", "12.50", "0.00", "20240102"}}));
}

TEST_F(CliTest, ExportNeedsAnExistingInputAndATemplate) {
    CliRun run = Cli({"export", "批量转账", Work("missing.txt"), Work("out.txt")});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(Contains(run.err, Text(catalogue::DialogModelDlg::kImportFileUnreadable)))
        << run.err;
    run = Cli({"export", "nosuch", Work("missing.txt"), Work("out.txt")});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(Contains(run.err, Text(catalogue::DialogOperSelect::kTemplateFileMissing)));
    EXPECT_FALSE(fs::exists(Work("out.txt")));
}

// --- seal, open --------------------------------------------------------------------

TEST_F(CliTest, SealAndOpenRoundTripAndRefuseToReplaceWithoutForce) {
    WriteFileBytes(Work("a.txt"), "some batch\r\n");
    CliRun run = Cli({"seal", Work("a.txt"), Work("a.sealed")});
    EXPECT_EQ(run.status, 1);  // no key installed yet
    EXPECT_TRUE(Contains(run.err, Text(catalogue::DialogSingleFileCrypt::kNoKeyInstalled)));

    InstallKey();
    run = Cli({"seal", Work("a.txt"), Work("a.sealed")});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(fs::file_size(Work("a.sealed")), 8u * (12 / 8) + 40u);

    WriteFileBytes(Work("b.txt"), "old");
    run = Cli({"open", Work("a.sealed"), Work("b.txt")});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(ReadFileBytes(Work("b.txt")), "old");
    run = Cli({"open", "--force", Work("a.sealed"), Work("b.txt")});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(ReadFileBytes(Work("b.txt")), "some batch\r\n");

    run = Cli({"open", Work("a.txt"), Work("c.txt")});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(Contains(run.err, Text(catalogue::DialogSingleFileCrypt::kOpenFailed)));
    EXPECT_FALSE(fs::exists(Work("c.txt")));
    ExpectNoScratchFiles();
}

// An output path holding a device or a FIFO is never turned into a plain file, whether
// or not --force allows replacing a file.
TEST_F(CliTest, OutputsThatAreNoRegularFilesAreRefusedWithAndWithoutForce) {
    InstallKey();
    WriteFileBytes(Work("a.txt"), "some batch\r\n");
    ASSERT_EQ(Cli({"seal", Work("a.txt"), Work("a.sealed")}).status, 0);
    WriteFileBytes(Work("in.txt"), kTransferLines);
    ASSERT_EQ(::mkfifo(Work("fifo.txt").c_str(), 0600), 0);
    fs::create_symlink("/dev/null", Work("device.txt"));
    const std::string singleFile = Text(catalogue::DialogSingleFileCrypt::kOutputNotRegularFile);
    const std::string editor = Text(catalogue::DialogModelDlg::kOutputNotRegularFile);
    for (const std::string& output : {Work("fifo.txt"), Work("device.txt")}) {
        for (const bool force : {false, true}) {
            auto run = [&](std::vector<std::string> arguments) {
                if (force)
                    arguments.insert(arguments.begin(), "--force");
                return Cli(arguments);
            };
            CliRun result = run({"seal", Work("a.txt"), output});
            EXPECT_EQ(result.status, 1) << output << force;
            EXPECT_TRUE(Contains(result.err, singleFile)) << result.err;
            result = run({"open", Work("a.sealed"), output});
            EXPECT_EQ(result.status, 1) << output << force;
            EXPECT_TRUE(Contains(result.err, singleFile)) << result.err;
            result = run({"export", "批量转账", Work("in.txt"), output});
            EXPECT_EQ(result.status, 1) << output << force;
            EXPECT_TRUE(Contains(result.err, editor)) << result.err;
        }
    }
    EXPECT_TRUE(fs::is_fifo(Work("fifo.txt")));
    EXPECT_EQ(fs::read_symlink(Work("device.txt")), "/dev/null");
    ExpectNoScratchFiles();
}

// keyConf is reloaded before every command; a FIFO there is no key and holds nothing up.
TEST_F(CliTest, AKeyConfThatIsAFifoIsNoKeyAndNoCommandWaitsForIt) {
    ASSERT_EQ(::mkfifo(App("keyConf").c_str(), 0600), 0);
    WriteFileBytes(Work("in.txt"), kTransferLines);
    CliRun run = Cli({"export", "批量转账", Work("in.txt"), Work("out.txt")});
    EXPECT_EQ(run.status, 0) << run.err;
    run = Cli({"seal", Work("in.txt"), Work("in.sealed")});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(Contains(run.err, Text(catalogue::DialogSingleFileCrypt::kNoKeyInstalled)));
    EXPECT_TRUE(fs::is_fifo(App("keyConf")));
}

}  // namespace
}  // namespace brindlecot
