// Displayed texts of numbers and dates. Serial numbers checked here against the values
// LibreOffice stored for known dates in the fixtures (2024-03-05 is 45356, 1999-12-31 is
// 36525, 13:45:00 is 0.572916666666667).

#include <gtest/gtest.h>

#include "workbook/workbook.h"
#include "workbook/workbook_internal.h"

namespace brindlecot::workbook_detail {
namespace {

TEST(GeneralNumber, IntegersHaveNoDecimalPointAndFractionsNoTrailingZeros) {
    EXPECT_EQ(FormatGeneralNumber(12), "12");
    EXPECT_EQ(FormatGeneralNumber(-7), "-7");
    EXPECT_EQ(FormatGeneralNumber(-0.0), "0");
    EXPECT_EQ(FormatGeneralNumber(12.5), "12.5");
    EXPECT_EQ(FormatGeneralNumber(12.50), "12.5");
    EXPECT_EQ(FormatGeneralNumber(-0.001), "-0.001");
    EXPECT_EQ(FormatGeneralNumber(1234567890123), "1234567890123");
    EXPECT_EQ(FormatGeneralNumber(999999999999999), "999999999999999");
}

TEST(GeneralNumber, FifteenSignificantDigitsAndCapitalExponent) {
    EXPECT_EQ(FormatGeneralNumber(0.1 + 0.2), "0.3");
    EXPECT_EQ(FormatGeneralNumber(1.0 / 3), "0.333333333333333");
    EXPECT_EQ(FormatGeneralNumber(3.14159265358979), "3.14159265358979");
    EXPECT_EQ(FormatGeneralNumber(1e15), "1E+15");
    EXPECT_EQ(FormatGeneralNumber(1.5e20), "1.5E+20");
    EXPECT_EQ(FormatGeneralNumber(1e-5), "1E-05");
}

TEST(NumberFormat, RecognisesDatesAndTimesInCustomCodes) {
    EXPECT_EQ(ClassifyFormatCode("yyyy-mm-dd"), DateTimeKind::Date);
    EXPECT_EQ(ClassifyFormatCode("dd/mm/yyyy"), DateTimeKind::Date);
    EXPECT_EQ(ClassifyFormatCode("[$-804]yyyy\"年\"m\"月\"d\"日\""), DateTimeKind::Date);
    EXPECT_EQ(ClassifyFormatCode("mmm-yy"), DateTimeKind::Date);
    EXPECT_EQ(ClassifyFormatCode("hh:mm:ss"), DateTimeKind::Time);
    EXPECT_EQ(ClassifyFormatCode("mm:ss"), DateTimeKind::Time);
    EXPECT_EQ(ClassifyFormatCode("h:mm AM/PM"), DateTimeKind::Time);
    EXPECT_EQ(ClassifyFormatCode("[h]:mm"), DateTimeKind::Time);
    EXPECT_EQ(ClassifyFormatCode("yyyy-mm-dd hh:mm"), DateTimeKind::DateTime);
    EXPECT_EQ(ClassifyFormatCode("m/d/yy h:mm"), DateTimeKind::DateTime);
}

TEST(NumberFormat, NumbersTextAndLiteralsAreNotDates) {
    for (const char* code : {"General", "0.00", "#,##0;[Red]-#,##0", "0.00E+00", "@", "0.00%",
                             "\"days\" 0", "[Red]0.00", "\\d0", "\"TRUE\";\"TRUE\";\"FALSE\""}) {
        EXPECT_EQ(ClassifyFormatCode(code), DateTimeKind::None) << code;
    }
}

TEST(NumberFormat, BuiltInIds) {
    for (unsigned id : {14u, 15u, 16u, 17u, 31u, 57u})
        EXPECT_EQ(ClassifyBuiltInFormat(id), DateTimeKind::Date) << id;
    for (unsigned id : {18u, 19u, 20u, 21u, 45u})
        EXPECT_EQ(ClassifyBuiltInFormat(id), DateTimeKind::Time) << id;
    EXPECT_EQ(ClassifyBuiltInFormat(22), DateTimeKind::DateTime);
    for (unsigned id : {0u, 1u, 2u, 10u, 11u, 13u, 49u})
        EXPECT_EQ(ClassifyBuiltInFormat(id), DateTimeKind::None) << id;
}

TEST(SerialDate, MatchesTheDatesAnotherProgramStored) {
    EXPECT_EQ(FormatSerialDate(45356, DateTimeKind::Date, false), "2024-03-05");
    EXPECT_EQ(FormatSerialDate(36525, DateTimeKind::Date, false), "1999-12-31");
    EXPECT_EQ(FormatSerialDate(0.572916666666667, DateTimeKind::Time, false), "13:45:00");
    EXPECT_EQ(FormatSerialDate(45356.75, DateTimeKind::DateTime, false), "2024-03-05 18:00:00");
}

TEST(SerialDate, EarlySerialsAndThe1904System) {
    EXPECT_EQ(FormatSerialDate(1, DateTimeKind::Date, false), "1900-01-01");
    EXPECT_EQ(FormatSerialDate(59, DateTimeKind::Date, false), "1900-02-28");
    EXPECT_EQ(FormatSerialDate(60, DateTimeKind::Date, false),
              "1900-02-29");  // the spreadsheet's phantom day
    EXPECT_EQ(FormatSerialDate(61, DateTimeKind::Date, false), "1900-03-01");
    EXPECT_EQ(FormatSerialDate(0, DateTimeKind::Date, true), "1904-01-01");
    EXPECT_EQ(FormatSerialDate(366, DateTimeKind::Date, true), "1905-01-01");
    EXPECT_EQ(FormatSerialDate(0.99999999, DateTimeKind::DateTime, false), "1900-01-01 00:00:00");
    EXPECT_EQ(FormatSerialDate(-1, DateTimeKind::Date, false),
              "-1");  // no date: shown as the number
    // 9999-12-31 is the last day either system shows; it has a smaller serial in 1904's.
    EXPECT_EQ(FormatSerialDate(2958465, DateTimeKind::Date, false), "9999-12-31");
    EXPECT_EQ(FormatSerialDate(2957003, DateTimeKind::Date, true), "9999-12-31");
    EXPECT_EQ(FormatSerialDate(2957004, DateTimeKind::Date, true), "2957004");
}

TEST(CellReferenceName, ColumnsInBijectiveBase26) {
    EXPECT_EQ(CellReference(6, 1), "B7");
    EXPECT_EQ(CellReference(0, 25), "Z1");
    EXPECT_EQ(CellReference(0, 26), "AA1");
    EXPECT_EQ(CellReference(0, 701), "ZZ1");
    EXPECT_EQ(CellReference(1048575, 16383), "XFD1048576");
}

TEST(BulkConversion, FindsTheTextThatCannotBeConverted) {
    std::string a = "plain";
    std::string b = "\xE4\xB8\xAD";      // 中
    std::string c = "\xF0\x9F\x98\x80";  // an emoji: no GBK form
    std::vector<std::string*> texts{&a, &b, &c};
    const auto bad = ConvertUtf8TextsToGbk(texts);
    ASSERT_TRUE(bad.has_value());
    EXPECT_EQ(*bad, 2u);

    std::string d = "\xE4\xB8\xAD\xE6\x96\x87";  // 中文
    std::vector<std::string*> good{&a, &b, &d};
    b = "\xE4\xB8\xAD";
    EXPECT_FALSE(ConvertUtf8TextsToGbk(good).has_value());
    EXPECT_EQ(a, "plain");
    EXPECT_EQ(b, "\xD6\xD0");
    EXPECT_EQ(d, "\xD6\xD0\xCE\xC4");
}

}  // namespace
}  // namespace brindlecot::workbook_detail
