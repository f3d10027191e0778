#include "app/ui/interim_main_dialog.h"
#include "app/app_path.h"
#include "app/message_catalogue.h"

#include <gtest/gtest.h>
#include <QApplication>
#include <QPushButton>

namespace brindlecot {
namespace {

TEST(InterimMainDialogTest, ShowsTheCatalogueTitleAndThreeDisabledButtons) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    int argc = 1;
    char name[] = "app_ui_tests";
    char* argv[] = {name, nullptr};
    QApplication application(argc, argv);
    SetAppFolder(BRINDLECOT_SOURCE_DIR "/dist");
    SelectMessageCatalogue();

    const auto dialog = MakeInterimMainDialog();
    // 批量文件制作与加解密工具 / 安装密钥 / 批量文件模板 / 单文件加解密, as shipped.
    EXPECT_EQ(dialog->windowTitle(), QString::fromUtf8("批量文件制作与加解密工具"));
    const QList<QPushButton*> buttons = dialog->findChildren<QPushButton*>();
    ASSERT_EQ(buttons.size(), 3);
    const QStringList expected{QString::fromUtf8("安装密钥"), QString::fromUtf8("批量文件模板"),
                               QString::fromUtf8("单文件加解密")};
    for (qsizetype i = 0; i < buttons.size(); ++i) {
        EXPECT_EQ(buttons[i]->text(), expected[i]);
        EXPECT_FALSE(buttons[i]->isEnabled());
    }
}

}  // namespace
}  // namespace brindlecot
