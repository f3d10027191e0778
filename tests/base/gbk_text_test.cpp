#include "base/gbk_text.h"

#include <gtest/gtest.h>

namespace brindlecot {
namespace {

// Byte values from the GB 2312 / GBK code tables.
constexpr std::string_view kZhongWenGbk = "\xD6\xD0\xCE\xC4";  // 中文
constexpr std::string_view kZhongWenUtf8 = "\xE4\xB8\xAD\xE6\x96\x87";
constexpr std::string_view kTraditionalGbk = "\x99\x6E\xB0\xB8";  // 檔案
constexpr std::string_view kTraditionalUtf8 = "\xE6\xAA\x94\xE6\xA1\x88";

TEST(GbkTextTest, KnownCharactersConvertBothWays) {
    EXPECT_EQ(GbkToUtf8(kZhongWenGbk), std::string{kZhongWenUtf8});
    EXPECT_EQ(Utf8ToGbk(kZhongWenUtf8), std::string{kZhongWenGbk});
    EXPECT_EQ(GbkToUtf8(kTraditionalGbk), std::string{kTraditionalUtf8});
    EXPECT_EQ(Utf8ToGbk(kTraditionalUtf8), std::string{kTraditionalGbk});
    EXPECT_EQ(GbkToUtf8(""), "");
    EXPECT_EQ(Utf8ToGbk("ASCII 0-9 %s|"), "ASCII 0-9 %s|");
}

TEST(GbkTextTest, EveryTwoByteGbkCharacterRoundTrips) {
    int converted = 0;
    for (int lead = 0x81; lead <= 0xFE; ++lead) {
        for (int trail = 0x40; trail <= 0xFE; ++trail) {
            if (trail == 0x7F)
                continue;
            const std::string gbk{static_cast<char>(lead), static_cast<char>(trail)};
            const auto utf8 = GbkToUtf8(gbk);
            if (!utf8)
                continue;  // unassigned code point
            ++converted;
            ASSERT_EQ(Utf8ToGbk(*utf8), gbk) << std::hex << lead << ' ' << trail;
        }
    }
    EXPECT_GT(converted, 21000);  // GBK assigns 21886 two-byte code points
}

TEST(GbkTextTest, TextGbkCannotHoldIsRefusedNotReplaced) {
    EXPECT_FALSE(Utf8ToGbk("\xF0\x9F\x98\x80"));  // an emoji
    EXPECT_FALSE(Utf8ToGbk(std::string{kZhongWenUtf8} +
                           "\xED\x95\x9C"));  // a Hangul syllable after valid text
    EXPECT_FALSE(Utf8ToGbk("\xFF"));          // not UTF-8
    EXPECT_FALSE(Utf8ToGbk("\xE4\xB8"));      // cut UTF-8 sequence
}

TEST(GbkTextTest, InvalidGbkIsRefusedOrShownWithReplacementCharacters) {
    EXPECT_FALSE(GbkToUtf8("\xD6"));  // lead byte without its second byte
    EXPECT_FALSE(
        GbkToUtf8("a\xFF"
                  "b"));
    EXPECT_EQ(GbkToUtf8ForDisplay("a\xFF"
                                  "b"),
              "a\xEF\xBF\xBD"
              "b");
    EXPECT_EQ(GbkToUtf8ForDisplay(std::string{kZhongWenGbk} + "\xD6"),
              std::string{kZhongWenUtf8} + "\xEF\xBF\xBD");
}

}  // namespace
}  // namespace brindlecot
