// Whole commands run as separate processes, as clerks and scripts run them: two at once on
// one output, and killed with SIGKILL at random moments.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <iostream>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "filecrypt/key_rules.h"
#include "tests/cli/staged_copy.h"
#include "tests/support/test_files.h"

namespace brindlecot {
namespace {

namespace fs = std::filesystem;
using testing::ReadFileBytes;
using testing::TempFolder;
using testing::WriteFileBytes;

#ifdef BRINDLECOT_SANITIZED_BUILD
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif

constexpr int kRecords = 100'000;

// A sealed export of separated text, in two fields.
constexpr char kSealedTemplate[] =
    "$mode\n"
    "typeLens=34\nin=txt\nout=txt\ninNeedDescrypt=false\noutNeedEncrypt=true\n"
    "needFill=false\nsplite=\"|\"\nstatistics=2|sum|0|yuan\n"
    "$tableItem\n"
    "[acct] index=1 value= type=19\"N\" visible=true isRequisite=true\n"
    "[amt] index=2 value= type=15\"M\" visible=true isRequisite=true\n"
    "$End\n";

class CliStressTest : public ::testing::Test {
protected:
    void SetUp() override {
        const fs::path root = folder_.path() / "app";
        testing::CopyStagedCli(root);
        fs::create_directories(Work(""));
        const std::string seven = "3A5C0F1";
        const std::string key = seven + "0123456789ABCDEF"[KeyCheckDigit(seven).value()];
        ASSERT_EQ(Wait(Start({"install-key", key})), 0);
    }

    std::string Work(const std::string& name) const {
        return (folder_.path() / "work" / name).string();
    }

    // Starts brindlecot-cli with `arguments`, its output thrown away.
    pid_t Start(const std::vector<std::string>& arguments) const {
        const std::string program = (folder_.path() / "app" / "brindlecot-cli").string();
        std::vector<char*> argv{const_cast<char*>(program.c_str())};
        for (const std::string& argument : arguments)
            argv.push_back(const_cast<char*>(argument.c_str()));
        argv.push_back(nullptr);
        const pid_t child = ::fork();
        if (child == 0) {
            const int null = ::open("/dev/null", O_WRONLY);
            ::dup2(null, 1);
            ::dup2(null, 2);
            ::execv(program.c_str(), argv.data());
            ::_exit(127);
        }
        return child;
    }

    // The exit status, or -1 when the process ended by a signal.
    static int Wait(pid_t child) {
        int status = 0;
        if (::waitpid(child, &status, 0) != child || !WIFEXITED(status))
            return -1;
        return WEXITSTATUS(status);
    }

    // Every name in the work folder beyond `expected`.
    std::vector<std::string> Extra(const std::set<std::string>& expected) const {
        std::vector<std::string> extra;
        for (const auto& entry : fs::directory_iterator(Work("")))
            if (!expected.contains(entry.path().filename().string()))
                extra.push_back(entry.path().filename().string());
        return extra;
    }

    // Names in the work folder, beyond `expected`, that others than the owner could read.
    std::vector<std::string> ReadableByOthers(const std::set<std::string>& expected) const {
        std::vector<std::string> found;
        for (const std::string& name : Extra(expected)) {
            struct stat status {};
            if (::lstat(Work(name).c_str(), &status) == 0 && (status.st_mode & 077) != 0)
                found.push_back(name);
        }
        return found;
    }

    // The plain text a sealed file opens to ("" when it does not open).
    std::string Opened(const std::string& sealed) {
        const std::string plain = Work("check.plain");
        const int status = Wait(Start({"--force", "open", sealed, plain}));
        std::string text = status == 0 ? ReadFileBytes(plain) : std::string();
        fs::remove(plain);
        return text;
    }

    TempFolder folder_;
};

std::string Batch(char lead) {
    std::string text;
    text.reserve(static_cast<std::size_t>(kRecords) * 30);
    for (int row = 0; row < kRecords; ++row) {
        std::string account = std::to_string(row);
        account.insert(0, 18 - account.size(), '0');
        text += lead + account + "|" + std::to_string(row % 9973) + ".5\n";
    }
    return text;
}

// Two exports to one output at once: whatever the interleaving, each one that reports
// success wrote a whole output of its own records, so the output is one of the two.
TEST_F(CliStressTest, TwoSealedExportsToOneOutputLeaveOneWholeExport) {
    if (kSanitized)
        GTEST_SKIP() << "40 exports of 100,000 records take minutes under the sanitizers";
    WriteFileBytes(Work("sealed.cfg"), kSealedTemplate);
    WriteFileBytes(Work("a.txt"), Batch('1'));
    WriteFileBytes(Work("b.txt"), Batch('2'));
    const std::string cfg = Work("sealed.cfg");
    ASSERT_EQ(Wait(Start({"export", cfg, Work("a.txt"), Work("alone_a.out.txt")})), 0);
    ASSERT_EQ(Wait(Start({"export", cfg, Work("b.txt"), Work("alone_b.out.txt")})), 0);
    const std::string wholeA = Opened(Work("alone_a.out.txt"));
    const std::string wholeB = Opened(Work("alone_b.out.txt"));
    ASSERT_EQ(std::count(wholeA.begin(), wholeA.end(), '\n'), kRecords);
    ASSERT_EQ(std::count(wholeB.begin(), wholeB.end(), '\n'), kRecords);
    ASSERT_NE(wholeA, wholeB);

    const std::set<std::string> known{"sealed.cfg",      "a.txt",           "b.txt",
                                      "alone_a.out.txt", "alone_b.out.txt", "out.txt"};
    constexpr int kRounds = 20;
    for (int round = 0; round < kRounds; ++round) {
        const pid_t first = Start({"--force", "export", cfg, Work("a.txt"), Work("out.txt")});
        const pid_t second = Start({"--force", "export", cfg, Work("b.txt"), Work("out.txt")});
        EXPECT_EQ(Wait(first), 0) << "round " << round;
        EXPECT_EQ(Wait(second), 0) << "round " << round;
        const std::string opened = Opened(Work("out.txt"));
        EXPECT_TRUE(opened == wholeA || opened == wholeB)
            << "round " << round << ": " << opened.size() << " bytes";
        EXPECT_EQ(Extra(known), std::vector<std::string>{}) << "round " << round;
    }
}

struct KilledCommand {
    std::string name;
    std::vector<std::string> arguments;
    std::string output;
};

// A command killed at any moment leaves nothing beside its output that a later run does not
// remove, and at no moment is a file of it readable by others (only the finished output
// gets the umask's permissions).
TEST_F(CliStressTest, KilledCommandsLeaveNothingAndExposeNothing) {
    const int rounds = kSanitized ? 2 : 6;
    std::string big(24u << 20, '\0');
    std::mt19937 random(20261208);
    for (char& c : big)
        c = static_cast<char>('a' + random() % 26);
    WriteFileBytes(Work("big.bin"), big);
    WriteFileBytes(Work("sealed.cfg"), kSealedTemplate);
    WriteFileBytes(Work("a.txt"), Batch('1'));
    ASSERT_EQ(Wait(Start({"seal", Work("big.bin"), Work("big.sealed")})), 0);
    const std::set<std::string> known{"big.bin",  "big.sealed", "sealed.cfg", "a.txt",
                                      "s.sealed", "o.bin",      "e.txt"};
    const std::vector<KilledCommand> commands{
        {"seal", {"--force", "seal", Work("big.bin"), Work("s.sealed")}, "s.sealed"},
        {"open", {"--force", "open", Work("big.sealed"), Work("o.bin")}, "o.bin"},
        {"export",
         {"--force", "export", Work("sealed.cfg"), Work("a.txt"), Work("e.txt")},
         "e.txt"},
    };
    int kills = 0;
    for (const KilledCommand& command : commands) {
        // How long the whole command takes, to kill it anywhere along the way.
        const auto begin = std::chrono::steady_clock::now();
        ASSERT_EQ(Wait(Start(command.arguments)), 0) << command.name;
        const auto whole = std::chrono::duration_cast<std::chrono::microseconds>(
            std::chrono::steady_clock::now() - begin);
        for (int round = 0; round < rounds; ++round) {
            const auto killAt = std::chrono::microseconds(
                static_cast<long long>(random() % static_cast<unsigned>(whole.count() + 1)));
            const pid_t child = Start(command.arguments);
            const auto started = std::chrono::steady_clock::now();
            while (std::chrono::steady_clock::now() - started < killAt) {
                EXPECT_EQ(ReadableByOthers(known), std::vector<std::string>{})
                    << command.name << " round " << round;
                std::this_thread::sleep_for(std::chrono::microseconds(500));
            }
            ::kill(child, SIGKILL);
            if (Wait(child) == -1)
                ++kills;
            for (const std::string& name : Extra(known)) {
                struct stat status {};
                ASSERT_EQ(::lstat(Work(name).c_str(), &status), 0);
                EXPECT_EQ(status.st_mode & 077, 0u) << name;
            }
        }
        // A later run of the command finishes, and whatever a kill left is gone.
        ASSERT_EQ(Wait(Start(command.arguments)), 0) << command.name;
        EXPECT_EQ(Extra(known), std::vector<std::string>{}) << command.name;
    }
    EXPECT_EQ(ReadFileBytes(Work("o.bin")), big);
    std::cout << "[ stress   ] " << kills << " of " << rounds * commands.size()
              << " runs killed before they ended\n";
}

}  // namespace
}  // namespace brindlecot
