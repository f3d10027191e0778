#include "gui/app/qt_user_interface.h"

#include <gtest/gtest.h>
#include <QApplication>

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
    EXPECT_EQ(ui.ChooseFileToOpen("Text(*.txt)|*.txt||"), std::nullopt);
    EXPECT_EQ(ui.ChooseFileToSave("Text(*.txt)|*.txt||"), std::nullopt);
}

}  // namespace
}  // namespace brindlecot
