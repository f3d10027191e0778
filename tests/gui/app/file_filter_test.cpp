#include "gui/app/file_filter.h"

#include <gtest/gtest.h>

namespace brindlecot {
namespace {

std::vector<std::string> QtFilters(std::string_view catalogueFilter) {
    std::vector<std::string> filters;
    for (const FileFilterEntry& entry : ParseCatalogueFilter(catalogueFilter))
        filters.push_back(ToQtNameFilter(entry));
    return filters;
}

TEST(FileFilterTest, CatalogueFiltersBecomeQtNameFilters) {
    EXPECT_EQ(QtFilters("文本文件(*.txt)|*.txt|所有文件(*.*)|*.*||"),
              (std::vector<std::string>{"文本文件 (*.txt)", "所有文件 (*.*)"}));
    EXPECT_EQ(QtFilters("Excel Files(*.xls)|*.xls||"),
              (std::vector<std::string>{"Excel Files (*.xls)"}));
    EXPECT_EQ(QtFilters("Workbooks (*.xls;*.xlsx)|*.xls; *.xlsx||"),
              (std::vector<std::string>{"Workbooks (*.xls *.xlsx)"}));
    // The patterns that really apply are the second field, whatever the description says.
    EXPECT_EQ(QtFilters("Text(*.doc)|*.txt||"), (std::vector<std::string>{"Text (*.txt)"}));
    EXPECT_EQ(QtFilters("Text|*.txt"), (std::vector<std::string>{"Text (*.txt)"}));
}

TEST(FileFilterTest, EmptyOrIncompleteFiltersGiveNoFileTypes) {
    EXPECT_TRUE(ParseCatalogueFilter("").empty());
    EXPECT_TRUE(ParseCatalogueFilter("||").empty());
    EXPECT_TRUE(ParseCatalogueFilter("Text only").empty());
    EXPECT_TRUE(ParseCatalogueFilter("Text|").empty());
    EXPECT_EQ(QtFilters("A|*.a||B|*.b||"), (std::vector<std::string>{"A (*.a)"}));
}

TEST(FileFilterTest, DefaultSuffixFollowsTheFileType) {
    const auto entries = ParseCatalogueFilter(
        "所有文件(*.*)|*.*|文本文件(*.txt)|*.txt|Excel(*.xls)|*.xls|Both|*.xls;*.txt|Any|*||");
    ASSERT_EQ(entries.size(), 5u);
    EXPECT_EQ(DefaultSuffixFor(entries[0]), "");
    EXPECT_EQ(DefaultSuffixFor(entries[1]), "txt");
    EXPECT_EQ(DefaultSuffixFor(entries[2]), "xls");
    EXPECT_EQ(DefaultSuffixFor(entries[3]), "");
    EXPECT_EQ(DefaultSuffixFor(entries[4]), "");
}

}  // namespace
}  // namespace brindlecot
