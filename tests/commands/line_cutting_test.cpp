#include <gtest/gtest.h>

#include <string>

#include "commands/line_cutting.h"

namespace brindlecot {
namespace {

using Pieces = std::vector<std::string_view>;

TEST(LineCuttingTest, SeparatorsInsideDoubleByteCharactersDoNotCut) {
    // 0x95 0x7C is one GBK character whose trail byte is '|'.
    const std::string line = "ab|\x95\x7C|c|";
    EXPECT_EQ(CountSeparators(line, '|'), 3u);
    EXPECT_EQ(SplitAtSeparator(line, '|', 9), (Pieces{"ab", "\x95\x7C", "c", ""}));
    EXPECT_EQ(SplitAtSeparator("", '|', 2), (Pieces{""}));
    // A lead byte at the very end has no trail byte and stays a byte of its own.
    EXPECT_EQ(SplitAtSeparator("x|\x95", '|', 2), (Pieces{"x", "\x95"}));
}

TEST(LineCuttingTest, OnlyTheWantedPiecesAreCutEachEndingAtItsSeparator) {
    EXPECT_EQ(SplitAtSeparator("a|b|c|d", '|', 2), (Pieces{"a", "b"}));
    EXPECT_EQ(SplitAtSeparator("a|b|c|d", '|', 4), (Pieces{"a", "b", "c", "d"}));
    EXPECT_EQ(SplitAtSeparator("a|b", '|', 0), Pieces{});
    // A hundred million separators: only the first few pieces are ever made.
    const std::string separators(100'000'000, '|');
    const Pieces pieces = SplitAtSeparator(separators, '|', 3);
    EXPECT_EQ(pieces, (Pieces{"", "", ""}));
    EXPECT_LE(pieces.capacity(), 3u);
    EXPECT_EQ(CountSeparators(separators, '|'), separators.size());
}

}  // namespace
}  // namespace brindlecot
