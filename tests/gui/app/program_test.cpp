#include "base/app_path.h"
#include "base/gbk_text.h"
#include "base/ini_file.h"
#include "tests/support/test_files.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>

namespace brindlecot {
namespace {

// The real program, copied into a folder of its own and started from somewhere else.
class ProgramTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder_.Copy(BRINDLECOT_EXECUTABLE, "base/Brindlecot");
        std::filesystem::permissions(folder_ / "base/Brindlecot",
                                     std::filesystem::perms::owner_all);
        std::filesystem::copy(BRINDLECOT_SOURCE_DIR "/dist/language", folder_ / "base/language");
        // A decoy beside the current directory: a program that looked there would bind
        // this library, open its main dialog and never end (the run below times out).
        folder_.Write("elsewhere/language/config.ini", "[language]\nmode=0\n");
        folder_.Write("elsewhere/language/msgSimChi.ini", "[Brindlecot]\nmsg1=decoy\nmsg2=decoy\n");
        folder_.Copy(FAKE_CRYPT_WITH_EXPORT, "elsewhere/driver/libKestrelvane.so");
    }

    // Runs the copy with the given environment changes; returns its exit status.
    int Run(const std::string& environment) {
        const std::string command = "cd '" + (folder_ / "elsewhere").string() + "' && env " +
                                    environment + " timeout 60 '" +
                                    (folder_ / "base/Brindlecot").string() + "' 2>'" +
                                    (folder_ / "stderr.txt").string() + "' >/dev/null";
        const int status = std::system(command.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    std::string StandardError() { return testing::ReadFileBytes(folder_ / "stderr.txt"); }

    // The shipped text, as the person reads it.
    static std::string Shipped(const char* catalogue, const char* key) {
        SetAppFolder(BRINDLECOT_SOURCE_DIR "/dist");
        const std::string text =
            ReadIniString("Brindlecot", key, "", 256, std::string{"language/"} + catalogue);
        return "Brindlecot: " + GbkToUtf8(text).value_or("<not GBK>") + "\n";
    }

    testing::TempFolder folder_;
};

TEST_F(ProgramTest, WithoutTheLibraryBesideItReportsMsg2AndFails) {
    EXPECT_EQ(Run("-u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=offscreen"), 3);
    EXPECT_NE(StandardError().find(Shipped("msgSimChi.ini", "msg2")), std::string::npos)
        << StandardError();
}

TEST_F(ProgramTest, TheMessageSpeaksTheLanguageChosenBesideTheProgram) {
    folder_.Write("base/language/config.ini", "[language]\nmode=1\n");
    EXPECT_EQ(Run("-u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=offscreen"), 3);
    EXPECT_NE(StandardError().find(Shipped("msgTraChi.ini", "msg2")), std::string::npos)
        << StandardError();
}

// With its library in place the program opens the main dialog in the chosen language and
// ends, successfully, when the dialog is closed (here by the start-up probe).
TEST_F(ProgramTest, StartsIntoTheMainDialogAndEndsWhenItCloses) {
    folder_.Copy(FAKE_CRYPT_WITH_EXPORT, "base/driver/libKestrelvane.so");
    const std::string environment =
        "-u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=offscreen BRINDLECOT_STARTUP_PROBE=exit";
    EXPECT_EQ(Run(environment), 0) << StandardError();
    EXPECT_NE(StandardError().find("Brindlecot: window \"批量文件制作与加解密工具\" shown"),
              std::string::npos)
        << StandardError();

    folder_.Write("base/language/config.ini", "[language]\nmode=1\n");
    EXPECT_EQ(Run(environment), 0) << StandardError();
    EXPECT_NE(StandardError().find("Brindlecot: window \"批次檔案製作與加解密工具\" shown"),
              std::string::npos)
        << StandardError();
}

TEST_F(ProgramTest, WithoutADisplayReportsMsg1AndFails) {
    EXPECT_EQ(Run("-u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM"), 2);
    EXPECT_EQ(StandardError(), Shipped("msgSimChi.ini", "msg1"));
}

TEST_F(ProgramTest, WithAnUnreachableDisplayReportsMsg1InsteadOfAborting) {
    if (!BRINDLECOT_X11_PROBE)
        GTEST_SKIP() << "built without the X11 probe";
    EXPECT_EQ(Run("-u WAYLAND_DISPLAY -u QT_QPA_PLATFORM DISPLAY=:4711"), 2);
    EXPECT_EQ(StandardError(), Shipped("msgSimChi.ini", "msg1"));
}

}  // namespace
}  // namespace brindlecot
