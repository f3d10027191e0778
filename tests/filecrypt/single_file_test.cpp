#include "base/catalogue/dialog_single_file_crypt_keys.h"
#include "filecrypt/single_file_crypt.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "base/crypto_binding.h"
#include "base/ini_file.h"
#include "filecrypt/installed_key.h"
#include "filecrypt/key_installation.h"
#include "filecrypt/key_rules.h"
#include "tests/filecrypt/filecrypt_test_support.h"
#include "tests/support/file_size_limit.h"
#include "tests/support/valid_key.h"
#include "workbook/workbook.h"

namespace brindlecot {
namespace {

using testing::Message;
using testing::ReadFileBytes;
using testing::RecordingUi;
using testing::Shown;
using testing::ValidKey;
namespace keys = catalogue::DialogSingleFileCrypt;

Shown SingleFile(CatalogueKey text) {
    return Message(keys::kTitle, text);
}
using Names = std::vector<std::string>;

std::size_t SealedSize(std::size_t plainSize) {
    return plainSize / 8 * 8 + 40;
}

std::string PatternBytes(std::size_t size) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 131 + 7) % 256);
    return bytes;
}

// ---------------------------------------------------------------------------------------
// filecrypt.config

class FileCryptConfigTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetAppFolder(app_.path().string());
        app_.Write("language/msgSimChi.ini", testing::LabelledCatalogue());
    }
    FileCryptSettings Parse(const std::string& text) { return ParseFileCryptConfig(text, ui_); }

    brindlecot::testing::TempFolder app_;
    RecordingUi ui_;
};

TEST_F(FileCryptConfigTest, AMissingOrEmptyFileGivesTheDefaultsSilently) {
    FileCryptSettings settings = ReadFileCryptConfig(ui_);
    EXPECT_FALSE(settings.bChange);
    EXPECT_EQ(settings.separator, '\0');
    app_.Write("conf/filecrypt.config", "");
    settings = ReadFileCryptConfig(ui_);
    EXPECT_FALSE(settings.bChange);
    EXPECT_TRUE(ui_.events.empty());
}

TEST_F(FileCryptConfigTest, ReadsABlockFromTheConfFolder) {
    app_.Write("conf/filecrypt.config", "$file\r\nbChange=true\r\nsplite=\"|\"\r\n");
    const FileCryptSettings settings = ReadFileCryptConfig(ui_);
    EXPECT_TRUE(settings.bChange);
    EXPECT_EQ(settings.separator, '|');
    EXPECT_TRUE(ui_.events.empty());
}

TEST_F(FileCryptConfigTest, EntryValuesFollowTheirRules) {
    struct Case {
        std::string text;
        bool bChange;
        char separator;
    };
    const std::vector<Case> cases = {
        {"$FILE bChange=FALSE splite=\",\"", false, ','},
        {"$File bChange= splite=\"\"", true,
         '\0'},                                     // empty value: true; empty quotes: no separator
        {"$file bChange=no splite=|", true, '\0'},  // no quote: separator unchanged
        {"$file xbChangey=false splite=\"\t", false, '\0'},          // tab ends the token
        {"$file bChange=1 splite=\";", true, ';'},                   // no closing quote: to the end
        {"$file bChange=true xsplitez=\"ab\"", true, 'a'},           // the first byte counts
        {"$file bChange=a=b splite=\"=\"", true, '='},               // value after the first '='
        {"comment $filex bChange=false splite=\"|\"", false, '\0'},  // $filex opens no block
    };
    for (const Case& c : cases) {
        const FileCryptSettings settings = Parse(c.text);
        EXPECT_EQ(settings.bChange, c.bChange) << c.text;
        EXPECT_EQ(settings.separator, c.separator) << c.text;
    }
    EXPECT_TRUE(ui_.events.empty());
}

TEST_F(FileCryptConfigTest, LaterBlocksOverwriteButAnEmptySpliteKeepsTheSeparator) {
    const FileCryptSettings settings =
        Parse("$file bChange=true splite=\"|\"\n$file bChange=false splite=\"\"\n");
    EXPECT_FALSE(settings.bChange);
    EXPECT_EQ(settings.separator, '|');
}

TEST_F(FileCryptConfigTest, ABlockWithoutBChangeShowsMsg11AndKeepsWhatWasRead) {
    const FileCryptSettings settings =
        Parse("$file bChange=true splite=\"|\" $file splite=\",\" $file bChange=false");
    EXPECT_TRUE(settings.bChange);
    EXPECT_EQ(settings.separator, '|');
    EXPECT_EQ(ui_.events, std::vector<Shown>{SingleFile(keys::kFileWithoutBChange)});
    ui_.events.clear();
    Parse("$file");               // the file ends where the entry should be
    Parse("$file bChange true");  // no equals sign
    EXPECT_EQ(ui_.events, (std::vector<Shown>{SingleFile(keys::kFileWithoutBChange),
                                              SingleFile(keys::kFileWithoutBChange)}));
}

TEST_F(FileCryptConfigTest, ABlockWithoutSpliteShowsMsg12AfterTakingBChange) {
    const FileCryptSettings settings = Parse("$file bChange=true separator=\"|\"");
    EXPECT_TRUE(settings.bChange);
    EXPECT_EQ(settings.separator, '\0');
    EXPECT_EQ(ui_.events, std::vector<Shown>{SingleFile(keys::kSpliteMissing)});
    ui_.events.clear();
    Parse("$file bChange=true");
    EXPECT_EQ(ui_.events, std::vector<Shown>{SingleFile(keys::kSpliteMissing)});
}

TEST(FileExtension, IsTheTextAfterTheLastDotOfTheLastComponent) {
    EXPECT_EQ(FileExtension("/a/b.xls"), "xls");
    EXPECT_EQ(FileExtension("/a/A.XLS"), "XLS");
    EXPECT_EQ(FileExtension("/a.d/b"), "");
    EXPECT_EQ(FileExtension("b.tar.gz"), "gz");
    EXPECT_EQ(FileExtension("/a/b."), "");
}

// ---------------------------------------------------------------------------------------
// Sealing and opening

#ifdef KESTRELVANE_LIBRARY

class SingleFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetAppFolder(app_.path().string());
        app_.Write("language/msgSimChi.ini", testing::LabelledCatalogue());
        app_.Copy(KESTRELVANE_LIBRARY, "driver/libKestrelvane.so");
        ASSERT_TRUE(BindCryptoLibrary());
        CurrentInstalledKey().Clear();
        ASSERT_EQ(InstallAcceptedKey(key_), KeyInstallOutcome::Installed);
    }
    void TearDown() override { CurrentInstalledKey().Clear(); }

    std::string In(const std::string& name) const { return (work_ / name).string(); }
    std::string Write(const std::string& name, const std::string& bytes) const {
        return work_.Write(name, bytes);
    }
    Names Listing() const { return work_.Entries(); }

    bool Seal(const std::string& in, const std::string& out, FileCryptSettings settings = {}) {
        return SealSingleFile(In(in), In(out), settings, ui_);
    }
    bool Open(const std::string& in, const std::string& out, FileCryptSettings settings = {}) {
        return OpenSingleFile(In(in), In(out), settings, ui_);
    }
    const Shown& LastShown() const { return ui_.events.back(); }

    const std::string key_ = ValidKey("1234567");
    brindlecot::testing::TempFolder app_;
    brindlecot::testing::TempFolder work_;
    RecordingUi ui_;
};

const Shown kSealed = SingleFile(keys::kSealDone);
const Shown kSealFailed = SingleFile(keys::kSealFailed);
const Shown kOpened = SingleFile(keys::kOpenDone);
const Shown kOpenFailed = SingleFile(keys::kOpenFailed);

TEST_F(SingleFileTest, SealThenOpenGivesTheSameBytesAtEveryBlockAndReadBoundary) {
    for (std::size_t size : {0, 1, 7, 8, 9, 4048, 4060, 4064, 4065, 10000, 100003}) {
        const std::string plain = PatternBytes(size);
        Write("plain.bin", plain);
        ui_.events.clear();
        ASSERT_TRUE(Seal("plain.bin", "sealed.bin")) << size;
        EXPECT_EQ(ReadFileBytes(In("sealed.bin")).size(), SealedSize(size)) << size;
        ASSERT_TRUE(Open("sealed.bin", "opened.bin")) << size;
        EXPECT_EQ(ReadFileBytes(In("opened.bin")), plain) << size;
        EXPECT_EQ(ui_.events, (std::vector<Shown>{kSealed, kOpened})) << size;
        EXPECT_EQ(Listing(), (Names{"opened.bin", "plain.bin", "sealed.bin"})) << size;
    }
}

TEST_F(SingleFileTest, AnExistingOutputIsReplacedNeverAppendedTo) {
    const std::string plain = PatternBytes(1000);
    Write("plain.txt", plain);
    Write("sealed.dat", std::string(5000, 'J'));
    Write("opened.txt", std::string(7, 'J'));
    ASSERT_TRUE(Seal("plain.txt", "sealed.dat"));
    EXPECT_EQ(ReadFileBytes(In("sealed.dat")).size(), SealedSize(plain.size()));
    ASSERT_TRUE(Open("sealed.dat", "opened.txt"));
    EXPECT_EQ(ReadFileBytes(In("opened.txt")), plain);
    EXPECT_EQ(Listing(), (Names{"opened.txt", "plain.txt", "sealed.dat"}));
}

TEST_F(SingleFileTest, WithoutConversionAWorkbookIsSealedByteForByteUnderAnyName) {
    const std::string workbookBytes = "\xD0\xCF\x11\xE0 not really a workbook" + PatternBytes(300);
    Write("a.xls", workbookBytes);
    ASSERT_TRUE(Seal("a.xls", "b.bin"));
    ASSERT_TRUE(Open("b.bin", "c.whatever"));
    EXPECT_EQ(ReadFileBytes(In("c.whatever")), workbookBytes);
}

TEST_F(SingleFileTest, OpeningWithAnotherKeyFailsAndKeepsTheExistingOutput) {
    Write("plain.txt", "payroll 2026-12\r\n");
    ASSERT_TRUE(Seal("plain.txt", "sealed.txt"));
    ASSERT_EQ(InstallAcceptedKey(ValidKey("7654321")), KeyInstallOutcome::Installed);
    Write("opened.txt", "keep me");
    EXPECT_FALSE(Open("sealed.txt", "opened.txt"));
    EXPECT_EQ(LastShown(), kOpenFailed);
    EXPECT_EQ(ReadFileBytes(In("opened.txt")), "keep me");
    EXPECT_EQ(Listing(), (Names{"opened.txt", "plain.txt", "sealed.txt"}));
}

TEST_F(SingleFileTest, OpeningSomethingThatIsNotSealedFailsWithoutLeavingAnOutput) {
    Write("short.bin", "0123456789");  // shorter than the sealed header
    Write("garbage.bin", PatternBytes(4200));
    Write("empty.bin", "");
    for (const char* input : {"short.bin", "garbage.bin", "empty.bin"}) {
        EXPECT_FALSE(Open(input, "out.txt")) << input;
        EXPECT_EQ(LastShown(), kOpenFailed) << input;
    }
    EXPECT_EQ(Listing(), (Names{"empty.bin", "garbage.bin", "short.bin"}));
}

TEST_F(SingleFileTest, AnAlteredSealedFileFailsToOpen) {
    Write("plain.txt", PatternBytes(9000));
    ASSERT_TRUE(Seal("plain.txt", "sealed.bin"));
    std::string sealed = ReadFileBytes(In("sealed.bin"));
    sealed[sealed.size() / 2] ^= 0x01;
    Write("sealed.bin", sealed);
    EXPECT_FALSE(Open("sealed.bin", "opened.txt"));
    EXPECT_EQ(LastShown(), kOpenFailed);
    // The library writes leading chunks before it finds the damage; none of it may remain.
    EXPECT_EQ(Listing(), (Names{"plain.txt", "sealed.bin"}));
}

TEST_F(SingleFileTest, TheKeyIsReloadedFromKeyConfBeforeEveryCommand) {
    // More than one block: a one-block text seals to two equal cipher blocks, which any
    // key decrypts to a zero check, and opens under a wrong key one time in 32.
    Write("plain.txt", "amounts of the day");
    ASSERT_TRUE(Seal("plain.txt", "sealed.txt"));
    // keyConf changes behind the program's back; memory still holds the first key.
    ASSERT_EQ(WriteKeyConf(ValidKey("1111111")), KeyConfWrite::Written);
    EXPECT_FALSE(Open("sealed.txt", "opened.txt"));
    ASSERT_EQ(WriteKeyConf(key_), KeyConfWrite::Written);
    CurrentInstalledKey().Replace(ValidKey("2222222"));
    EXPECT_TRUE(Open("sealed.txt", "opened.txt"));
    EXPECT_EQ(ReadFileBytes(In("opened.txt")), "amounts of the day");
}

TEST_F(SingleFileTest, WithoutAKeyNothingIsCheckedOrTouched) {
    std::filesystem::remove(app_ / "keyConf");
    CurrentInstalledKey().Clear();
    EXPECT_FALSE(SealSingleFile("", "", {}, ui_));
    EXPECT_FALSE(Open("missing.bin", "out.txt"));
    EXPECT_EQ(ui_.events, (std::vector<Shown>{SingleFile(keys::kNoKeyInstalled),
                                              SingleFile(keys::kNoKeyInstalled)}));
    EXPECT_TRUE(Listing().empty());
}

TEST_F(SingleFileTest, PathChecksRunInOrderAndTouchNothing) {
    Write("in.txt", "data");
    Write("A.XLS", "data");
    Write("book.xls", "data");
    std::filesystem::create_directory(In("folder"));
    const FileCryptSettings convert{true, '|'};
    struct Case {
        std::string input;
        std::string output;
        FileCryptSettings settings;
        CatalogueKey key;
    };
    const std::vector<Case> cases = {
        {"", "", {}, keys::kNoInputFile},
        {In("in.txt"), "", {}, keys::kNoOutputFile},
        {In("missing.txt"), In("out.txt"), {}, keys::kInputMissing},
        {In("folder"), In("out.txt"), {}, keys::kInputMissing},
        {In("in.txt"), In("in.txt"), {}, keys::kSameFile},
        {In("in.txt"),
         work_.path().string() + "/./in.txt",
         {},
         keys::kSameFile},  // two spellings of one file
        {In("book.xls"), In("out.txt"), convert, keys::kExtensionDiffers},
        {In("book.xls"), In("out"), convert, keys::kExtensionDiffers},
        {In("book.xls"), In("out.XLS"), convert, keys::kExtensionDiffers},
        {In("A.XLS"), In("out.xls"), convert, keys::kExtensionDiffers},
        {In("in.txt"), In("out.xls.bak"), convert, keys::kExtensionDiffers},
    };
    const Names before = Listing();
    for (const Case& c : cases) {
        for (bool seal : {true, false}) {
            ui_.events.clear();
            const bool done = seal ? SealSingleFile(c.input, c.output, c.settings, ui_)
                                   : OpenSingleFile(c.input, c.output, c.settings, ui_);
            EXPECT_FALSE(done) << c.input << " -> " << c.output;
            EXPECT_EQ(ui_.events, std::vector<Shown>{SingleFile(c.key)})
                << c.input << " -> " << c.output;
        }
    }
    EXPECT_EQ(Listing(), before);
}

TEST_F(SingleFileTest, TheExtensionRuleAppliesOnlyWithConversionAndAnInputExtension) {
    Write("noext", "data");
    Write("in.txt", "data");
    EXPECT_TRUE(Seal("noext", "out.bin", {true, '|'}));
    EXPECT_TRUE(Seal("in.txt", "out.bin", {false, '|'}));
    EXPECT_TRUE(Seal("in.txt", "out.txt", {true, '|'}));
    // A relative output without any folder is its own last component.
    const auto here = std::filesystem::current_path();
    std::filesystem::current_path(work_.path());
    EXPECT_TRUE(SealSingleFile("in.txt", "rel.txt", {true, '|'}, ui_));
    std::filesystem::current_path(here);
    EXPECT_EQ(Listing(), (Names{"in.txt", "noext", "out.bin", "out.txt", "rel.txt"}));
}

TEST_F(SingleFileTest, WithoutTheLibraryBothCommandsFailAndKeepTheExistingOutput) {
    Write("plain.txt", "data");
    ASSERT_TRUE(Seal("plain.txt", "sealed.txt"));
    const std::string sealed = ReadFileBytes(In("sealed.txt"));
    Write("opened.txt", "old");
    UnbindCryptoLibrary();
    EXPECT_FALSE(Seal("plain.txt", "sealed.txt"));
    EXPECT_EQ(LastShown(), kSealFailed);
    EXPECT_FALSE(Open("sealed.txt", "opened.txt"));
    EXPECT_EQ(LastShown(), kOpenFailed);
    ASSERT_TRUE(BindCryptoLibrary());
    EXPECT_EQ(ReadFileBytes(In("sealed.txt")), sealed);
    EXPECT_EQ(ReadFileBytes(In("opened.txt")), "old");
    EXPECT_EQ(Listing(), (Names{"opened.txt", "plain.txt", "sealed.txt"}));
}

TEST_F(SingleFileTest, AnOutputInAMissingFolderFails) {
    Write("plain.txt", "data");
    EXPECT_FALSE(Seal("plain.txt", "nowhere/sealed.txt"));
    EXPECT_EQ(LastShown(), kSealFailed);
    ASSERT_TRUE(Seal("plain.txt", "sealed.txt"));
    // Opening fails for want of a place to write, not for the key or the file's origin.
    EXPECT_FALSE(Open("sealed.txt", "nowhere/opened.txt"));
    EXPECT_EQ(LastShown(), SingleFile(keys::kOutputWriteFailed));
    EXPECT_EQ(Listing(), (Names{"plain.txt", "sealed.txt"}));
}

// Renaming the output over a device or a FIFO would quietly turn it into a plain file;
// such an output, like a folder, is refused before anything is done and stays what it was.
TEST_F(SingleFileTest, AnOutputThatIsNoRegularFileIsRefusedAndLeftAsItWas) {
    Write("plain.txt", "data");
    ASSERT_TRUE(Seal("plain.txt", "sealed.txt"));
    std::filesystem::create_directory(In("dir.txt"));
    ASSERT_EQ(::mkfifo(In("fifo").c_str(), 0600), 0);
    std::filesystem::create_symlink("/dev/null", In("device"));
    const Shown refused = SingleFile(keys::kOutputNotRegularFile);
    for (const char* output : {"dir.txt", "fifo", "device"}) {
        ui_.events.clear();
        EXPECT_FALSE(Seal("plain.txt", output)) << output;
        EXPECT_FALSE(Open("sealed.txt", output)) << output;
        EXPECT_EQ(ui_.events, (std::vector<Shown>{refused, refused})) << output;
    }
    EXPECT_TRUE(std::filesystem::is_directory(In("dir.txt")));
    EXPECT_TRUE(std::filesystem::is_fifo(In("fifo")));
    EXPECT_EQ(std::filesystem::read_symlink(In("device")), "/dev/null");
    EXPECT_TRUE(std::filesystem::is_character_file("/dev/null"));
    EXPECT_EQ(Listing(), (Names{"device", "dir.txt", "fifo", "plain.txt", "sealed.txt"}));
}

// ---------------------------------------------------------------------------------------
// Sealing and opening with the workbook conversion

const TextTable kBook = {
    {"name", "amount", "note"}, {"\xD5\xC5\xC8\xFD", "000123", ""}, {"x|y", "1.50", "z"}};

TEST_F(SingleFileTest, AWorkbookIsSealedAsDelimitedTextAndOpensAsTheSameWorkbook) {
    ASSERT_TRUE(WriteWorkbook(In("a.xls"), kBook).ok());
    const FileCryptSettings convert{true, ','};
    ASSERT_TRUE(Seal("a.xls", "b.xls", convert));
    EXPECT_EQ(LastShown(), kSealed);
    EXPECT_EQ(Listing(), (Names{"a.xls", "b.xls"}));

    // What was sealed is the delimited text of the workbook, first row included.
    ASSERT_TRUE(Open("b.xls", "text.txt"));
    EXPECT_EQ(ReadFileBytes(In("text.txt")),
              "name,amount,note\r\n\xD5\xC5\xC8\xFD,000123,\r\nx|y,1.50,z\r\n");

    ASSERT_TRUE(Open("b.xls", "c.xls", convert));
    EXPECT_EQ(LastShown(), kOpened);
    TextTable opened;
    ASSERT_TRUE(ReadWorkbook(In("c.xls"), opened).ok());
    EXPECT_EQ(opened, kBook);
    EXPECT_EQ(Listing(), (Names{"a.xls", "b.xls", "c.xls", "text.txt"}));
}

TEST_F(SingleFileTest, OpeningWithoutASeparatorPutsEachLineInOneCell) {
    ASSERT_TRUE(WriteWorkbook(In("a.xls"), {{"x", "y", ""}, {"", "", ""}, {"1", "2", "3"}}).ok());
    ASSERT_TRUE(Seal("a.xls", "b.xls", {true, '|'}));
    ASSERT_TRUE(Open("b.xls", "c.xls", {true, '\0'}));
    TextTable opened;
    ASSERT_TRUE(ReadWorkbook(In("c.xls"), opened).ok());
    // The blank row of the workbook is dropped; the trailing separator stays in the text.
    EXPECT_EQ(opened, (TextTable{{"x|y|"}, {"1|2|3"}}));
}

TEST_F(SingleFileTest, AnUpperCaseXlsIsNotConverted) {
    ASSERT_TRUE(WriteWorkbook(In("A.xls"), kBook).ok());
    std::filesystem::rename(In("A.xls"), In("A.XLS"));
    ASSERT_TRUE(Seal("A.XLS", "B.XLS", {true, '|'}));
    ASSERT_TRUE(Open("B.XLS", "C.XLS"));
    EXPECT_EQ(ReadFileBytes(In("C.XLS")), ReadFileBytes(In("A.XLS")));
}

TEST_F(SingleFileTest, AWorkbookThatCannotBeReadShowsTheConversionMessageOnly) {
    Write("a.xls", "plain text pretending to be a workbook");
    Write("b.xls", "previous sealed file");
    EXPECT_FALSE(Seal("a.xls", "b.xls", {true, '|'}));
    ASSERT_EQ(ui_.events.size(), 1u);
    EXPECT_EQ(ui_.events[0].caption, "Brindlecot");
    EXPECT_EQ(ui_.events[0].text.rfind("stdafx/msg9", 0), 0u) << ui_.events[0].text;
    EXPECT_EQ(ReadFileBytes(In("b.xls")), "previous sealed file");
    EXPECT_EQ(Listing(), (Names{"a.xls", "b.xls"}));
}

TEST_F(SingleFileTest, OpenedTextThatCannotBecomeAWorkbookShowsMsg8AndKeepsTheOutput) {
    // More columns than a .xls sheet holds.
    std::string wide;
    for (int i = 0; i < 300; ++i)
        wide += "c|";
    Write("wide.txt", wide + "\r\n");
    ASSERT_TRUE(Seal("wide.txt", "wide.xls"));
    Write("out.xls", "previous workbook");
    ui_.events.clear();
    EXPECT_FALSE(Open("wide.xls", "out.xls", {true, '|'}));
    ASSERT_EQ(ui_.events.size(), 1u);
    EXPECT_EQ(ui_.events[0].caption, "Brindlecot");
    EXPECT_EQ(ui_.events[0].text.rfind("DialogSingleFileCrypt/msg8", 0), 0u) << ui_.events[0].text;
    EXPECT_EQ(ReadFileBytes(In("out.xls")), "previous workbook");
    EXPECT_EQ(Listing(), (Names{"out.xls", "wide.txt", "wide.xls"}));
}

TEST_F(SingleFileTest, AFailedOpenBeforeTheConversionShowsMsg19AndLeavesNoTemporaryFile) {
    Write("bad.xls", PatternBytes(100));
    EXPECT_FALSE(Open("bad.xls", "out.xls", {true, '|'}));
    EXPECT_EQ(ui_.events, std::vector<Shown>{kOpenFailed});
    EXPECT_EQ(Listing(), (Names{"bad.xls"}));
}

// Files beside the output are the clerk's, whatever their names: sealing and opening, with
// and without conversion, stage their work in files of their own.
TEST_F(SingleFileTest, FilesBesideTheOutputAreNeverTakenOverOrRemoved) {
    ASSERT_TRUE(WriteWorkbook(In("a.xls"), kBook).ok());
    Write("plain.txt", "payroll\r\n");
    const Names beside{"b.xls_temp", "b.xls_temp.txt", "c.xls_temp", "s.txt_temp", "o.txt_temp"};
    for (const std::string& name : beside)
        Write(name, "the clerk's own " + name);
    ASSERT_TRUE(Seal("a.xls", "b.xls", {true, '|'}));
    ASSERT_TRUE(Open("b.xls", "c.xls", {true, '|'}));
    ASSERT_TRUE(Seal("plain.txt", "s.txt"));
    ASSERT_TRUE(Open("s.txt", "o.txt"));
    EXPECT_EQ(ReadFileBytes(In("o.txt")), "payroll\r\n");
    for (const std::string& name : beside)
        EXPECT_EQ(ReadFileBytes(In(name)), "the clerk's own " + name);
    EXPECT_EQ(Listing().size(), beside.size() + 6);
}

// A disk that fills up while a file is opened is no fault of the key or of where the file
// came from, which is what the opening's own message would suggest.
TEST_F(SingleFileTest, AFullDiskWhileOpeningBlamesTheDiskNotTheKey) {
    Write("plain.txt", PatternBytes(5000));
    ASSERT_TRUE(Seal("plain.txt", "sealed.bin"));
    Write("opened.txt", "keep me");
    ui_.events.clear();
    {
        testing::FileSizeLimit limit(1000);
        EXPECT_FALSE(Open("sealed.bin", "opened.txt"));
    }
    EXPECT_EQ(ui_.events, std::vector<Shown>{SingleFile(keys::kOutputWriteFailed)});
    EXPECT_EQ(ReadFileBytes(In("opened.txt")), "keep me");
    EXPECT_EQ(Listing(), (Names{"opened.txt", "plain.txt", "sealed.bin"}));
}

#endif  // KESTRELVANE_LIBRARY

// The shipped catalogues must hold every text these commands show.
TEST(ShippedCatalogues, HoldEveryKeyOfKeyInstallationAndSingleFileSealing) {
    SetAppFolder(BRINDLECOT_SOURCE_DIR "/dist");
    const std::vector<std::pair<std::string, int>> needed = {
        {"BrindlecotDlg", 2}, {"DialogCryptKey", 10}, {"DialogSingleFileCrypt", 24}};
    for (const char* catalogue : {"language/msgSimChi.ini", "language/msgTraChi.ini"}) {
        for (const auto& [section, count] : needed) {
            for (int i = 1; i <= count; ++i) {
                const std::string key = "msg" + std::to_string(i);
                EXPECT_FALSE(ReadIniString(section, key, "", 256, catalogue).empty())
                    << catalogue << " " << section << " " << key;
            }
        }
    }
}

}  // namespace
}  // namespace brindlecot
