#include <gtest/gtest.h>

#include <filesystem>

#include "commands/template_listing.h"
#include "tests/support/test_files.h"

namespace brindlecot {
namespace {

using testing::TempFolder;
using testing::WriteFileBytes;
using Names = std::vector<std::string>;

TEST(TemplateListingTest, OnlyFilesEndingInLowerCaseCfgAreListedCaseInsensitivelySorted) {
    TempFolder folder;
    for (const char* name : {"c.txt", "B.cfg", "a.cfg", "e.CFG", ".cfg", "x.cfg.bak"})
        WriteFileBytes(folder / name, "");
    std::filesystem::create_directory(folder.path() / "d.cfg");
    EXPECT_EQ(ListTemplateNames(folder.path().string()), (Names{"a", "B"}));
}

TEST(TemplateListingTest, ChineseNamesFollowTheirPinyinOrderAsGbkGivesIt) {
    TempFolder folder;
    // dai, fei, pi: in UTF-8 byte order 批 (E6) would come before 费 (E8).
    for (const char* name : {"批量转账.cfg", "费用报销汇总.cfg", "代发工资.cfg"})
        WriteFileBytes(folder / name, "");
    EXPECT_EQ(ListTemplateNames(folder.path().string()),
              (Names{"代发工资", "费用报销汇总", "批量转账"}));
}

TEST(TemplateListingTest, MissingFolderGivesNoNames) {
    EXPECT_TRUE(ListTemplateNames("/nonexistent/conf").empty());
}

}  // namespace
}  // namespace brindlecot
