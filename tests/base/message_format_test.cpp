#include "base/message_format.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <string>

namespace brindlecot {
namespace {

// Well-formed texts must come out exactly as the C library's own formatting would make them.
TEST(FormatMessageTest, WellFormedTextsMatchTheCLibrary) {
    char expected[256];
    std::snprintf(expected, sizeof expected, "Field \"%s\" has no %s entry.", "Amount", "index");
    EXPECT_EQ(FormatMessage("Field \"%s\" has no %s entry.", {"Amount", "index"}), expected);

    std::snprintf(expected, sizeof expected, "%s %s repeats %d", "Name", "index", -12);
    EXPECT_EQ(FormatMessage("%s %s repeats %d", {"Name", "index", -12LL}), expected);

    std::snprintf(expected, sizeof expected, "typeLens %d, fields %d; 100%%", 0, INT_MAX);
    EXPECT_EQ(
        FormatMessage("typeLens %d, fields %d; 100%%", {0LL, static_cast<long long>(INT_MAX)}),
        expected);

    // GBK bytes pass through untouched around and inside the arguments.
    std::snprintf(expected, sizeof expected, "\xD7\xD6\xB6\xCE\xA1\xB0%s\xA1\xB1",
                  "\xD6\xD0\xCE\xC4");
    EXPECT_EQ(FormatMessage("\xD7\xD6\xB6\xCE\xA1\xB0%s\xA1\xB1", {"\xD6\xD0\xCE\xC4"}), expected);
}

TEST(FormatMessageTest, ConversionsBeyondTheArgumentsStayLiteral) {
    EXPECT_EQ(FormatMessage("%s%s%s%n", {}), "%s%s%s%n");
    EXPECT_EQ(FormatMessage("%s%s%s%n", {"A"}), "A%s%s%n");
    EXPECT_EQ(FormatMessage("%d and %d", {7LL}), "7 and %d");
    EXPECT_EQ(FormatMessage("ends with %", {"unused"}), "ends with %");
}

TEST(FormatMessageTest, OnlyMatchingConversionsConsumeArguments) {
    // A %d where a text is expected is shown as it stands; the text waits for a %s.
    EXPECT_EQ(FormatMessage("%d then %s", {"name"}), "%d then name");
    EXPECT_EQ(FormatMessage("%s", {42LL}), "%s");
    EXPECT_EQ(FormatMessage("%x %p %n %5d %-s %ls %%s", {"a", 1LL}), "%x %p %n %5d %-s %ls %s");
    EXPECT_EQ(FormatMessage("%s:%s", {"Date", "wrong"}), "Date:wrong");
}

TEST(FormatMessageTest, ArgumentsAreNeverReadAsFormats) {
    EXPECT_EQ(FormatMessage("[%s] %s", {"%s%n%d", "x"}), "[%s%n%d] x");
    EXPECT_EQ(FormatMessage("%d", {LLONG_MIN}), std::to_string(LLONG_MIN));
    EXPECT_EQ(FormatMessage("", {"a", 1LL}), "");
    const std::string embeddedNul("a\0b", 3);
    EXPECT_EQ(FormatMessage("%s!", {std::string_view{embeddedNul}}), std::string("a\0b!", 4));
}

}  // namespace
}  // namespace brindlecot
