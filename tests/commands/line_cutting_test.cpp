#include <gtest/gtest.h>

#include "template/commands/line_cutting.h"

namespace brindlecot {
namespace {

using Pieces = std::vector<std::string_view>;

TEST(LineCuttingTest, LinesEndAtLfWithTheCrBeforeItDropped) {
    EXPECT_EQ(SplitLines("a\r\nb\nc"), (Pieces{"a", "b", "c"}));
    EXPECT_EQ(SplitLines("a\r\n\r\n\nb\r\n"), (Pieces{"a", "", "", "b"}));
    // Only the CR of a CR LF pair goes; a CR elsewhere is data, as text-mode reading keeps it.
    EXPECT_EQ(SplitLines("a\rb\r\r\n"), (Pieces{"a\rb\r"}));
    EXPECT_EQ(SplitLines(""), Pieces{});
}

TEST(LineCuttingTest, SeparatorsInsideDoubleByteCharactersDoNotCut) {
    // 0x95 0x7C is one GBK character whose trail byte is '|'.
    const std::string line = "ab|\x95\x7C|c|";
    EXPECT_EQ(CountSeparators(line, '|'), 3u);
    EXPECT_EQ(SplitAtSeparator(line, '|'), (Pieces{"ab", "\x95\x7C", "c", ""}));
    EXPECT_EQ(SplitAtSeparator("", '|'), (Pieces{""}));
    // A lead byte at the very end has no trail byte and stays a byte of its own.
    EXPECT_EQ(SplitAtSeparator("x|\x95", '|'), (Pieces{"x", "\x95"}));
}

}  // namespace
}  // namespace brindlecot
