#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <string>
#include <vector>

#include "base/file_content.h"
#include "tests/support/test_files.h"

namespace brindlecot {
namespace {

using testing::TempFolder;

// Paths the person controls may name anything. Only regular files are read, and looking
// at anything else must come back at once: alarm() ends the run if a call waits.
class FileContentTest : public ::testing::Test {
protected:
    void SetUp() override { ::alarm(20); }
    void TearDown() override { ::alarm(0); }

    std::string Fifo(const std::string& name) const {
        const std::string path = (folder_ / name).string();
        EXPECT_EQ(::mkfifo(path.c_str(), 0600), 0);
        return path;
    }

    TempFolder folder_;
};

TEST_F(FileContentTest, ReadsARegularFileWholeAndItsStartUpToTheBuffer) {
    std::string bytes(200000, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<char>(i * 7 + i / 251);
    const std::string path = folder_.Write("big.bin", bytes);
    EXPECT_EQ(ReadWholeFile(path), bytes);
    EXPECT_EQ(ReadWholeFile(folder_.Write("empty", "")), std::string());

    std::array<std::uint8_t, 10> start{};
    EXPECT_EQ(ReadFileStart(path, start), 10u);
    EXPECT_EQ(std::string(start.begin(), start.end()), bytes.substr(0, 10));
    EXPECT_EQ(ReadFileStart(folder_.Write("short", "abc"), start), 3u);
}

TEST_F(FileContentTest, AFifoADeviceAFolderOrNothingAreNotReadAndNeverWait) {
    std::array<std::uint8_t, 8> start{};
    for (const std::string& path :
         {Fifo("fifo"), std::string("/dev/zero"), std::string("/dev/null"), folder_.path().string(),
          (folder_ / "missing").string()}) {
        EXPECT_EQ(ReadWholeFile(path), std::nullopt) << path;
        EXPECT_EQ(ReadFileStart(path, start), std::nullopt) << path;
    }
}

TEST_F(FileContentTest, OpenRefusesWhatIsNoRegularFileAtOnce) {
    for (const std::string& path : {Fifo("fifo"), std::string("/dev/zero"), folder_.path().string(),
                                    (folder_ / "missing").string()})
        EXPECT_FALSE(ReadableFile::Open(path).has_value()) << path;
}

TEST_F(FileContentTest, ReadAtReadsFromAnOffsetWithoutMovingTheReadPosition) {
    std::optional<ReadableFile> file = ReadableFile::Open(folder_.Write("f", "0123456789"));
    ASSERT_TRUE(file);
    std::array<char, 4> part{};
    EXPECT_EQ(file->ReadAt(6, part.data(), part.size()), 4u);
    EXPECT_EQ(std::string(part.data(), 4), "6789");
    EXPECT_EQ(file->ReadAt(8, part.data(), part.size()), 2u);  // cut at the end
    EXPECT_EQ(std::string(part.data(), 2), "89");
    EXPECT_EQ(file->ReadAt(20, part.data(), part.size()), 0u);
    EXPECT_EQ(file->Read(part.data(), part.size()), 4u);
    EXPECT_EQ(std::string(part.data(), 4), "0123");
}

std::vector<std::string> AllLines(const std::string& path) {
    std::optional<ReadableFile> file = ReadableFile::Open(path);
    if (!file)
        return {"(not opened)"};
    // Blocks of two bytes: lines cross blocks, and one is longer than a block.
    LineBlockReader reader(std::move(*file), 2);
    std::vector<std::string> lines;
    LineBlock block;
    while (reader.Next(block)) {
        ForEachLine(block.Lines(), [&lines](std::string_view line) {
            lines.emplace_back(line);
            return true;
        });
    }
    if (reader.Failed())
        lines.emplace_back("(failed)");
    return lines;
}

using Lines = std::vector<std::string>;

TEST_F(FileContentTest, LinesEndAtLfWithTheCrBeforeItDropped) {
    EXPECT_EQ(AllLines(folder_.Write("a", "a\r\nb\nc")), (Lines{"a", "b", "c"}));
    EXPECT_EQ(AllLines(folder_.Write("b", "a\r\n\r\n\nb\r\n")), (Lines{"a", "", "", "b"}));
    // Only the CR of a CR LF pair goes; a CR elsewhere is data, as text-mode reading keeps it.
    EXPECT_EQ(AllLines(folder_.Write("c", "a\rb\r\r\n")), (Lines{"a\rb\r"}));
    EXPECT_EQ(AllLines(folder_.Write("d", "x\r")), (Lines{"x\r"}));
    EXPECT_EQ(AllLines(folder_.Write("e", "")), Lines{});
    EXPECT_EQ(AllLines(Fifo("fifo")), (Lines{"(not opened)"}));
}

// Lines of every length, some far longer than one read and some ending right at a read's
// edge, come out exactly as a plain split of the whole text gives them.
TEST_F(FileContentTest, LinesAcrossReadBoundariesComeOutWhole) {
    std::string text;
    Lines expected;
    std::uint32_t state = 12345;
    for (int i = 0; text.size() < 9'000'000; ++i) {
        state = state * 1103515245u + 12345u;
        std::size_t length = (state >> 8) % 3000;
        if (i % 97 == 50)
            length = 1'500'000 + (state % 1'000'000);  // longer than a read
        if (i == 5)
            length =
                (1 << 20) - text.size() - 2;  // its CR LF ends exactly at the first read's edge
        std::string line(length, static_cast<char>('a' + i % 26));
        expected.push_back(line);
        text += line + (i % 3 == 0 ? "\n" : "\r\n");
    }
    EXPECT_EQ(AllLines(folder_.Write("big", text)), expected);
}

}  // namespace
}  // namespace brindlecot
