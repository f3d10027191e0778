#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <string>

#include "app/file_content.h"
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

}  // namespace
}  // namespace brindlecot
