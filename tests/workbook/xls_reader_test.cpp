// The .xls reader on hand-built workbooks: the record forms other programs write (strings
// carried over CONTINUE records, formulas, booleans, substreams inside a sheet), and every
// kind of damage, which must give the "damaged" answer and never a crash, a hang or a huge
// allocation (the sanitizer build checks the memory side).

#include <sys/stat.h>

#include <chrono>

#include "biff_builder.h"
#include "workbook/workbook.h"
#include "workbook/workbook_internal.h"
#include "workbook_test_support.h"

namespace brindlecot {
namespace {

using testing::Gbk;
using testing::ReadFileBytes;
using testing::TempFolder;
using testing::WriteFileBytes;
using workbook_test::BiffStream;
using workbook_test::BiffWorkbook;
using workbook_test::Bytes;
using workbook_test::CellHead;
using workbook_test::PutCharacters;
using workbook_test::PutDouble;
using workbook_test::PutU16;
using workbook_test::PutU32;
using workbook_test::ReadError;
using workbook_test::Show;
using workbook_test::UnicodeString;

Bytes Concat(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

Bytes LabelSst(std::uint16_t row, std::uint16_t column, std::uint32_t index) {
    Bytes out = CellHead(row, column, 15);
    PutU32(out, index);
    return out;
}

Bytes Number(std::uint16_t row, std::uint16_t column, double value) {
    Bytes out = CellHead(row, column, 15);
    PutDouble(out, value);
    return out;
}

// A FORMULA record with a cached result: kind 0 text (in a STRING record to follow),
// 1 boolean, 2 error.
Bytes Formula(std::uint16_t row, std::uint16_t column, std::uint8_t kind, std::uint8_t value) {
    Bytes out = CellHead(row, column, 15);
    for (std::uint8_t b : {kind, std::uint8_t{0}, value, std::uint8_t{0}, std::uint8_t{0},
                           std::uint8_t{0}, std::uint8_t{0xFF}, std::uint8_t{0xFF}})
        out.push_back(b);
    PutU16(out, 0);  // options
    PutU32(out, 0);
    PutU16(out, 0);  // an empty formula
    return out;
}

class XlsReader : public ::testing::Test {
protected:
    std::string Write(const BiffWorkbook& book) {
        const std::string path = folder_ / ("book" + std::to_string(++count_) + ".xls");
        book.WriteTo(path);
        return path;
    }
    std::string WriteStream(const Bytes& stream) {
        const std::string path = folder_ / ("raw" + std::to_string(++count_) + ".xls");
        EXPECT_TRUE(workbook_detail::WriteCompoundFile(path, "Workbook", stream));
        return path;
    }
    static WorkbookStatus Read(const std::string& path, TextTable& table) {
        return ReadWorkbook(path, table);
    }
    // A book of one sheet holding `records`, with shared strings `sst` (SST then CONTINUEs).
    static BiffWorkbook OneSheet(std::vector<std::pair<std::uint16_t, Bytes>> records,
                                 std::vector<Bytes> sst = {}) {
        BiffWorkbook book;
        book.cellFormats = {0};
        book.sstPieces = std::move(sst);
        book.sheets = {{"Sheet1", std::move(records)}};
        return book;
    }

    TempFolder folder_;
    int count_ = 0;
};

TEST_F(XlsReader, StringsSwitchWidthWhereTheyContinueIntoTheNextRecord) {
    // Shared string 0 starts narrow and goes on wide; 1 starts wide and goes on narrow, its
    // rich-text runs and phonetic block carried over too; 2 follows in the last record.
    Bytes sst;
    PutU32(sst, 3);
    PutU32(sst, 3);
    PutU16(sst, 5);
    sst.push_back(0);
    PutCharacters(sst, u"abc", false);
    Bytes second{1};  // flags of the rest of string 0: wide
    PutCharacters(second, u"汉字", true);
    PutU16(second, 4);
    second.push_back(0x0D);  // wide, rich text, phonetic
    PutU16(second, 1);       // one run
    PutU32(second, 6);       // six bytes of phonetic data
    PutCharacters(second, u"宽窄", true);
    Bytes third{0};  // the rest of string 1: narrow
    PutCharacters(third, u"xy", false);
    third.insert(third.end(), {1, 0, 0, 0, 9, 9, 9, 9, 9, 9});  // run, phonetic data
    third = Concat(third, UnicodeString(u"last", false));
    const BiffWorkbook book = OneSheet(
        {{0x00FD, LabelSst(0, 0, 0)}, {0x00FD, LabelSst(0, 1, 1)}, {0x00FD, LabelSst(1, 0, 2)}},
        {sst, second, third});
    TextTable table;
    ASSERT_TRUE(Read(Write(book), table).ok());
    const TextTable expected = {{Gbk("abc汉字"), Gbk("宽窄xy")}, {"last", ""}};
    EXPECT_EQ(table, expected) << Show(table);
}

TEST_F(XlsReader, InlineTextFormulaResultsAndBooleans) {
    Bytes continuedLabel = CellHead(0, 2, 15);
    PutU16(continuedLabel, 6);
    continuedLabel.push_back(0);
    PutCharacters(continuedLabel, u"lab", false);
    Bytes labelRest{1};
    PutCharacters(labelRest, u"续文本", true);
    Bytes formulaText = UnicodeString(u"公式", true);
    Bytes boolErr = CellHead(1, 2, 15);
    boolErr.insert(boolErr.end(), {1, 0});
    Bytes error = CellHead(1, 3, 15);
    error.insert(error.end(), {0x07, 1});
    const BiffWorkbook book = OneSheet({
        {0x0204, Concat(CellHead(0, 0, 15), UnicodeString(u"label", false))},
        {0x0204, Concat(CellHead(0, 1, 15), UnicodeString(u"宽", true))},
        {0x0204, continuedLabel},
        {0x003C, labelRest},
        {0x0006, Formula(1, 0, 0, 0)},
        {0x04BC, Bytes(10, 0)},  // a shared formula between the formula and its text
        {0x0207, formulaText},
        {0x0006, Formula(1, 1, 1, 1)},
        {0x0006, Formula(2, 0, 1, 0)},
        {0x0006, Formula(2, 1, 2, 0x2A)},
        {0x0006, Formula(2, 2, 3, 0)},  // an empty text: nothing shown
        {0x0205, boolErr},
        {0x0205, error},
    });
    TextTable table;
    const WorkbookStatus status = Read(Write(book), table);
    ASSERT_TRUE(status.ok()) << DescribeWorkbookFailure(status);
    const TextTable expected = {
        {"label", Gbk("宽"), Gbk("lab续文本"), ""},
        {Gbk("公式"), "TRUE", "TRUE", "#DIV/0!"},
        {"FALSE", "#N/A", "", ""},
    };
    EXPECT_EQ(table, expected) << Show(table);
}

TEST_F(XlsReader, CellsOfChartsInsideTheSheetAndOfOtherSheetsAreNotRead) {
    BiffWorkbook book = OneSheet({
        {0x0203, Number(0, 0, 1)},
        {0x0809, BiffWorkbook::Bof(0x0020)},  // an embedded chart's substream
        {0x0203, Number(5, 5, 99)},
        {0x000A, {}},
        {0x0203, Number(1, 0, 2)},
    });
    book.sheets.insert(book.sheets.begin(), {"Before", {{0x0203, Number(0, 0, 7)}}});
    book.sheets.push_back({"Chart", {}, false});
    for (std::uint16_t active : {1, 2}) {  // the chart is active: the first worksheet is read
        book.activeTab = active;
        TextTable table;
        ASSERT_TRUE(Read(Write(book), table).ok());
        const TextTable expected = active == 1 ? TextTable{{"1"}, {"2"}} : TextTable{{"7"}};
        EXPECT_EQ(table, expected) << active;
    }
}

// DIMENSIONS is a claim, not a promise: cells outside it are read, and a claim of the whole
// sheet costs nothing.
TEST_F(XlsReader, UsedRangeComesFromTheCellsNotFromTheClaim) {
    BiffWorkbook book = OneSheet({});
    book.sheets[0].dimensions = false;
    Bytes everything;
    PutU32(everything, 0);
    PutU32(everything, 65536);
    PutU16(everything, 0);
    PutU16(everything, 256);
    PutU16(everything, 0);
    book.sheets[0].records = {{0x0200, everything}, {0x0203, Number(65535, 255, 5)}};
    TextTable table;
    ASSERT_TRUE(Read(Write(book), table).ok());
    EXPECT_EQ(table, TextTable{{"5"}});

    Bytes nothing(14, 0);
    book.sheets[0].records = {{0x0200, nothing}, {0x0203, Number(3, 4, 6)}};
    ASSERT_TRUE(Read(Write(book), table).ok());
    EXPECT_EQ(table, TextTable{{"6"}});
}

TEST_F(XlsReader, TruncatedAndOverlongRecordsAreDamage) {
    const std::vector<std::pair<std::uint16_t, Bytes>> shortCells = {
        {0x00FD, Bytes(9, 0)},   // LABELSST
        {0x0203, Bytes(13, 0)},  // NUMBER
        {0x027E, Bytes(9, 0)},   // RK
        {0x0205, Bytes(7, 0)},   // BOOLERR
        {0x0006, Bytes(13, 0)},  // FORMULA
        {0x0204, Bytes(8, 0)},   // LABEL
        {0x00BD, Bytes(11, 0)},  // MULRK
    };
    for (const auto& [type, data] : shortCells)
        EXPECT_EQ(ReadError(Write(OneSheet({{type, data}}, {BiffWorkbook::SharedStrings({u"a"})}))),
                  WorkbookError::Malformed)
            << type;

    // The stream ends inside a record; a record longer than the format allows.
    std::vector<std::pair<std::uint16_t, Bytes>> many;
    for (std::uint16_t r = 0; r < 400; ++r)
        many.emplace_back(0x0203, Number(r, 0, r));
    const Bytes stream = OneSheet(many).Build();
    ASSERT_GT(stream.size(), 4096u);  // not padded by the container
    const Bytes cut(stream.begin(), stream.end() - 10);
    EXPECT_EQ(ReadError(WriteStream(cut)), WorkbookError::Malformed);
    many.emplace_back(0x0203, Concat(Number(500, 0, 1), Bytes(9000, 0)));
    EXPECT_EQ(ReadError(Write(OneSheet(many))), WorkbookError::Malformed);
}

TEST_F(XlsReader, StringsThatRunPastTheirRecordsAreDamage) {
    const auto withSst = [&](std::vector<Bytes> sst) {
        return ReadError(Write(OneSheet({{0x00FD, LabelSst(0, 0, 0)}}, std::move(sst))));
    };
    // A string that claims more characters than its record and its CONTINUEs hold.
    Bytes longClaim;
    PutU32(longClaim, 1);
    PutU32(longClaim, 1);
    PutU16(longClaim, 60000);
    longClaim.push_back(0);
    PutCharacters(longClaim, std::u16string(100, u'a'), false);
    Bytes continued{0};
    PutCharacters(continued, std::u16string(50, u'b'), false);
    EXPECT_EQ(withSst({longClaim, continued}), WorkbookError::Malformed);
    // Half of a two-byte character before the record ends.
    Bytes half;
    PutU32(half, 1);
    PutU32(half, 1);
    PutU16(half, 2);
    half.push_back(1);
    half.insert(half.end(), {0x49, 0x6C, 0x34});
    EXPECT_EQ(withSst({half, Bytes{1, 0x6C, 0x34}}), WorkbookError::Malformed);
    // A CONTINUE that holds only the flags byte of the rest.
    Bytes open;
    PutU32(open, 1);
    PutU32(open, 1);
    PutU16(open, 3);
    open.push_back(0);
    open.push_back('a');
    EXPECT_EQ(withSst({open, Bytes{0}}), WorkbookError::Malformed);
    // Rich-text runs and a phonetic block that the records do not hold.
    Bytes runs;
    PutU32(runs, 1);
    PutU32(runs, 1);
    PutU16(runs, 1);
    runs.push_back(0x0C);
    PutU16(runs, 500);
    PutU32(runs, 0x7FFFFFFF);
    runs.push_back('a');
    EXPECT_EQ(withSst({runs}), WorkbookError::Malformed);
    // A count of strings the table cannot hold: refused without reserving room for them.
    Bytes count;
    PutU32(count, 0xFFFFFFFF);
    PutU32(count, 0xFFFFFFFF);
    count = Concat(count, UnicodeString(u"only", false));
    EXPECT_EQ(withSst({count}), WorkbookError::Malformed);
    // A cell that names a string past the table, and an inline text past its record.
    EXPECT_EQ(ReadError(Write(
                  OneSheet({{0x00FD, LabelSst(0, 0, 1)}}, {BiffWorkbook::SharedStrings({u"a"})}))),
              WorkbookError::Malformed);
    Bytes label = CellHead(0, 0, 15);
    PutU16(label, 40);
    label.push_back(0);
    PutCharacters(label, u"short", false);
    EXPECT_EQ(ReadError(Write(OneSheet({{0x0204, label}}))), WorkbookError::Malformed);
}

TEST_F(XlsReader, CellsOutsideTheSheetAndRowsOfNumbersThatLieAreDamage) {
    EXPECT_EQ(ReadError(Write(OneSheet({{0x0203, Number(0, 256, 1)}}))), WorkbookError::Malformed);
    Bytes mulrk;
    PutU16(mulrk, 0);
    PutU16(mulrk, 250);
    for (int k = 0; k < 8; ++k) {
        PutU16(mulrk, 15);
        PutU32(mulrk, 0x02);
    }
    PutU16(mulrk, 257);  // columns 250 to 257
    EXPECT_EQ(ReadError(Write(OneSheet({{0x00BD, mulrk}}))), WorkbookError::Malformed);
    mulrk[mulrk.size() - 2] = 0;  // a last column that does not match the count
    EXPECT_EQ(ReadError(Write(OneSheet({{0x00BD, mulrk}}))), WorkbookError::Malformed);
}

TEST_F(XlsReader, SheetsThatAreNotWhereTheGlobalsSayAreDamage) {
    BiffWorkbook book = OneSheet({{0x0203, Number(0, 0, 1)}});
    Bytes stream = book.Build();
    // The sheet entry's offset: first past the stream, then at a record that is no BOF.
    std::size_t entry = 0;
    for (std::size_t at = 0; at + 4 <= stream.size();) {
        const std::uint16_t type = static_cast<std::uint16_t>(stream[at] | (stream[at + 1] << 8));
        const std::uint16_t length =
            static_cast<std::uint16_t>(stream[at + 2] | (stream[at + 3] << 8));
        if (type == 0x0085) {
            entry = at + 4;
            break;
        }
        at += 4 + length;
    }
    ASSERT_NE(entry, 0u);
    for (std::uint32_t offset : {0x7FFFFFF0u, 4u}) {
        Bytes moved = stream;
        for (int k = 0; k < 4; ++k)
            moved[entry + k] = static_cast<std::uint8_t>(offset >> (8 * k));
        EXPECT_EQ(ReadError(WriteStream(moved)), WorkbookError::Malformed) << offset;
    }
    // No end to the globals, and a worksheet without its end.
    Bytes noEnd(stream.begin(), stream.begin() + static_cast<std::ptrdiff_t>(entry + 9));
    EXPECT_EQ(ReadError(WriteStream(noEnd)), WorkbookError::Malformed);
    Bytes sheetWithoutEnd(stream.begin(), stream.end() - 4);
    EXPECT_EQ(ReadError(WriteStream(sheetWithoutEnd)), WorkbookError::Malformed);
}

TEST_F(XlsReader, PasswordProtectedWorkbooksSaySo) {
    BiffWorkbook book = OneSheet({{0x0203, Number(0, 0, 1)}});
    book.extraGlobals = {{0x002F, Bytes(54, 0)}};
    TextTable table;
    const WorkbookStatus status = Read(Write(book), table);
    EXPECT_EQ(status.error, WorkbookError::Malformed);
    EXPECT_NE(status.detail.find("password"), std::string::npos) << status.detail;
}

// Words of the sector-allocation table changed in a workbook our writer made, as in a file
// that crashed the reader we used before: whatever a chain now claims, the answer is a
// table or "damaged", never a crash.
TEST_F(XlsReader, CorruptSectorChainsNeverCrash) {
    TextTable big;
    for (int r = 0; r < 400; ++r)
        big.push_back({std::to_string(r), Gbk("第") + std::to_string(r) + Gbk("行"),
                       std::string(static_cast<std::size_t>(r % 50), 'x')});
    const std::string good = folder_ / "good.xls";
    ASSERT_TRUE(WriteWorkbook(good, big).ok());
    const std::string bytes = ReadFileBytes(good);
    const auto u32 = [&](std::size_t at) {
        std::uint32_t v = 0;
        for (int k = 3; k >= 0; --k)
            v = (v << 8) | static_cast<unsigned char>(bytes[at + static_cast<std::size_t>(k)]);
        return v;
    };
    const std::uint32_t directory = u32(48);
    const std::uint32_t fatSector = u32(76);
    const std::uint32_t sectors = static_cast<std::uint32_t>(bytes.size() / 512 - 1);
    const std::size_t fat = (static_cast<std::size_t>(fatSector) + 1) * 512;
    ASSERT_GT(directory, 8u);  // the stream fills the sectors before the directory
    const std::vector<std::uint32_t> targets = {0,           1,          directory,  fatSector,
                                                sectors - 1, sectors,    0x7FFFFFFF, 0xFFFFFFFE,
                                                0xFFFFFFFF,  0xFFFFFFFD, 0xFFFFFFFC};
    int refused = 0;
    int read = 0;
    for (std::uint32_t sector : {0u, 3u, directory - 2}) {
        for (std::uint32_t target : targets) {
            std::string damaged = bytes;
            for (int k = 0; k < 4; ++k)
                damaged[fat + sector * 4 + static_cast<std::size_t>(k)] =
                    static_cast<char>(target >> (8 * k));
            const std::string path = folder_ / "chain.xls";
            WriteFileBytes(path, damaged);
            TextTable table;
            const WorkbookStatus status = ReadWorkbook(path, table);
            EXPECT_TRUE(status.ok() || status.error == WorkbookError::Malformed)
                << sector << " -> " << target << ": " << DescribeWorkbookFailure(status);
            (status.ok() ? read : refused) += 1;
            if (target >= sectors) {
                EXPECT_EQ(status.error, WorkbookError::Malformed) << sector << " -> " << target;
            }
        }
    }
    EXPECT_GT(refused, 0);
    EXPECT_GT(read, 0);  // a chain through other sound sectors is read as what they hold
}

// One shared string of 65,535 characters named by 2,000 cells: a file of about 100 KB that
// would expand to 131 MB of cell text is refused, naming the limit.
TEST_F(XlsReader, OneLongSharedStringInThousandsOfCellsIsRefused) {
    const std::size_t length = 65535;
    std::vector<Bytes> sst(1);
    PutU32(sst[0], 2000);
    PutU32(sst[0], 1);
    PutU16(sst[0], static_cast<std::uint16_t>(length));
    sst[0].push_back(0);
    for (std::size_t written = 0; written < length;) {
        if (sst.back().size() == 8224)
            sst.push_back(Bytes{0});  // the rest goes on narrow
        const std::size_t room = 8224 - sst.back().size();
        const std::size_t take = std::min(room, length - written);
        sst.back().insert(sst.back().end(), take, 'z');
        written += take;
    }
    std::vector<std::pair<std::uint16_t, Bytes>> cells;
    for (std::uint16_t r = 0; r < 2000; ++r)
        cells.emplace_back(0x00FD, LabelSst(r, 0, 0));
    TextTable table;
    const WorkbookStatus status = Read(Write(OneSheet(cells, sst)), table);
    EXPECT_EQ(status.error, WorkbookError::TooLarge);
    EXPECT_NE(status.detail.find("64 MB"), std::string::npos) << status.detail;
    EXPECT_TRUE(table.empty());

    cells.resize(500);  // 33 MB: read
    ASSERT_TRUE(Read(Write(OneSheet(cells, sst)), table).ok());
    ASSERT_EQ(table.size(), 500u);
    EXPECT_EQ(table[499][0], std::string(length, 'z'));
}

TEST_F(XlsReader, FifoIsRefusedWithoutWaiting) {
    const std::string path = folder_ / "pipe.xls";
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(ReadError(path), WorkbookError::NotAWorkbook);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

}  // namespace
}  // namespace brindlecot
