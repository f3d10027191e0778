// Our .xls reader against FreeXL, an independent BIFF8 reader, cell by cell, on valid
// workbooks: LibreOffice's, our writer's, and hand-built ones holding the numbers, dates
// and times that only other programs write. Where both show a cell they must agree; the
// differences on purpose are booleans (TRUE / FALSE where FreeXL shows 1 / 0) and cells
// FreeXL leaves empty (booleans, errors, formula results).

#include <freexl.h>

#include <map>
#include <memory>
#include <optional>
#include <set>
#include <tuple>

#include "biff_builder.h"
#include "workbook/workbook.h"
#include "workbook/workbook_internal.h"
#include "workbook_test_support.h"

namespace brindlecot {
namespace {

using testing::Gbk;
using testing::TempFolder;
using workbook_detail::FormatGeneralNumber;
using workbook_detail::kNotShared;
using workbook_detail::ReadXlsSheet;
using workbook_test::BiffWorkbook;
using workbook_test::Bytes;
using workbook_test::CellHead;
using workbook_test::FixturePath;
using workbook_test::PutDouble;
using workbook_test::PutU16;
using workbook_test::PutU32;
using workbook_test::Rk;

using CellMap = std::map<std::pair<std::uint32_t, std::uint32_t>, std::string>;

struct FreeXlCloser {
    void operator()(const void* handle) const { freexl_close(handle); }
};

// The cells FreeXL shows on the named worksheet, as the program showed them when it read
// workbooks through FreeXL: integers in decimal, other numbers in General form, texts,
// dates and times as FreeXL writes them.
std::optional<CellMap> FreeXlCells(const std::string& path, const std::string& sheetName) {
    const void* raw = nullptr;
    const int opened = freexl_open(path.c_str(), &raw);
    std::unique_ptr<const void, FreeXlCloser> handle(raw);
    if (opened != FREEXL_OK)
        return std::nullopt;
    unsigned sheets = 0;
    if (freexl_get_info(raw, FREEXL_BIFF_SHEET_COUNT, &sheets) != FREEXL_OK)
        return std::nullopt;
    std::optional<unsigned short> index;
    for (unsigned short i = 0; i < sheets; ++i) {
        const char* name = nullptr;
        if (freexl_get_worksheet_name(raw, i, &name) == FREEXL_OK && name && name == sheetName)
            index = i;
    }
    unsigned rows = 0;
    unsigned short columns = 0;
    if (!index || freexl_select_active_worksheet(raw, *index) != FREEXL_OK ||
        freexl_worksheet_dimensions(raw, &rows, &columns) != FREEXL_OK)
        return std::nullopt;
    CellMap cells;
    for (unsigned r = 0; r < rows; ++r) {
        for (unsigned short c = 0; c < columns; ++c) {
            FreeXL_CellValue value{};
            if (freexl_get_cell_value(raw, r, c, &value) != FREEXL_OK)
                return std::nullopt;
            std::string shown;
            if (value.type == FREEXL_CELL_INT)
                shown = std::to_string(value.value.int_value);
            else if (value.type == FREEXL_CELL_DOUBLE)
                shown = FormatGeneralNumber(value.value.double_value);
            else if (value.type != FREEXL_CELL_NULL && value.value.text_value)
                shown = value.value.text_value;
            if (!shown.empty())
                cells[{r, c}] = shown;
        }
    }
    return cells;
}

CellMap OurCells(const std::string& path) {
    auto sheet = ReadXlsSheet(path);
    EXPECT_TRUE(sheet.status.ok()) << DescribeWorkbookFailure(sheet.status);
    CellMap cells;
    for (const auto& cell : sheet.cells)
        cells[{cell.row, cell.column}] =
            cell.shared == kNotShared ? cell.text : sheet.sharedTexts.at(cell.shared);
    return cells;
}

bool IsBooleanOrError(const std::string& text) {
    return text == "TRUE" || text == "FALSE" || (!text.empty() && text[0] == '#');
}

// Compares cell by cell; answers how many cells both readers showed.
std::size_t ExpectSameCells(const std::string& path, const std::string& sheetName,
                            const std::set<std::pair<std::uint32_t, std::uint32_t>>& skip = {}) {
    const std::optional<CellMap> theirs = FreeXlCells(path, sheetName);
    EXPECT_TRUE(theirs.has_value()) << "FreeXL cannot read " << path;
    if (!theirs)
        return 0;
    const CellMap ours = OurCells(path);
    std::size_t both = 0;
    for (const auto& [where, text] : *theirs) {
        if (skip.count(where))
            continue;
        const auto found = ours.find(where);
        const std::string cell = CellReference(where.first, where.second);
        if (found == ours.end()) {
            ADD_FAILURE() << cell << ": FreeXL shows \"" << text << "\", we show nothing";
            continue;
        }
        ++both;
        if ((text == "1" && found->second == "TRUE") || (text == "0" && found->second == "FALSE"))
            continue;
        EXPECT_TRUE(found->second == text)
            << cell << ": we show \"" << found->second << "\", FreeXL \"" << text << "\"";
    }
    for (const auto& [where, text] : ours) {
        if (!theirs->count(where)) {
            EXPECT_TRUE(IsBooleanOrError(text))
                << CellReference(where.first, where.second) << ": only we show \"" << text << "\"";
        }
    }
    return both;
}

TEST(XlsOracle, LibreOfficeWorkbookAgreesWithFreeXl) {
    EXPECT_GE(ExpectSameCells(FixturePath("calc_source.xls"), "Data"), 15u);
}

TEST(XlsOracle, OurWritersWorkbooksAgreeWithFreeXl) {
    TempFolder folder;
    std::string chinese;
    while (chinese.size() < 5000)
        chinese += Gbk("代发工资") + "0123";
    TextTable big;
    for (int i = 0; i < 3000; ++i) {
        std::string text = i % 4 == 0 ? Gbk("汉") : "a";
        text.append(static_cast<std::size_t>((i * 53) % 700), i % 4 == 0 ? 'w' : 'n');
        big.push_back({text + std::to_string(i), std::to_string(i), i % 7 ? "x" : ""});
    }
    big.push_back({std::string(8000, 'z'), chinese});
    const std::vector<TextTable> tables = {
        {{Gbk("姓名"), Gbk("金额")}, {Gbk("张三"), "000123"}, {"", "1e5"}},
        {{"a"}, {}, {"", "", "c"}},
        big,
    };
    for (std::size_t i = 0; i < tables.size(); ++i) {
        const std::string path = folder / ("ours" + std::to_string(i) + ".xls");
        ASSERT_TRUE(WriteWorkbook(path, tables[i]).ok());
        EXPECT_GT(ExpectSameCells(path, "Sheet1"), 0u) << "table " << i;
    }
}

// Numbers in every record form and under every kind of format, in both date systems.
// Serials a date cannot show (negative, below one day, past 9999-12-31) are left out of the
// comparison under date and time formats: FreeXL shows invented dates for them (1900-01-01
// for 0, "24:00:00", "-186971:-9:-52"); what we show is checked below on its own.
class HandBuiltNumbers : public ::testing::TestWithParam<bool> {};

struct NumberBook {
    BiffWorkbook book;
    std::set<std::pair<std::uint32_t, std::uint32_t>> notCompared;
};

// FreeXL also drifts after the year 2100 (8744-08-16 for 8744-10-06, 9999-10-31 for
// 9999-12-30); the dates of batches lie well before.
bool ShowsADate(double value, bool date1904) {
    return value >= 1 && value < (date1904 ? 71589 : 73051);  // before 2100-01-01
}

NumberBook BookOfNumbers(bool date1904) {
    NumberBook made;
    BiffWorkbook& book = made.book;
    book.date1904 = date1904;
    book.formats = {{164, u"yyyy\\-mm\\-dd"},
                    {165, u"dd/mm/yyyy"},
                    {166, u"hh:mm:ss"},
                    {167, u"yyyy/m/d h:mm"},
                    {168, u"0.00"},
                    {169, u"#,##0.00"},
                    {170, u"[$-804]yyyy\"年\"m\"月\"d\"日\""},
                    {171, u"mm:ss"}};
    // Cell XFs 15 onwards: General, the built-in date and time ids, the custom codes, and
    // built-in number formats.
    book.cellFormats = {0,   14,  15,  16,  17,  18,  19,  20,  21, 22, 45, 46, 47,
                        164, 165, 166, 167, 168, 169, 170, 171, 2,  4,  10, 11};
    const auto isDateXf = [&](std::uint16_t xf) {
        const std::uint16_t format = book.cellFormats[xf - BiffWorkbook::kFirstCellXf];
        return format != 0 && format != 168 && format != 169 && format > 11;
    };
    const std::vector<double> values = {1,
                                        2,
                                        59,
                                        60,
                                        61,
                                        366,
                                        1.25,
                                        45356.5734,
                                        36525,
                                        73050.75,
                                        2500000.75,
                                        2958464.5,
                                        42.0001,
                                        0,
                                        0.5,
                                        0.999999,
                                        86399.0 / 86400,
                                        2958465,
                                        -1,
                                        -1234.5,
                                        1e15,
                                        123456789012,
                                        0.1,
                                        1e-7,
                                        3.14159265358979};
    BiffWorkbook::Sheet sheet{"Sheet1", {}};
    std::uint16_t row = 0;
    const auto note = [&](std::uint16_t column, std::uint16_t xf, double value) {
        if (isDateXf(xf) && !ShowsADate(value, date1904))
            made.notCompared.insert({row, column});
    };
    for (double value : values) {
        for (std::uint16_t k = 0; k < book.cellFormats.size(); ++k) {
            const auto xf = static_cast<std::uint16_t>(BiffWorkbook::kFirstCellXf + k);
            Bytes number = CellHead(row, k, xf);
            PutDouble(number, value);
            sheet.records.emplace_back(0x0203, number);
            note(k, xf, value);
        }
        ++row;
    }
    // RK in its four forms, alone and in a MULRK row, under General and date formats.
    for (auto [value, integer, times100] :
         {std::tuple{45000.0, true, false}, std::tuple{12.34, true, true},
          std::tuple{1.5, false, false}, std::tuple{-7.0, true, false},
          std::tuple{1000.25, false, true}, std::tuple{-80000000.0, true, false}}) {
        for (std::uint16_t xf : {15, 16, 24}) {
            const auto column = static_cast<std::uint16_t>(xf - 15);
            Bytes rk = CellHead(row, column, xf);
            PutU32(rk, Rk(value, integer, times100));
            sheet.records.emplace_back(0x027E, rk);
            note(column, xf, value);
        }
        Bytes mulrk;
        PutU16(mulrk, row);
        PutU16(mulrk, 30);
        std::uint16_t column = 30;
        for (std::uint16_t xf : {15, 16, 24, 28}) {
            PutU16(mulrk, xf);
            PutU32(mulrk, Rk(value, integer, times100));
            note(column++, xf, value);
        }
        PutU16(mulrk, 33);
        sheet.records.emplace_back(0x00BD, mulrk);
        ++row;
    }
    book.sheets = {sheet};
    return made;
}

TEST_P(HandBuiltNumbers, AgreeWithFreeXl) {
    const NumberBook made = BookOfNumbers(GetParam());
    TempFolder folder;
    const std::string path = folder / "numbers.xls";
    made.book.WriteTo(path);
    EXPECT_GE(ExpectSameCells(path, "Sheet1", made.notCompared),
              25u * 25u - made.notCompared.size());
}

INSTANTIATE_TEST_SUITE_P(DateSystems, HandBuiltNumbers, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "1904" : "1900"; });

// What a spreadsheet shows for serials outside the dates it can show, in date, time and
// date-and-time formats: the day before 1900-01-01 is "1900-01-00", a time rounding up to
// midnight moves to the next day, negative and too large serials stay numbers.
TEST(XlsDates, SerialsNoDateCanShow) {
    BiffWorkbook book;
    book.cellFormats = {14, 20, 22};
    BiffWorkbook::Sheet sheet{"Sheet1", {}};
    const std::vector<std::pair<double, std::vector<std::string>>> cases = {
        {0, {"1900-01-00", "00:00:00", "1900-01-00 00:00:00"}},
        {0.5, {"1900-01-00", "12:00:00", "1900-01-00 12:00:00"}},
        {0.999999, {"1900-01-01", "00:00:00", "1900-01-01 00:00:00"}},
        {-1, {"-1", "-1", "-1"}},
        {2958465, {"9999-12-31", "00:00:00", "9999-12-31 00:00:00"}},
        {2500000.75, {"8744-10-06", "18:00:00", "8744-10-06 18:00:00"}},
        {2958464.5, {"9999-12-30", "12:00:00", "9999-12-30 12:00:00"}},
        {2958466, {"2958466", "2958466", "2958466"}},
        {1e15, {"1E+15", "1E+15", "1E+15"}},
    };
    for (std::uint16_t row = 0; row < cases.size(); ++row) {
        for (std::uint16_t k = 0; k < 3; ++k) {
            Bytes number =
                CellHead(row, k, static_cast<std::uint16_t>(BiffWorkbook::kFirstCellXf + k));
            PutDouble(number, cases[row].first);
            sheet.records.emplace_back(0x0203, number);
        }
    }
    book.sheets = {sheet};
    TempFolder folder;
    const std::string path = folder / "serials.xls";
    book.WriteTo(path);
    const CellMap cells = OurCells(path);
    for (std::uint32_t row = 0; row < cases.size(); ++row)
        for (std::uint32_t k = 0; k < 3; ++k)
            EXPECT_EQ(cells.at({row, k}), cases[row].second[k]) << CellReference(row, k);
}

}  // namespace
}  // namespace brindlecot
