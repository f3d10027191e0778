#include "template/field_rules.h"
#include "base/catalogue/stdafx_keys.h"

#include <chrono>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <random>

#include "base/message_catalogue.h"
#include "base/message_format.h"
#include "template/number_text.h"
#include "template/template_definition.h"
#include "test_support.h"

namespace brindlecot {
namespace {

using testing::Gbk;

struct ValidationCase {
    std::string value;
    std::string type;
    bool required;
    int result;
    std::string rewritten;
};

void ExpectValidation(const std::vector<ValidationCase>& cases) {
    for (const ValidationCase& c : cases) {
        std::string value = c.value;
        EXPECT_EQ(ValidateFieldValue(value, c.type, c.required), c.result)
            << "value '" << c.value << "' type " << c.type;
        EXPECT_EQ(value, c.rewritten) << "value '" << c.value << "' type " << c.type;
    }
}

TEST(ValidateFieldValue, RequiredAndEmptyValues) {
    ExpectValidation({
        {"", "10\"N\"", true, RuleRequiredEmpty, ""},
        {"", "10\"N\"", false, RuleNotNumeric, ""},
        {"", "10\"X\"", false, RuleOk, ""},
        {"", "10\"E\"", false, RuleOk, ""},
        {"", "10\"M\"", false, RuleBadAmount, ""},
        // Blanks pass the required test, which comes before trimming.
        {"   ", "5\"X\"", true, RuleOk, ""},
        {"", "", true, RuleRequiredEmpty, ""},
        // Without a type code nothing is checked or rewritten.
        {" a ", "", false, RuleOk, " a "},
    });
}

TEST(ValidateFieldValue, Dates) {
    ExpectValidation({
        {"", "YYYYMMDD", false, RuleOk, "        "},
        {"2016-02-29", "YYYYMMDD", false, RuleOk, "20160229"},
        {"2016/02/29", "yyyymmdd", false, RuleOk, "20160229"},
        {" 2016-2-29 ", "YYYYMMDD", false, RuleBadDate, "2016229"},
        {"20150229", "YYYYMMDD", false, RuleBadDate, "20150229"},
        {"20161301", "YYYYMMDD", false, RuleBadDate, "20161301"},
        {"20160431", "YYYYMMDD", false, RuleBadDate, "20160431"},
        {"20160100", "YYYYMMDD", false, RuleBadDate, "20160100"},
        {"20000229", "YYYYMMDD", false, RuleOk, "20000229"},
        {"19000229", "YYYYMMDD", false, RuleBadDate, "19000229"},
        // The separators stay removed although the date is refused.
        {"2015-02-29", "YYYYMMDD", false, RuleBadDate, "20150229"},
        {"abcdefgh", "YYYYMMDD", false, RuleBadDate, "abcdefgh"},
        // A value part of YYYYMMDD with a filler part is still a date.
        {"2024/01/31", "YYYYMMDD+2\"X\"", false, RuleOk, "20240131"},
    });
}

TEST(ValidateFieldValue, DigitsTextAndUnknownLetters) {
    ExpectValidation({
        {"123", "3\"N\"", false, RuleOk, "123"},
        {"1234", "3\"N\"", false, RuleTooLong, "1234"},
        {"12a", "3\"N\"", false, RuleNotNumeric, "12a"},
        {" 12 ", "3\"N\"", false, RuleOk, "12"},
        {"-12", "3\"N\"", false, RuleNotNumeric, "-12"},
        {"abcde", "5\"X\"", false, RuleOk, "abcde"},
        {"abcdef", "5\"X\"", false, RuleTooLong, "abcdef"},
        // Type letters are case-sensitive: "n" only limits the length.
        {"ab12", "5\"n\"", false, RuleOk, "ab12"},
        {"abcdef", "5\"n\"", false, RuleTooLong, "abcdef"},
        // Only the value part limits what is typed.
        {"ABCDE", "4\"X\"+3\"N\"", false, RuleTooLong, "ABCDE"},
        {"AB", "4\"X\"+3\"N\"", false, RuleOk, "AB"},
        // A value is one line: one holding a line break, a NUL or a TAB is refused as it
        // is, not cut (the cut-off part was lost, and the batch line broken).
        {"12\r\n34", "10\"X\"", false, RuleControlCharacter, "12\r\n34"},
        {std::string("12\0"
                     "34",
                     5),
         "10\"X\"", false, RuleControlCharacter,
         std::string("12\0"
                     "34",
                     5)},
        {"12\t34", "", false, RuleControlCharacter, "12\t34"},
        {"12\r34", "1\"X\"+1\"N\"+1\"N\"", false, RuleBadType, "12\r34"},
    });
}

TEST(ValidateFieldValue, DoubleByteTextIsMeasuredInBytes) {
    const std::string name3 = Gbk("张三丰");  // six bytes
    const std::string name2 = Gbk("张三");    // four bytes
    ExpectValidation({
        {name3, "5\"X\"", false, RuleTooLong, name3},
        {name2, "5\"X\"", false, RuleOk, name2},
        {name3, "6\"X\"", false, RuleOk, name3},
        // Full-width text: "abc" becomes six bytes.
        {"abc", "12\"E\"", false, RuleOk, "abc"},
        {"abc", "5\"E\"", false, RuleTooLong, "abc"},
        {name2, "4\"E\"", false, RuleOk, name2},
        {Gbk("中") + "a", "3\"E\"", false, RuleTooLong, Gbk("中") + "a"},
    });
}

TEST(ValidateFieldValue, Amounts) {
    ExpectValidation({
        {"12345", "5\"M\"", false, RuleOk, "12345.00"},
        {"123456", "5\"M\"", false, RuleBadAmount, "123456"},
        {"1234.5", "5\"M\"", false, RuleOk, "1234.50"},
        {"12345.6", "5\"M\"", false, RuleBadAmount, "12345.6"},
        {"12.5", "10\"M\"", false, RuleOk, "12.50"},
        {".5", "10\"M\"", false, RuleOk, "0.50"},
        {"7.", "10\"M\"", false, RuleOk, "7.00"},
        {"300", "10\"M\"", false, RuleOk, "300.00"},
        {" 12.5 ", "10\"M\"", false, RuleOk, "12.50"},
        {"1.234", "10\"M\"", false, RuleBadAmount, "1.234"},
        {"1,000", "10\"M\"", false, RuleBadAmount, "1,000"},
        {"-5", "10\"M\"", false, RuleBadAmount, "-5"},
        {"+5", "10\"M\"", false, RuleBadAmount, "+5"},
        {"1.2.3", "10\"M\"", false, RuleBadAmount, "1.2.3"},
        {"1.x", "10\"M\"", false, RuleBadAmount, "1.x"},
        {"a.5", "10\"M\"", false, RuleBadAmount, "a.5"},
    });
}

TEST(ValidateFieldValue, UnusableTypeCodes) {
    ExpectValidation({
        {"1", "3\"N\"+2\"N\"+1\"N\"", false, RuleBadType, "1"},
        {"1", "N", false, RuleBadType, "1"},
        {"1", "\"N\"", false, RuleBadType, "1"},
        {"1", "0\"X\"", false, RuleBadType, "1"},
        // Trimming happens before the code is found unusable.
        {" 1 ", "N", false, RuleBadType, "1"},
    });
}

TEST(LengthArithmetic, DeclaredAndTotalLengths) {
    EXPECT_EQ(DeclaredLength("20\"X\"+6\"N\""), 20);
    EXPECT_EQ(TotalLength("20\"X\"+6\"N\""), 26);
    EXPECT_EQ(DeclaredLength("10\"N\""), 10);
    EXPECT_EQ(TotalLength("10\"N\""), 10);
    EXPECT_EQ(DeclaredLength("YYYYMMDD"), 8);
    EXPECT_EQ(TotalLength("yyyymmdd"), 8);
    EXPECT_EQ(DeclaredLength("N"), 0);
    EXPECT_EQ(TotalLength("N"), 0);
    EXPECT_EQ(DeclaredLength(" 7\"X\""), 7);
    EXPECT_EQ(TotalLength("3\"N\"+2\"N\"+1\"N\""), 5);
}

TEST(FillFieldValue, PadsByLetter) {
    struct FillCase {
        std::string value;
        std::string type;
        std::string filled;
    };
    const std::string fullAbc = Gbk("ａｂｃ");
    const std::string fullBlank = "\xA1\xA1";
    const std::vector<FillCase> cases = {
        {"42", "5\"N\"", "00042"},
        {"42", "5\"X\"", "42   "},
        {"42", "12\"M\"", "42"},
        {"42", "5\"n\"", "42"},
        {"AB", "4\"X\"+3\"N\"", "AB  000"},
        {"a", "2\"X\"+4\"E\"", "a " + fullBlank + fullBlank},
        {"abc", "8\"E\"", fullAbc + fullBlank},
        {"abc", "7\"E\"", fullAbc + fullBlank},
        {"123456", "5\"N\"", "123456"},
        {"abcdef", "3\"X\"", "abcdef"},
        {"20240131", "YYYYMMDD", "20240131"},
        {"1", "3\"N\"+2\"N\"+1\"N\"", "1"},
        {"1", "N", "1"},
        {Gbk("张三"), "5\"X\"", Gbk("张三") + " "},
    };
    for (const FillCase& c : cases) {
        std::string value = c.value;
        FillFieldValue(value, c.type);
        EXPECT_EQ(value, c.filled) << c.value << " " << c.type;
        // A code taken apart once pads every later value alike, straight into a line.
        const ParsedTypeCode parsed(c.type);
        std::string line = "|";
        AppendFilledValue(line, c.value, parsed);
        AppendFilledValue(line, c.value, parsed);
        EXPECT_EQ(line, "|" + c.filled + c.filled) << c.value << " " << c.type;
    }
}

// Checking a value never builds the filler block: a code that was never loaded (and so
// never limited) may declare gigabytes of it.
TEST(ValidateFieldValue, DoesNotBuildTheFillerBlock) {
    std::string value = "a";
    EXPECT_EQ(ValidateFieldValue(value, "1\"X\"+2000000000\"N\"", true), RuleOk);
    const ParsedTypeCode parsed("1\"X\"+2000000000\"N\"");
    EXPECT_EQ(ValidateFieldValue(value, parsed, true), RuleOk);
}

TEST(ToFullWidth, ConvertsHalfWidthAndKeepsDoubleByteCharacters) {
    auto convert = [](std::string_view source) {
        std::string out = "untouched";
        ToFullWidth(source, out);
        return out;
    };
    EXPECT_EQ(convert("abc"), Gbk("ａｂｃ"));
    EXPECT_EQ(convert("A" + Gbk("中") + "1z"), Gbk("Ａ中１ｚ"));
    EXPECT_EQ(convert(Gbk("Ａ中")), Gbk("Ａ中"));
    EXPECT_EQ(convert("\xA1\xA1x"), "\xA1\xA1" + Gbk("ｘ"));
    EXPECT_EQ(convert(" "), "\xA3\xA0");
    EXPECT_EQ(convert(""), "");
    // 0x80 has no full-width form; it must not end the text.
    EXPECT_EQ(convert("a\x80z"), Gbk("ａ") + "\x80" + Gbk("ｚ"));
    EXPECT_EQ(convert("\x80"), "\x80");
    // Long sources are left alone: the destination keeps its old text.
    EXPECT_EQ(convert(std::string(128, 'a')), "untouched");
    EXPECT_EQ(convert(std::string(127, 'a')).size(), 254u);
}

TEST(IsValidDate, AgreesWithTheCalendar) {
    using namespace std::chrono;
    char text[16];
    for (int y = 1896; y <= 2104; ++y) {
        for (unsigned m = 0; m <= 13; ++m) {
            for (unsigned d = 0; d <= 32; ++d) {
                std::snprintf(text, sizeof text, "%04d%02u%02u", y, m, d);
                const bool real = year_month_day{year{y}, month{m}, day{d}}.ok();
                ASSERT_EQ(IsValidDate(text), real) << text;
            }
        }
    }
    EXPECT_FALSE(IsValidDate("2016021"));
    EXPECT_FALSE(IsValidDate("201602291"));
    EXPECT_FALSE(IsValidDate("2O160229"));
    EXPECT_FALSE(IsValidDate("2016-229"));
}

TEST(TextRoutines, TrimRemoveExtractMeasure) {
    std::string text = "  a b  ";
    EXPECT_EQ(TrimBlanks(text), 3);
    EXPECT_EQ(text, "a b");
    text =
        "\xA1\xA1"
        "a\xA1\xA1";
    EXPECT_EQ(TrimBlanks(text), 5);
    text = "ab \r\n cd";
    EXPECT_EQ(TrimBlanks(text), 2);
    EXPECT_EQ(text, "ab");

    text = "2016-02-29";
    EXPECT_EQ(RemoveChar(text, '-', false), 8);
    EXPECT_EQ(text, "2016-02-29");
    EXPECT_EQ(RemoveChar(text, '-', true), 8);
    EXPECT_EQ(text, "20160229");

    std::string out = "old";
    ExtractBetween("[name]", '[', ']', out);
    EXPECT_EQ(out, "name");
    ExtractBetween("x[abc", '[', ']', out);
    EXPECT_EQ(out, "abc");
    ExtractBetween("abc", '[', ']', out);
    EXPECT_EQ(out, "abc");  // untouched
    ExtractBetween("", '[', ']', out);
    EXPECT_EQ(out, "");
    ExtractBetween("\"|\"", '"', '"', out);
    EXPECT_EQ(out, "|");
    ExtractBetween("\"\"", '"', '"', out);
    EXPECT_EQ(out, "");
    // GBK characters whose second byte is ']' or '[' are not brackets.
    const std::string trailBracket = "\x81\x5D";
    const std::string trailOpen = "\x95\x5B";
    ASSERT_TRUE(GbkToUtf8(trailBracket + trailOpen).has_value());
    ExtractBetween(trailOpen + "[a" + trailBracket + "b]", '[', ']', out);
    EXPECT_EQ(out, "a" + trailBracket + "b");

    EXPECT_EQ(LineLength("ab\r\ncd"), 2);
    EXPECT_EQ(LineLength("ab\ncd"), 2);
    EXPECT_EQ(LineLength(std::string_view("ab\0cd", 5)), 2);
    EXPECT_EQ(LineLength(static_cast<const char*>(nullptr)), 0);
    EXPECT_EQ(LineLength("abc"), 3);
    // Against a plain search, with the stop byte at every position of texts longer than a
    // word and bytes that look like CR or LF in their low bits (0x8D, 0x0E, 0xFF).
    const std::string filler = "a\x8D\x0E\xFF\x0C\x80 Z";
    for (std::size_t size = 0; size < 40; ++size) {
        std::string text;
        for (std::size_t i = 0; i < size; ++i)
            text += filler[i % filler.size()];
        EXPECT_EQ(LineLength(text), static_cast<int>(size));
        for (std::size_t at = 0; at < size; ++at) {
            for (const char stop : {'\0', '\r', '\n'}) {
                std::string cut = text;
                cut[at] = stop;
                const std::size_t expected = cut.find_first_of(std::string_view("\0\r\n", 3));
                EXPECT_EQ(LineLength(cut), static_cast<int>(expected)) << size << " " << at;
            }
        }
    }
}

TEST(TextRoutines, CharacterClasses) {
    EXPECT_EQ(CheckCharClass("0123456789", 1), 0);
    EXPECT_EQ(CheckCharClass("12a", 1), -1);
    EXPECT_EQ(CheckCharClass("", 1), -1);
    EXPECT_EQ(CheckCharClass("09afAF", 2), 0);
    EXPECT_EQ(CheckCharClass("0g", 2), -1);
    EXPECT_EQ(CheckCharClass("1234", 3), 0);
    EXPECT_EQ(CheckCharClass("5", 3), -1);
    EXPECT_EQ(CheckCharClass("1", 4), -1);
}

TEST(TextRoutines, SplitKeyValue) {
    std::string line = "typeLens=120";
    std::string value;
    EXPECT_TRUE(SplitKeyValue(line, "typeLens", '=', value));
    EXPECT_EQ(line, "typeLens");
    EXPECT_EQ(value, "120");

    line = "TypeLens=120";
    EXPECT_FALSE(SplitKeyValue(line, "typeLens", '=', value));
    line = "typeLens";
    EXPECT_FALSE(SplitKeyValue(line, "typeLens", '=', value));
    line = "a=b=c";
    EXPECT_TRUE(SplitKeyValue(line, "a", '=', value));
    EXPECT_EQ(value, "b=c");
    // The key may stand anywhere, even in the value.
    line = "x=in";
    EXPECT_TRUE(SplitKeyValue(line, "in", '=', value));
    EXPECT_EQ(value, "in");
    line = "value=";
    EXPECT_TRUE(SplitKeyValue(line, "value", '=', value));
    EXPECT_EQ(value, "");
}

// AmountToCents by its definition, with the C library: strtod, times 100, "%f", cut.
std::string CentsByPrintf(const std::string& amount) {
    std::string plain;
    for (const char c : amount) {
        if (c != ',')
            plain += c;
    }
    char buffer[512];
    std::snprintf(buffer, sizeof buffer, "%f", std::strtod(plain.c_str(), nullptr) * 100);
    std::string text = buffer;
    return text.substr(0, text.find('.'));
}

TEST(AmountRoutines, AmountToCents) {
    std::string out;
    AmountToCents("1,234.56", out);
    EXPECT_EQ(out, "123456");
    AmountToCents("0.29", out);
    EXPECT_EQ(out, "29");
    AmountToCents("", out);
    EXPECT_EQ(out, "0");
    AmountToCents("12abc", out);
    EXPECT_EQ(out, "1200");
    AmountToCents("-5", out);
    EXPECT_EQ(out, "-500");
    AmountToCents("1e3", out);
    EXPECT_EQ(out, "100000");
}

TEST(AmountRoutines, AmountToCentsMatchesTheCLibraryOnRandomAmounts) {
    ASSERT_STREQ(std::setlocale(LC_NUMERIC, nullptr), "C");
    std::mt19937_64 random(20261207);
    const std::vector<std::string> fixed = {"0.29",
                                            "1.15",
                                            "4.35",
                                            "0.57",
                                            "9.99",
                                            "0.999999999",
                                            "12.3456789999",
                                            "1,0,0.1",
                                            " 12",
                                            "+3.5",
                                            "-0.001",
                                            "1e20",
                                            "inf",
                                            ".",
                                            "abc",
                                            "0x1p4",
                                            "99999999999999999.99"};
    std::vector<std::string> amounts = fixed;
    for (int i = 0; i < 20000; ++i) {
        const std::uint64_t units = random() % 100000000000ULL;
        const unsigned decimals = static_cast<unsigned>(random() % 12);
        std::string text = std::to_string(units);
        if (decimals > 0) {
            text += '.';
            for (unsigned d = 0; d < decimals; ++d)
                text += static_cast<char>('0' + random() % 10);
        }
        if (random() % 4 == 0 && text.size() > 4)
            text.insert(1, ",");
        amounts.push_back(text);
    }
    for (const std::string& amount : amounts) {
        std::string cents;
        AmountToCents(amount, cents);
        const std::string expected = CentsByPrintf(amount);
        ASSERT_EQ(cents, expected) << amount;
        ASSERT_EQ(AmountToCentsValue(amount), std::strtod(expected.c_str(), nullptr)) << amount;
        ASSERT_EQ(ParseLeadingDouble(amount), std::strtod(amount.c_str(), nullptr)) << amount;
    }
}

TEST(AmountRoutines, CentsToAmountAndSeparators) {
    std::string out;
    CentsToAmount("123456", out, 2);
    EXPECT_EQ(out, "1234.56");
    CentsToAmount("5", out, 2);
    EXPECT_EQ(out, "0.05");
    CentsToAmount("45", out, 2);
    EXPECT_EQ(out, "0.45");
    CentsToAmount("-12345", out, 2);
    EXPECT_EQ(out, "-123.45");
    CentsToAmount("-5", out, 2);
    EXPECT_EQ(out, "-0.05");
    CentsToAmount("", out, 2);
    EXPECT_EQ(out, "0.00");

    InsertThousandsSeparators("1234567.89", out);
    EXPECT_EQ(out, "1,234,567.89");
    InsertThousandsSeparators("-1234.50", out);
    EXPECT_EQ(out, "-1,234.50");
    InsertThousandsSeparators("-1000000.00", out);
    EXPECT_EQ(out, "-1,000,000.00");
    InsertThousandsSeparators("123.45", out);
    EXPECT_EQ(out, "123.45");
    InsertThousandsSeparators("-123.45", out);
    EXPECT_EQ(out, "-123.45");
    InsertThousandsSeparators("1234", out);
    EXPECT_EQ(out, "1234");
    out = "kept";
    InsertThousandsSeparators("1.5", out);
    EXPECT_EQ(out, "kept");

    FormatCents("101079", out, true);
    EXPECT_EQ(out, "1,010.79");
    FormatCents("123456789", out, false);
    EXPECT_EQ(out, "1234567.89");
    FormatCents("7", out, true);
    EXPECT_EQ(out, "0.07");
    FormatCents("-0", out, true);
    EXPECT_EQ(out, "-0.00");
}

class RuleMessageTest : public testing::CatalogueTest {};

TEST_F(RuleMessageTest, ComposesCatalogueTextsWithTheFieldName) {
    FieldItem field;
    field.name = Gbk("收款人户名");
    field.type = "12\"X\"+4\"N\"";
    const std::string msg1 = LoadMessage(catalogue::stdafx::kRuleOther);
    ASSERT_FALSE(msg1.empty());

    EXPECT_EQ(RuleMessage(RuleOk, field), "");
    EXPECT_EQ(RuleMessage(RuleBadType, field), msg1);
    EXPECT_EQ(RuleMessage(7, field), msg1);
    EXPECT_EQ(RuleMessage(RuleRequiredEmpty, field),
              FormatMessage(LoadMessage(catalogue::stdafx::kRuleRequiredEmpty),
                            {std::string_view(field.name)}));
    EXPECT_EQ(RuleMessage(RuleBadDate, field),
              field.name + ":" + LoadMessage(catalogue::stdafx::kRuleBadDate));
    EXPECT_EQ(RuleMessage(RuleTooLong, field),
              FormatMessage(LoadMessage(catalogue::stdafx::kRuleTooLong),
                            {std::string_view(field.name), 12LL}));
    EXPECT_EQ(RuleMessage(RuleNotNumeric, field),
              field.name + ":" + LoadMessage(catalogue::stdafx::kRuleNotNumeric));
    EXPECT_EQ(RuleMessage(RuleBadAmount, field),
              field.name + ":" + LoadMessage(catalogue::stdafx::kRuleBadAmount));
    // The shipped texts really take the name and the length.
    EXPECT_NE(RuleMessage(RuleTooLong, field).find(field.name), std::string::npos);
    EXPECT_NE(RuleMessage(RuleTooLong, field).find("12"), std::string::npos);
}

}  // namespace
}  // namespace brindlecot
