#include "base/app_path.h"
#include "base/gbk_text.h"
#include "base/ini_file.h"
#include "base/message_catalogue.h"
#include "tests/support/test_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

namespace brindlecot {
namespace {

// Every text the program fetches, with the arguments its callers fill in, in order
// ('s' a text, 'd' an integer).
struct Key {
    std::string section;
    std::string key;
    std::string conversions;
};

std::vector<Key> AllKeys() {
    std::vector<Key> keys;
    auto add = [&keys](const char* section, int from, int to, const char* conversions = "") {
        for (int i = from; i <= to; ++i)
            keys.push_back({section, "msg" + std::to_string(i), conversions});
    };
    add("Brindlecot", 1, 2);
    add("BrindlecotDlg", 1, 6);
    add("DialogCryptKey", 1, 10);
    add("DialogModelDlg", 2, 9);
    add("DialogModelDlg", 10, 10, "ss");
    add("DialogModelDlg", 11, 11, "s");
    add("DialogModelDlg", 12, 12, "ss");
    add("DialogModelDlg", 13, 13, "ssd");
    add("DialogModelDlg", 14, 14, "dd");
    add("DialogModelDlg", 15, 17, "ss");
    add("DialogModelDlg", 18, 19);
    add("DialogModelDlg", 20, 20, "d");
    add("DialogModelDlg", 21, 24, "sss");
    add("DialogModelDlg", 25, 25, "s");
    add("DialogModelDlg", 26, 26, "ss");
    add("DialogModelDlg", 27, 29);
    add("DialogModelDlg", 30, 31, "s");
    add("DialogModelDlg", 32, 33);
    add("DialogModelDlg", 35, 38);
    add("DialogModelDlg", 40, 52);
    add("DialogModelDlg", 53, 53, "s");
    add("DialogModelDlg", 54, 54, "d");
    add("DialogModelDlg", 55, 57);
    add("DialogModelDlg", 58, 58, "d");
    add("DialogModelDlg", 59, 59, "dss");
    add("DialogModelDlg", 60, 61, "d");
    add("DialogModelDlg", 62, 62);
    add("DialogModelDlg", 63, 64, "d");
    add("DialogModelDlg", 70, 73);
    add("DialogModelDlg", 74, 75, "d");
    add("DialogModelDlg", 76, 76, "ds");
    add("DialogModelDlg", 77, 77, "s");
    add("DialogModelDlg", 78, 78);
    add("DialogModelDlg", 90, 94);
    add("DialogModelDlg", 95, 98, "s");
    add("DialogOperSelect", 1, 7);
    add("DialogSingleFileCrypt", 1, 24);
    add("stdafx", 1, 1);
    add("stdafx", 2, 2, "s");
    add("stdafx", 4, 4);
    add("stdafx", 5, 5, "sd");
    add("stdafx", 7, 12);
    add("stdafx", 13, 13, "s");
    return keys;
}

// The conversions of a text in order; any '%' sequence other than %s, %d and %% is
// reported as itself so that a stray conversion fails the comparison.
std::string Conversions(const std::string& text) {
    std::string found;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%')
            continue;
        if (i + 1 < text.size() && text[i + 1] == '%') {
            ++i;
        } else if (i + 1 < text.size() && (text[i + 1] == 's' || text[i + 1] == 'd')) {
            found += text[++i];
        } else {
            found += "<%>";
        }
    }
    return found;
}

class ShippedCatalogueTest : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override { SetAppFolder(BRINDLECOT_SOURCE_DIR "/dist"); }
    std::string Catalogue() const { return std::string{"language/"} + GetParam(); }
};

// The named keys of base/catalogue/, read from the headers themselves so that a key added
// there without its catalogue texts is caught.
// The quoted text after each `marker` in `text`. (Plain searching: GCC 12's <regex> does
// not build under the sanitizers with -Werror.)
std::vector<std::string> QuotedAfter(const std::string& text, const std::string& marker) {
    std::vector<std::string> found;
    for (std::size_t at = text.find(marker); at != std::string::npos;
         at = text.find(marker, at + 1)) {
        const std::size_t start = at + marker.size();
        const std::size_t end = text.find('"', start);
        if (end != std::string::npos)
            found.push_back(text.substr(start, end - start));
    }
    return found;
}

std::vector<std::pair<std::string, std::string>> NamedKeys() {
    std::vector<std::pair<std::string, std::string>> named;
    for (const auto& entry :
         std::filesystem::directory_iterator(BRINDLECOT_SOURCE_DIR "/base/catalogue")) {
        const std::string text = testing::ReadFileBytes(entry.path().string());
        const std::vector<std::string> section = QuotedAfter(text, "kSection = \"");
        if (section.empty())
            continue;
        for (const std::string& key : QuotedAfter(text, "{kSection, \""))
            named.emplace_back(section.front(), key);
    }
    return named;
}

TEST(CatalogueKeyHeaders, NameOnlyKeysTheCataloguesHold) {
    const std::vector<Key> all = AllKeys();
    const auto named = NamedKeys();
    EXPECT_EQ(named.size(), all.size());
    for (const auto& entry : named) {
        EXPECT_TRUE(std::any_of(
            all.begin(), all.end(),
            [&entry](const Key& k) { return k.section == entry.first && k.key == entry.second; }))
            << entry.first << "/" << entry.second;
    }
}

TEST_P(ShippedCatalogueTest, IsValidGbk) {
    const std::string content = testing::ReadFileBytes(AppPath(Catalogue()));
    ASSERT_FALSE(content.empty());
    EXPECT_TRUE(GbkToUtf8(content).has_value());
}

TEST_P(ShippedCatalogueTest, EveryKeyIsPresentShortAndHasTheRightConversions) {
    for (const Key& key : AllKeys()) {
        SCOPED_TRACE(key.section + "/" + key.key);
        // A larger buffer than the program's, so that an over-long entry shows up.
        const std::string text = ReadIniString(key.section, key.key, "", 4096, Catalogue());
        EXPECT_FALSE(text.empty());
        EXPECT_LE(text.size(), kMessageBufferSize - 1);
        EXPECT_EQ(Conversions(text), key.conversions);
        EXPECT_TRUE(GbkToUtf8(text).has_value());
    }
}

TEST_P(ShippedCatalogueTest, FileDialogFiltersAreWellFormed) {
    for (const auto& [section, key] : {std::pair{"DialogModelDlg", "msg36"},
                                       {"DialogSingleFileCrypt", "msg9"},
                                       {"DialogSingleFileCrypt", "msg10"}}) {
        SCOPED_TRACE(std::string{section} + "/" + key);
        const std::string filter = ReadIniString(section, key, "", 256, Catalogue());
        ASSERT_TRUE(filter.ends_with("||"));
        const std::string utf8 = GbkToUtf8(filter).value_or("");
        const std::string pairs = utf8.substr(0, utf8.size() - 2);
        // description|patterns|description|patterns: an odd number of separators.
        EXPECT_EQ(std::count(pairs.begin(), pairs.end(), '|') % 2, 1);
    }
    // The output browse adds no extension for the first type, "txt" for the second and
    // "xls" for the third.
    const std::string output =
        ReadIniString("DialogSingleFileCrypt", "msg10", "", 256, Catalogue());
    EXPECT_NE(output.find("|*.*|"), std::string::npos);
    EXPECT_LT(output.find("|*.*|"), output.find("|*.txt|"));
    EXPECT_LT(output.find("|*.txt|"), output.find("|*.xls||"));
}

INSTANTIATE_TEST_SUITE_P(BothLanguages, ShippedCatalogueTest,
                         ::testing::Values("msgSimChi.ini", "msgTraChi.ini"));

TEST(ShippedLanguageChoiceTest, ShipsTheSimplifiedCatalogueAsDefault) {
    SetAppFolder(BRINDLECOT_SOURCE_DIR "/dist");
    SelectMessageCatalogue();
    EXPECT_EQ(MessageCatalogueName(), "language/msgSimChi.ini");
    EXPECT_NE(LoadMessage("Brindlecot", "msg2"),
              ReadIniString("Brindlecot", "msg2", "", 256, "language/msgTraChi.ini"));
    EXPECT_EQ(LoadMessage("Brindlecot", "msg2"),
              ReadIniString("Brindlecot", "msg2", "", 256, "language/msgSimChi.ini"));
}

}  // namespace
}  // namespace brindlecot
