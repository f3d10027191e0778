// Our .xlsx files as readers other than ours see them: Python's zipfile (every entry's
// CRC) and openpyxl (cells, formats), besides minizip and our own reader; and the ways
// writing one can fail.

#include <unzip.h>

#include <cstdio>
#include <filesystem>

#include "workbook/workbook.h"
#include "workbook/workbook_internal.h"
#include "workbook/zip_writer.h"
#include "workbook_test_support.h"

namespace brindlecot {
namespace {

using testing::Gbk;
using testing::TempFolder;
using workbook_test::Show;

struct Command {
    std::string output;
    int status = -1;
};

Command RunOracle(const std::string& path, const std::string& options = "") {
    const std::string command = std::string(BRINDLECOT_SYSTEM_PYTHON) + " " +
                                BRINDLECOT_SOURCE_DIR + "/tests/workbook/zip_workbook_oracle.py '" +
                                path + "' " + options;
    Command result;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return result;
    char chunk[4096];
    std::size_t got = 0;
    while ((got = std::fread(chunk, 1, sizeof chunk, pipe)) > 0)
        result.output.append(chunk, got);
    result.status = pclose(pipe);
    return result;
}

std::string Hex(const std::string& bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string hex;
    for (unsigned char b : bytes) {
        hex += kDigits[b >> 4];
        hex += kDigits[b & 0xF];
    }
    return hex;
}

// What the oracle must print for the cells of `table`: each filled one, formatted as text.
std::string ExpectedCells(const TextTable& table) {
    std::string lines;
    for (std::size_t r = 0; r < table.size(); ++r)
        for (std::size_t c = 0; c < table[r].size(); ++c)
            if (!table[r][c].empty())
                lines +=
                    "cell " + CellReference(r, c) + " @ " + Hex(*GbkToUtf8(table[r][c])) + "\n";
    return lines;
}

std::string CellLines(const std::string& output) {
    std::string lines;
    for (std::size_t at = 0; at < output.size();) {
        const std::size_t end = output.find('\n', at);
        const std::string line = output.substr(at, end - at + 1);
        if (line.starts_with("cell "))
            lines += line;
        at = end == std::string::npos ? output.size() : end + 1;
    }
    return lines;
}

// Texts that need escaping or care, in cells with gaps between them, past column Z, and
// enough rows that the sheet goes to the compressor in many pieces.
TEST(XlsxWriter, AwkwardTextsComeBackFromOurReaderAndFromOpenpyxl) {
    std::string longText;
    while (longText.size() < 45000)
        longText += Gbk("长文本") + "&<>";
    constexpr std::size_t kWidth = 29;  // to the last filled column, AC
    TextTable table = {
        {"a&b<c>d\"e'f", "]]>", "x\x01y\x1Fz\x7F", "in\rside\nbreaks\tand tab",
         Gbk("张三丰￥１２３")},
        {"_x0041_", "_x005F_", "__x0041__", "_x00", "_X0041_", "_xABCD", "x_x1234_"},
        {"", "b", "", "", "e", "", "", "", "", "", "", "", "", "",       "",
         "", "",  "", "", "",  "", "", "", "", "", "", "", "", Gbk("末")},
        {},
        {longText, "=SUM(A1:A2)", "000123", "6222000000000123", "1e5", "2024-03-05"},
    };
    for (int i = 0; i < 20000; ++i)
        table.push_back({std::to_string(i), Gbk("账号") + std::to_string(i * 7919)});
    for (auto& row : table)
        if (!row.empty())
            row.resize(kWidth);

    TempFolder folder;
    const std::string path = folder / "awkward.xlsx";
    const WorkbookStatus written = WriteWorkbook(path, table);
    ASSERT_TRUE(written.ok()) << DescribeWorkbookFailure(written);

    TextTable back;
    const WorkbookStatus read = ReadWorkbook(path, back);
    ASSERT_TRUE(read.ok()) << DescribeWorkbookFailure(read);
    TextTable withoutBlankRow = table;
    withoutBlankRow.erase(withoutBlankRow.begin() + 3);
    ASSERT_EQ(back.size(), withoutBlankRow.size());
    for (std::size_t r = 0; r < back.size(); ++r)
        ASSERT_TRUE(back[r] == withoutBlankRow[r]) << "row " << r << "\n"
                                                   << Show({back[r], withoutBlankRow[r]});

    const Command oracle = RunOracle(path);
    ASSERT_EQ(oracle.status, 0) << oracle.output;
    EXPECT_NE(oracle.output.find("entry xl/worksheets/sheet1.xml "), std::string::npos);
    EXPECT_EQ(CellLines(oracle.output), ExpectedCells(table));
}

// The last cell a sheet can hold, "XFD1048576", and cells far apart.
TEST(XlsxWriter, FarthestCellIsPlaced) {
    TextTable table(kXlsxMaxRows);
    table.front() = {"first"};
    table[kXlsxMaxRows / 2] = {"", "", "middle"};
    table.back() = TextRow(kXlsxMaxColumns);
    table.back().back() = "last";
    TempFolder folder;
    const std::string path = folder / "far.xlsx";
    const WorkbookStatus written = WriteWorkbook(path, table);
    ASSERT_TRUE(written.ok()) << DescribeWorkbookFailure(written);

    const Command oracle = RunOracle(path);
    ASSERT_EQ(oracle.status, 0) << oracle.output;
    EXPECT_EQ(CellLines(oracle.output), ExpectedCells(table));

    TextTable back;
    ASSERT_TRUE(ReadWorkbook(path, back).ok());
    ASSERT_EQ(back.size(), 3u);
    EXPECT_EQ(back[0].front(), "first");
    EXPECT_EQ(back[1][2], "middle");
    EXPECT_EQ(back[2].size(), kXlsxMaxColumns);
    EXPECT_EQ(back[2].back(), "last");
}

// Reads every entry of the archive at `path` through minizip, which checks each CRC at
// the entry's end; the entries' names and contents.
std::vector<std::pair<std::string, std::string>> UnzipAll(const std::string& path) {
    std::vector<std::pair<std::string, std::string>> entries;
    unzFile zip = unzOpen64(path.c_str());
    if (!zip)
        return entries;
    for (int more = unzGoToFirstFile(zip); more == UNZ_OK; more = unzGoToNextFile(zip)) {
        char name[256] = {};
        unz_file_info64 info{};
        if (unzGetCurrentFileInfo64(zip, &info, name, sizeof name, nullptr, 0, nullptr, 0) !=
                UNZ_OK ||
            unzOpenCurrentFile(zip) != UNZ_OK)
            break;
        std::string content(info.uncompressed_size, '\0');
        const int got =
            unzReadCurrentFile(zip, content.data(), static_cast<unsigned>(content.size()));
        const bool whole = got == static_cast<int>(content.size());
        if (unzCloseCurrentFile(zip) != UNZ_OK || !whole)
            break;  // a CRC mismatch or a short entry
        entries.emplace_back(name, std::move(content));
    }
    unzClose(zip);
    return entries;
}

// Sheets big enough to need 64-bit sizes take gigabytes; the same records, declared for a
// small entry, must read as well.
TEST(XlsxWriter, ZipEntriesWithAndWithout64BitSizesReadBack) {
    std::string noise(3u << 20, '\0');
    std::uint32_t state = 12345;
    for (char& byte : noise) {
        state = state * 1103515245u + 12345u;
        byte = static_cast<char>(state >> 24);
    }
    const std::string text(1u << 20, 'z');
    TempFolder folder;
    const std::string path = folder / "mixed.zip";
    {
        workbook_detail::ZipWriter zip(path);
        ASSERT_TRUE(zip.Add("small.txt", "hello"));
        ASSERT_TRUE(zip.Begin("noise.bin", true));
        // Pieces of uneven size, over the writer's own buffer.
        for (std::size_t at = 0, step = 1; at < noise.size(); at += step, step = step * 3 + 1)
            ASSERT_TRUE(zip.Append(std::string_view(noise).substr(at, step)));
        ASSERT_TRUE(zip.End());
        ASSERT_TRUE(zip.Begin("text.txt", true));
        ASSERT_TRUE(zip.Append(text));
        ASSERT_TRUE(zip.End());
        ASSERT_TRUE(zip.Add("empty", ""));
        ASSERT_TRUE(zip.Finish()) << zip.failure();
    }
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"small.txt", "hello"}, {"noise.bin", noise}, {"text.txt", text}, {"empty", ""}};
    EXPECT_TRUE(UnzipAll(path) == expected);

    const Command oracle = RunOracle(path, "--zip-only");
    ASSERT_EQ(oracle.status, 0) << oracle.output;
    EXPECT_EQ(oracle.output,
              "entry small.txt 5\nentry noise.bin 3145728\n"
              "entry text.txt 1048576\nentry empty 0\n");
}

TEST(XlsxWriter, FullDiskIsReportedNotLeftAsAShortFile) {
    if (!std::filesystem::exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full";
    // One small enough to be written only on closing, one that fills the buffers first.
    TextTable big(40000, TextRow{"some text", Gbk("中文")});
    for (const TextTable& table : {TextTable{{"a"}}, big}) {
        const WorkbookStatus status = WriteWorkbookAs("/dev/full", table, WorkbookFormat::Xlsx);
        EXPECT_EQ(status.error, WorkbookError::CannotWrite);
        EXPECT_EQ(status.detail, "the disk is full");
    }
}

}  // namespace
}  // namespace brindlecot
