#include "base/ini_file.h"
#include "base/app_path.h"
#include "tests/support/test_files.h"

#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <filesystem>

namespace brindlecot {
namespace {

class IniFileTest : public ::testing::Test {
protected:
    void SetUp() override { SetAppFolder(folder_.path().string()); }
    void WriteIni(std::string_view content) { folder_.Write("test.ini", content); }
    std::string Text(std::string_view section, std::string_view key, std::size_t size = 256) {
        return ReadIniString(section, key, "<default>", size, "test.ini");
    }
    int Number(std::string_view section, std::string_view key) {
        return ReadIniInt(section, key, -99, "test.ini");
    }

    testing::TempFolder folder_;
};

TEST_F(IniFileTest, NamesCompareWithoutRegardToCaseAndBlanksAreTrimmed) {
    WriteIni("  [ Language ]  \r\n   MODE   =   two  words here \t\r\n");
    EXPECT_EQ(Text("language", "mode"), "two  words here");
    EXPECT_EQ(Text("LANGUAGE", "Mode"), "two  words here");
    EXPECT_EQ(Text(" language ", " mode "), "two  words here");
}

TEST_F(IniFileTest, OnePairOfSurroundingQuotesIsRemoved) {
    WriteIni(
        "[q]\n"
        "double=\"  kept blanks  \"\n"
        "single='x'\n"
        "nested=\"\"inner\"\"\n"
        "unbalanced=\"open\n"
        "mixed=\"a'\n"
        "inside=a \"b\" c\n"
        "lone=\"\n");
    EXPECT_EQ(Text("q", "double"), "  kept blanks  ");
    EXPECT_EQ(Text("q", "single"), "x");
    EXPECT_EQ(Text("q", "nested"), "\"inner\"");
    EXPECT_EQ(Text("q", "unbalanced"), "\"open");
    EXPECT_EQ(Text("q", "mixed"), "\"a'");
    EXPECT_EQ(Text("q", "inside"), "a \"b\" c");
    EXPECT_EQ(Text("q", "lone"), "\"");
}

TEST_F(IniFileTest, FirstMatchWinsForKeysAndSections) {
    WriteIni(
        "[s]\nkey=first\nKEY=second\n"
        "[other]\nkey=elsewhere\n"
        "[S]\nkey=third\nlater=only in the repeated section\n");
    EXPECT_EQ(Text("s", "key"), "first");
    EXPECT_EQ(Text("other", "key"), "elsewhere");
    EXPECT_EQ(Text("s", "later"), "<default>");
}

TEST_F(IniFileTest, MissingFileSectionOrKeyGivesTheDefault) {
    EXPECT_EQ(Text("s", "key"), "<default>");
    EXPECT_EQ(Number("s", "key"), -99);
    WriteIni("[s]\nkey=value\n; comment=not a key\n[t]\n");
    EXPECT_EQ(Text("nosuch", "key"), "<default>");
    EXPECT_EQ(Text("s", "nosuch"), "<default>");
    EXPECT_EQ(Text("s", "; comment"), "<default>");
    EXPECT_EQ(Text("t", "key"), "<default>");
    EXPECT_EQ(ReadIniString("s", "nosuch", "", 256, "test.ini"), "");
}

TEST_F(IniFileTest, KeysBeforeAnySectionAndEmptyValues) {
    WriteIni("key=orphan\n[s]\nempty=\nblank=   \n");
    EXPECT_EQ(Text("", "key"), "<default>");
    EXPECT_EQ(Text("s", "empty"), "");
    EXPECT_EQ(Text("s", "blank"), "");
}

TEST_F(IniFileTest, TextIsCutToFitTheBuffer) {
    WriteIni("[s]\nkey=abcdef\n");
    EXPECT_EQ(Text("s", "key", 7), "abcdef");
    EXPECT_EQ(Text("s", "key", 4), "abc");
    EXPECT_EQ(Text("s", "key", 1), "");
    EXPECT_EQ(Text("s", "key", 0), "");
    EXPECT_EQ(ReadIniString("s", "nosuch", "defaultText", 5, "test.ini"), "defa");
}

TEST_F(IniFileTest, CutNeverLeavesHalfAGbkCharacter) {
    // "中文" is D6D0 CEC4 in GBK.
    WriteIni("[s]\nkey=a\xD6\xD0\xCE\xC4\n");
    EXPECT_EQ(Text("s", "key", 6), "a\xD6\xD0\xCE\xC4");
    EXPECT_EQ(Text("s", "key", 5), "a\xD6\xD0");
    EXPECT_EQ(Text("s", "key", 4), "a\xD6\xD0");
    EXPECT_EQ(Text("s", "key", 3), "a");
}

TEST_F(IniFileTest, GbkSecondBytesAreNotTakenForAsciiSyntaxOrFoldedCase) {
    // 0x81 0x5D has ']' as second byte; 0x81 0x41 and 0x81 0x61 differ only in what would
    // be the case of an ASCII letter.
    WriteIni(
        "[\x81\x5D"
        "x]\nkey=bracket\n"
        "[\x81\x41]\nkey=upper\n"
        "[\x81\x61]\nkey=lower\n"
        "[k]\n\xB1\x7C="
        "bar\n");
    EXPECT_EQ(Text("\x81\x5D"
                   "x",
                   "key"),
              "bracket");
    EXPECT_EQ(Text("\x81\x41", "key"), "upper");
    EXPECT_EQ(Text("\x81\x61", "key"), "lower");
    EXPECT_EQ(Text("k", "\xB1\x7C"), "bar");
}

TEST_F(IniFileTest, IntegersTakeSignAndLeadingDigits) {
    WriteIni(
        "[n]\n"
        "plain=42\nnegative=-7\npositive=+5\ntrailing=12abc\nspaced=  3 4\n"
        "quoted=\"8\"\nletters=abc\nempty=\nsignOnly=-\nhuge=99999999999\ntiny=-99999999999\n"
        "hex=0x1F\n");
    EXPECT_EQ(Number("n", "plain"), 42);
    EXPECT_EQ(Number("n", "negative"), -7);
    EXPECT_EQ(Number("n", "positive"), 5);
    EXPECT_EQ(Number("n", "trailing"), 12);
    EXPECT_EQ(Number("n", "spaced"), 3);
    EXPECT_EQ(Number("n", "quoted"), 8);
    EXPECT_EQ(Number("n", "hex"), 0);
    EXPECT_EQ(Number("n", "letters"), -99);
    EXPECT_EQ(Number("n", "empty"), -99);
    EXPECT_EQ(Number("n", "signOnly"), -99);
    EXPECT_EQ(Number("n", "huge"), INT_MAX);
    EXPECT_EQ(Number("n", "tiny"), INT_MIN);
}

// Parsed files are reused while unchanged; every kind of change must still be seen.
TEST_F(IniFileTest, ChangedFilesAreReadAgain) {
    using namespace std::chrono_literals;
    const std::string path = folder_.Write("test.ini", "[s]\nkey=1\n");
    EXPECT_EQ(Number("s", "key"), 1);
    // Rewritten at once with the same size: the file time may not even have moved.
    folder_.Write("test.ini", "[s]\nkey=2\n");
    EXPECT_EQ(Number("s", "key"), 2);

    // An old file is trusted while its time, size and identity stay the same...
    std::filesystem::last_write_time(path, std::filesystem::file_time_type::clock::now() - 1h);
    EXPECT_EQ(Number("s", "key"), 2);
    EXPECT_EQ(Number("s", "key"), 2);
    // ...and read again when any of them changes.
    folder_.Write("test.ini", "[s]\nkey=3\n");
    std::filesystem::last_write_time(path, std::filesystem::file_time_type::clock::now() - 2h);
    EXPECT_EQ(Number("s", "key"), 3);
    folder_.Write("test.ini", "[s]\nkey=42\n");
    std::filesystem::last_write_time(path, std::filesystem::file_time_type::clock::now() - 2h);
    EXPECT_EQ(Number("s", "key"), 42);
    std::filesystem::remove(path);
    EXPECT_EQ(Number("s", "key"), -99);
}

TEST_F(IniFileTest, NamesResolveBesideTheAppFolderNotTheCurrentDirectory) {
    folder_.Write("language/config.ini", "[language]\nmode=5\n");
    EXPECT_EQ(AppPath("language/config.ini"), folder_.path().string() + "/language/config.ini");
    EXPECT_EQ(AppPath(""), folder_.path().string());
    EXPECT_EQ(ReadIniInt("language", "mode", 0, "language/config.ini"), 5);
}

}  // namespace
}  // namespace brindlecot
