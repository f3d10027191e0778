#include "gui/app/qt_user_interface.h"

#include <gtest/gtest.h>
#include <QApplication>

#include <cstdlib>
#include <filesystem>

#include "tests/support/test_files.h"

namespace brindlecot {
namespace {

// GBK "中文" and its UTF-8 form.
const std::string kGbkText = "\xD6\xD0\xCE\xC4";
const std::string kUtf8Text = "\xE4\xB8\xAD\xE6\x96\x87";

TEST(QtUserInterfaceTest, WithoutAnApplicationMessagesGoToStandardError) {
    ASSERT_EQ(QCoreApplication::instance(), nullptr);
    QtUserInterface ui;
    EXPECT_FALSE(QtUserInterface::PersonCanAnswer());
    ::testing::internal::CaptureStderr();
    ui.ShowMessage("Brindlecot", kGbkText);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "Brindlecot: " + kUtf8Text + "\n");
}

TEST(QtUserInterfaceTest, OnTheOffscreenPlatformNothingWaitsForAnAnswer) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    int argc = 1;
    char name[] = "app_ui_tests";
    char* argv[] = {name, nullptr};
    QApplication application(argc, argv);
    QtUserInterface ui;
    EXPECT_FALSE(QtUserInterface::PersonCanAnswer());

    ::testing::internal::CaptureStderr();
    ui.ShowMessage(kGbkText, "text");
    EXPECT_FALSE(ui.AskYesNo("caption", kGbkText));
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              kUtf8Text + ": text\ncaption: " + kUtf8Text + "\n");
    EXPECT_EQ(ui.ChooseFileToOpen("Text(*.txt)|*.txt||", FilePurpose::Import), std::nullopt);
    EXPECT_EQ(ui.ChooseFileToSave("Text(*.txt)|*.txt||", FilePurpose::Export), std::nullopt);
}

// Each purpose's folder outlives the session, kept in the person's configuration folder;
// a folder that has gone since is not offered.
TEST(QtUserInterfaceTest, FileDialogsRememberTheFolderOfEachPurpose) {
    testing::TempFolder config;
    testing::TempFolder work;
    ::setenv("XDG_CONFIG_HOME", config.path().c_str(), 1);
    std::filesystem::create_directories(work.path() / "in");
    std::filesystem::create_directories(work.path() / "out");
    EXPECT_EQ(RememberedFolder(FilePurpose::Import), QString());
    RememberFolderOf(FilePurpose::Import,
                     QString::fromStdString((work.path() / "in/a.txt").string()));
    RememberFolderOf(FilePurpose::SingleFileOutput,
                     QString::fromStdString((work.path() / "out/b.sealed").string()));
    EXPECT_EQ(RememberedFolder(FilePurpose::Import).toStdString(), (work.path() / "in").string());
    EXPECT_EQ(RememberedFolder(FilePurpose::SingleFileOutput).toStdString(),
              (work.path() / "out").string());
    EXPECT_EQ(RememberedFolder(FilePurpose::Export), QString());
    EXPECT_TRUE(std::filesystem::exists(config.path() / "brindlecot/folders.ini"));
    EXPECT_EQ(std::filesystem::status(config.path() / "brindlecot").permissions(),
              std::filesystem::perms::owner_all);
    std::filesystem::remove_all(work.path() / "in");
    EXPECT_EQ(RememberedFolder(FilePurpose::Import), QString());
    ::unsetenv("XDG_CONFIG_HOME");
}

}  // namespace
}  // namespace brindlecot
