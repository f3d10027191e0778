#include "base/staged_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/test_files.h"

namespace brindlecot {
namespace {

namespace fs = std::filesystem;
using testing::ReadFileBytes;
using testing::TempFolder;
using testing::WriteFileBytes;
using Names = std::vector<std::string>;

mode_t ModeOf(const std::string& path) {
    struct stat status {};
    EXPECT_EQ(::stat(path.c_str(), &status), 0) << path;
    return status.st_mode & 0777;
}

// The name a staged file of process `pid` on this host would carry.
std::string StagedNameOf(pid_t pid, const std::string& random = "Ab3dE9") {
    char host[HOST_NAME_MAX + 1] = {};
    ::gethostname(host, sizeof host - 1);
    std::string kept;
    for (const char* c = host; *c != '\0' && kept.size() < 24; ++c)
        if (std::isalnum(static_cast<unsigned char>(*c)))
            kept += *c;
    return ".brindlecot-" + kept + "-" + std::to_string(pid) + "-" + random + ".part";
}

pid_t DeadProcess() {
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(0);
    int status = 0;
    ::waitpid(child, &status, 0);
    return child;
}

// A staged file belongs to its command alone: no file that was there is taken, nobody else
// can read it, and it is gone with its owner unless it became the target.
TEST(StagedFile, IsNewOwnerOnlyAndGoesWithItsOwnerUnlessPutInPlace) {
    const TempFolder folder;
    const std::string target = (folder.path() / "out.txt").string();
    WriteFileBytes(target, "yesterday");
    WriteFileBytes(folder.path() / "out.txt_temp", "the clerk's own");
    const Names before = folder.Entries();
    const mode_t mask = ::umask(022);
    {
        std::optional<StagedFile> staged = StagedFile::Create(target);
        ASSERT_TRUE(staged);
        EXPECT_EQ(ModeOf(staged->Path()), 0600u);
        ASSERT_TRUE(staged->WriteAll({reinterpret_cast<const unsigned char*>("today"), 5}));
        EXPECT_EQ(ReadFileBytes(staged->Path()), "today");
        EXPECT_EQ(StagedBytesFor(target), 5u);
        EXPECT_EQ(ReadFileBytes(target), "yesterday");
    }
    EXPECT_EQ(folder.Entries(), before);
    EXPECT_EQ(StagedBytesFor(target), 0u);

    std::optional<StagedFile> staged = StagedFile::Create(target);
    ASSERT_TRUE(staged);
    ASSERT_TRUE(staged->WriteAll({reinterpret_cast<const unsigned char*>("today"), 5}));
    ASSERT_TRUE(staged->ReplaceTarget(target, 0666));
    staged.reset();
    ::umask(mask);
    EXPECT_EQ(ReadFileBytes(target), "today");
    EXPECT_EQ(ModeOf(target), 0644u);
    EXPECT_EQ(folder.Entries(), before);
    EXPECT_EQ(ReadFileBytes(folder.path() / "out.txt_temp"), "the clerk's own");
}

// What a killed run left is removed by the next file staged in that folder; nothing else is:
// not a live process's file, not another host's, not a file that only looks alike.
TEST(StagedFile, RemovesOnlyTheStaleFilesOfDeadProcessesOfThisHost) {
    const TempFolder folder;
    const std::string stale = StagedNameOf(DeadProcess());
    const std::string live = StagedNameOf(::getppid());
    const std::string otherHost =
        ".brindlecot-elsewhere-" + std::to_string(DeadProcess()) + "-Ab3dE9.part";
    const std::string lookalike = StagedNameOf(DeadProcess(), "toolong7");
    for (const std::string& name : {stale, live, otherHost, lookalike, std::string("x_temp")})
        WriteFileBytes(folder.path() / name, "left");
    ASSERT_TRUE(IsStagedFileName(stale));
    EXPECT_FALSE(IsStagedFileName(lookalike));
    EXPECT_FALSE(IsStagedFileName("x_temp"));

    ASSERT_TRUE(StagedFile::Create((folder.path() / "out.txt").string()));
    Names expected{live, otherHost, lookalike, "x_temp"};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(folder.Entries(), expected);
}

TEST(StagedFile, IsRefusedWhereNoFileCanBeMade) {
    const TempFolder folder;
    EXPECT_FALSE(StagedFile::Create((folder.path() / "missing" / "out.txt").string()));
    std::optional<StagedFile> staged = StagedFile::Create((folder.path() / "out").string());
    ASSERT_TRUE(staged);
    fs::create_directory(folder.path() / "folder");
    EXPECT_FALSE(staged->ReplaceTarget((folder.path() / "folder").string(), 0666));
    EXPECT_TRUE(fs::is_directory(folder.path() / "folder"));
}

}  // namespace
}  // namespace brindlecot
