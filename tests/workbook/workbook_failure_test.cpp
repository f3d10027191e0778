// Missing, foreign, truncated and hostile files give a failure, never a crash or a table.

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zip.h>

#include <chrono>
#include <fstream>
#include <random>

#include "workbook/workbook.h"
#include "workbook/workbook_internal.h"
#include "workbook_test_support.h"

namespace brindlecot {
namespace {

using testing::ReadFileBytes;
using testing::TempFolder;
using testing::WriteFileBytes;
using workbook_test::FixturePath;
using workbook_test::ReadError;

TEST(ReadFailure, MissingEmptyAndForeignFiles) {
    TempFolder folder;
    EXPECT_EQ(ReadError(folder / "absent.xls"), WorkbookError::CannotOpen);
    WriteFileBytes(folder / "empty.xls", "");
    EXPECT_EQ(ReadError(folder / "empty.xls"), WorkbookError::NotAWorkbook);
    WriteFileBytes(folder / "text.xlsx", "name,amount\r\nA,1\r\n");
    EXPECT_EQ(ReadError(folder / "text.xlsx"), WorkbookError::NotAWorkbook);
    EXPECT_EQ(ReadError(folder.path().string()), WorkbookError::NotAWorkbook);  // a folder
}

// The package reader is reached after the file was sniffed as a zip; by then the name may
// lead somewhere else. It must judge what it opens, not what was sniffed: a FIFO there is
// refused at once (alarm() ends the run should the open wait for a writer).
TEST(ReadFailure, PackageReaderRefusesWhatIsNoRegularFileWithoutWaiting) {
    TempFolder folder;
    const std::string fifo = folder / "swapped.xlsx";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    ::alarm(20);
    for (const std::string& path : {fifo, std::string("/dev/zero"), folder.path().string(),
                                    std::string(folder / "absent.xlsx")}) {
        const workbook_detail::SheetReadResult sheet = workbook_detail::ReadXlsxSheet(path);
        EXPECT_EQ(sheet.status.error, WorkbookError::CannotOpen) << path;
        EXPECT_TRUE(sheet.cells.empty());
    }
    ::alarm(0);

    // The same reader still reads a package through the descriptor it opened.
    ASSERT_TRUE(WriteWorkbook(folder / "good.xlsx", {{"a", "b"}, {"c"}}).ok());
    const workbook_detail::SheetReadResult good =
        workbook_detail::ReadXlsxSheet(folder / "good.xlsx");
    EXPECT_TRUE(good.status.ok()) << good.status.detail;
    EXPECT_EQ(good.cells.size(), 3u);
}

TEST(ReadFailure, TruncatedZipAndCompoundFile) {
    TempFolder folder;
    for (const char* name : {"calc_source.xlsx", "calc_source.xls"}) {
        const std::string whole = ReadFileBytes(FixturePath(name));
        for (std::size_t keep :
             {std::size_t{8}, std::size_t{600}, whole.size() / 2, whole.size() * 3 / 4}) {
            const std::string path = folder / ("cut_" + std::to_string(keep) + "_" + name);
            WriteFileBytes(path, whole.substr(0, keep));
            EXPECT_EQ(ReadError(path), WorkbookError::Malformed) << name << " cut to " << keep;
        }
    }
}

TEST(ReadFailure, ZipThatIsNoWorkbook) {
    TempFolder folder;
    // Our own xlsx without its workbook part is no longer a workbook.
    ASSERT_TRUE(WriteWorkbook(folder / "good.xlsx", {{"a"}}).ok());
    std::string bytes = ReadFileBytes(folder / "good.xlsx");
    for (std::size_t at = 0; (at = bytes.find("xl/workbook.xml", at)) != std::string::npos; ++at)
        bytes.replace(at, 15, "xl/workbook.xmz");
    WriteFileBytes(folder / "renamed.xlsx", bytes);
    EXPECT_EQ(ReadError(folder / "renamed.xlsx"), WorkbookError::Malformed);
}

// Zips the given parts with minizip (deflated), so that damaged packages can be built.
void WriteZip(const std::string& path,
              const std::vector<std::pair<std::string, std::string>>& parts) {
    zipFile zip = zipOpen64(path.c_str(), APPEND_STATUS_CREATE);
    ASSERT_NE(zip, nullptr);
    for (const auto& [name, content] : parts) {
        zip_fileinfo info{};
        ASSERT_EQ(zipOpenNewFileInZip(zip, name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr,
                                      Z_DEFLATED, Z_DEFAULT_COMPRESSION),
                  ZIP_OK);
        ASSERT_EQ(zipWriteInFileInZip(zip, content.data(), static_cast<unsigned>(content.size())),
                  ZIP_OK);
        ASSERT_EQ(zipCloseFileInZip(zip), ZIP_OK);
    }
    ASSERT_EQ(zipClose(zip, nullptr), ZIP_OK);
}

// A one-sheet package around a sheet part (and optional shared strings), so that damaged
// XML can be tried.
class HostilePackage : public ::testing::Test {
protected:
    std::string Package(const std::string& sheet, const std::string& shared = "",
                        const std::string& sharedPrefix = "") {
        std::vector<std::pair<std::string, std::string>> parts = {
            {"_rels/.rels",
             "<Relationships "
             "xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
             "<Relationship Id=\"r1\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/"
             "relationships/officeDocument\" Target=\"xl/workbook.xml\"/></Relationships>"},
            {"xl/workbook.xml",
             "<workbook xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
             "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\">"
             "<sheets><sheet name=\"S\" sheetId=\"1\" r:id=\"r1\"/></sheets></workbook>"},
            {"xl/_rels/workbook.xml.rels",
             "<Relationships "
             "xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
             "<Relationship Id=\"r1\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/"
             "relationships/worksheet\" Target=\"worksheets/sheet1.xml\"/>"
             "<Relationship Id=\"r2\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/"
             "relationships/sharedStrings\" Target=\"sharedStrings.xml\"/></Relationships>"},
            {"xl/worksheets/sheet1.xml",
             "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">" +
                 sheet + "</worksheet>"},
        };
        if (!shared.empty())
            parts.emplace_back(
                "xl/sharedStrings.xml",
                sharedPrefix +
                    "<sst xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">" +
                    shared + "</sst>");
        const std::string path = folder_ / ("package" + std::to_string(++count_) + ".xlsx");
        WriteZip(path, parts);
        return path;
    }

    TempFolder folder_;
    int count_ = 0;
};

TEST_F(HostilePackage, WellFormedPackageReads) {
    TextTable table;
    ASSERT_TRUE(
        ReadWorkbook(
            Package("<sheetData><row r=\"2\"><c r=\"C2\" t=\"s\"><v>0</v></c></row></sheetData>",
                    "<si><t>ok</t></si>"),
            table)
            .ok());
    EXPECT_EQ(table, (TextTable{{"ok"}}));
}

TEST_F(HostilePackage, BadReferencesIndexesAndXmlAreMalformed) {
    for (const std::string sheet : {
             "<sheetData><row r=\"1\"><c r=\"A1\" t=\"s\"><v>5</v></c></row></sheetData>",
             "<sheetData><row r=\"1\"><c r=\"A1\" t=\"s\"><v>-1</v></c></row></sheetData>",
             "<sheetData><row r=\"1\"><c r=\"A0\"><v>1</v></c></row></sheetData>",
             "<sheetData><row r=\"1\"><c r=\"XFE1\"><v>1</v></c></row></sheetData>",
             "<sheetData><row r=\"1048577\"><c><v>1</v></c></row></sheetData>",
             "<sheetData><row r=\"0\"><c><v>1</v></c></row></sheetData>",
             "<sheetData><row r=\"1\"><c r=\"A2\"><v>1</v></c></row></sheetData>",
             "<sheetData><row r=\"1\"><c r=\"A1\"><v>1</v></row></sheetData>",
             "<sheetData><row r=\"1\"><c r=\"A1\"><v>1</v></c></row>",
         }) {
        EXPECT_EQ(ReadError(Package(sheet, "<si><t>only</t></si>")), WorkbookError::Malformed)
            << sheet;
    }
}

TEST_F(HostilePackage, DocumentTypeDeclarationsAreRefused) {
    const std::string sheet =
        "<sheetData><row r=\"1\"><c r=\"A1\" t=\"s\"><v>0</v></c></row></sheetData>";
    EXPECT_EQ(
        ReadError(Package(sheet, "<si><t>&e;</t></si>", "<!DOCTYPE sst [<!ENTITY e \"boom\">]>")),
        WorkbookError::Malformed);
}

TEST_F(HostilePackage, CharacterWithoutGbkFormNamesItsCell) {
    TextTable table;
    const WorkbookStatus status = ReadWorkbook(
        Package(
            "<sheetData><row r=\"7\"><c r=\"A7\" t=\"inlineStr\"><is><t>ok</t></is></c>"
            "<c r=\"B7\" t=\"inlineStr\"><is><t>\xF0\x9F\x98\x80</t></is></c></row></sheetData>"),
        table);
    EXPECT_EQ(status.error, WorkbookError::NotGbk);
    EXPECT_EQ(status.cell, "B7");
    EXPECT_NE(DescribeWorkbookFailure(status).find("B7"), std::string::npos);
    EXPECT_TRUE(table.empty());
}

// Reads the workbook in a child process: how much its resident memory grew at the most,
// in kilobytes, and how the reading ended. Outside the address sanitizer (whose shadow
// memory needs a huge address space) a limit of 2 GB makes a regression fail fast instead
// of taking the machine's memory.
struct ChildReading {
    long growthKilobytes = -1;
    int outcome = -1;  // 0 read, 1 TooLarge, 2 other failure, 3 exception, -1 crashed
};

long StatusKilobytes(const std::string& key) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(key + ":", 0) == 0)
            return std::stol(line.substr(key.size() + 1));
    return -1;
}

ChildReading ReadInChild(const std::string& path) {
    int pipe[2];
    if (::pipe(pipe) != 0)
        return {};
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(pipe[0]);
#if !defined(__SANITIZE_ADDRESS__)
        const rlimit limit{2ull << 30, 2ull << 30};
        ::setrlimit(RLIMIT_AS, &limit);
#endif
        // The peak starts from what the parent had: it is reset to the present first.
        std::ofstream("/proc/self/clear_refs") << "5";
        const long before = StatusKilobytes("VmRSS");
        long result[2] = {-1, 3};
        try {
            TextTable table;
            const WorkbookStatus status = ReadWorkbook(path, table);
            result[1] = status.ok() ? 0 : status.error == WorkbookError::TooLarge ? 1 : 2;
        } catch (...) {
        }
        result[0] = StatusKilobytes("VmHWM") - before;
        const bool sent = ::write(pipe[1], result, sizeof result) == sizeof result;
        ::_exit(sent ? 0 : 1);
    }
    ::close(pipe[1]);
    ChildReading reading;
    long result[2] = {-1, -1};
    if (child > 0 && ::read(pipe[0], result, sizeof result) == sizeof result) {
        reading.growthKilobytes = result[0];
        reading.outcome = static_cast<int>(result[1]);
    }
    ::close(pipe[0]);
    int status = 0;
    if (child > 0)
        ::waitpid(child, &status, 0);
    return reading;
}

std::string RowsNamingString(int rows, const char* index) {
    std::string sheet = "<sheetData>";
    for (int r = 1; r <= rows; ++r)
        sheet += "<row r=\"" + std::to_string(r) + "\"><c r=\"A" + std::to_string(r) +
                 "\" t=\"s\"><v>" + index + "</v></c></row>";
    return sheet + "</sheetData>";
}

// A package of some kilobytes whose one shared string of a megabyte is named by 3,000
// cells would expand to 3 GB of cell text: it is refused, naming the limit, and reading it
// stays within a small multiple of its content.
TEST_F(HostilePackage, OneLongSharedStringInThousandsOfCellsIsRefusedInLittleMemory) {
    const std::string path =
        Package(RowsNamingString(3000, "0"), "<si><t>" + std::string(1'000'000, 'x') + "</t></si>");
    EXPECT_LT(std::filesystem::file_size(path), 32'000u);
    TextTable table;
    const WorkbookStatus status = ReadWorkbook(path, table);
    EXPECT_EQ(status.error, WorkbookError::TooLarge);
    EXPECT_NE(status.detail.find("64 MB"), std::string::npos) << status.detail;
    EXPECT_TRUE(table.empty());

    const ChildReading reading = ReadInChild(path);
    EXPECT_EQ(reading.outcome, 1);
    EXPECT_GE(reading.growthKilobytes, 0);
    EXPECT_LT(reading.growthKilobytes, 64 * 1024) << "growth of resident memory";
}

// The parser holds a tag whole until it ends: one name or attribute value of tens of
// megabytes (a few kilobytes compressed) once took seconds and gigabytes before failing.
// Every piece of markup is bounded as text is: refused at its first megabyte.
TEST_F(HostilePackage, HugeNamesAttributeValuesAndCommentsAreRefusedQuicklyInLittleMemory) {
    const std::string huge(48u << 20, 'a');
    std::string quotedWithTags = "<sheetData><row r=\"1\" x=\"";
    for (std::size_t i = 0; i < (48u << 20) / 64; ++i)
        quotedWithTags += std::string(63, 'b') + ">";  // a '>' inside quotes ends nothing
    quotedWithTags += "\"/></sheetData>";
    const std::vector<std::string> sheets{
        "<sheetData><" + huge + "/></sheetData>",
        "<sheetData><row r=\"1\" spans=\"" + huge + "\"/></sheetData>",
        "<sheetData><row r='1' " + huge + "='x'/></sheetData>",
        quotedWithTags,
        "<sheetData><!--" + huge + "--></sheetData>",
    };
    for (const std::string& sheet : sheets) {
        const std::string path = Package(sheet);
        EXPECT_LT(std::filesystem::file_size(path), 256'000u);
        const auto begin = std::chrono::steady_clock::now();
        TextTable table;
        const WorkbookStatus status = ReadWorkbook(path, table);
        const auto took = std::chrono::steady_clock::now() - begin;
        EXPECT_EQ(status.error, WorkbookError::Malformed) << sheet.substr(0, 40);
        EXPECT_NE(status.detail.find("too long"), std::string::npos) << status.detail;
        EXPECT_LT(took, std::chrono::seconds(1)) << sheet.substr(0, 40);
        const ChildReading reading = ReadInChild(path);
        EXPECT_EQ(reading.outcome, 2);
        EXPECT_LT(reading.growthKilobytes, 16 * 1024) << "growth of resident memory";
    }
}

TEST_F(HostilePackage, SharedStringsRepeatedWithinTheLimitAreRead) {
    const std::string text(1000, 'y');
    TextTable table;
    const WorkbookStatus status =
        ReadWorkbook(Package(RowsNamingString(3000, "0"), "<si><t>" + text + "</t></si>"), table);
    ASSERT_TRUE(status.ok()) << DescribeWorkbookFailure(status);
    EXPECT_EQ(table, TextTable(3000, TextRow{text}));
}

// Random damage to real files: any answer is acceptable except a crash or a hang (the
// sanitizer build turns out-of-bounds reads into failures).
TEST(ReadFailure, DamagedBytesNeverCrash) {
    TempFolder folder;
    std::mt19937 random(20240305);
    for (const char* name : {"calc_source.xls", "calc_source.xlsx", "inline_strings.xlsx"}) {
        const std::string whole = ReadFileBytes(FixturePath(name));
        for (int round = 0; round < 150; ++round) {
            std::string damaged = whole;
            const int flips = 1 + static_cast<int>(random() % 8);
            for (int f = 0; f < flips; ++f)
                damaged[random() % damaged.size()] = static_cast<char>(random());
            const std::string path = folder / ("damaged_" + std::to_string(round) + "_" + name);
            WriteFileBytes(path, damaged);
            TextTable table;
            const WorkbookStatus status = ReadWorkbook(path, table);
            if (!status.ok()) {
                EXPECT_TRUE(table.empty());
            }
            std::filesystem::remove(path);
        }
    }
}

}  // namespace
}  // namespace brindlecot
