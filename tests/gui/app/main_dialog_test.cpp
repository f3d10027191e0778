#include "gui/app/main_dialog.h"
#include "base/app_path.h"
#include "base/catalogue/brindlecot_dlg_keys.h"
#include "base/catalogue/dialog_crypt_key_keys.h"
#include "base/message_catalogue.h"
#include "filecrypt/installed_key.h"
#include "filecrypt/key_file_cipher.h"
#include "filecrypt/key_rules.h"
#include "gui/app/about_dialog.h"
#include "gui/app/qt_user_interface.h"
#include "gui/filecrypt/key_dialog.h"
#include "gui/filecrypt/single_file_dialog.h"
#include "tests/filecrypt/filecrypt_test_support.h"
#include "tests/support/modal_dialogs.h"
#include "tests/support/shipped_catalogue.h"
#include "tests/support/valid_key.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

#include <filesystem>
#include <memory>

namespace brindlecot::testing {
namespace {

namespace texts = catalogue::BrindlecotDlg;
namespace keyTexts = catalogue::DialogCryptKey;

}  // namespace

class MainDialogTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TempFolder> app_;
    std::unique_ptr<ScriptedUserInterface> ui_;
    std::unique_ptr<MainDialog> dialog_;

    std::string KeyConfPath() const { return (*app_ / "keyConf").string(); }
    std::string KeyConfBytes() const { return ReadFileBytes(*app_ / "keyConf"); }

    void Open() {
        dialog_ = std::make_unique<MainDialog>(ui_.get());
        dialog_->show();
        dialog_->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(dialog_.get()));
    }

    bool FileButtonsEnabled() const {
        const bool templates = dialog_->TemplatesButton()->isEnabled();
        const bool singleFile = dialog_->SingleFileButton()->isEnabled();
        return templates && singleFile;
    }
    bool FileButtonsDisabled() const {
        return !dialog_->TemplatesButton()->isEnabled() &&
               !dialog_->SingleFileButton()->isEnabled();
    }

    // Presses 1016 and, in the key dialog that opens, types `entry` and presses OK, or
    // presses Cancel when `entry` is empty (after trying OK once with the key typed, if
    // `tryFirst` is given, so that a key reached the dialog before it was cancelled).
    void InstallThroughTheDialog(const std::string& entry, const std::string& tryFirst = {}) {
        bool seen = false;
        WhenVisible<KeyDialog>(
            dialog_.get(),
            [&](KeyDialog& keyDialog) {
                if (!tryFirst.empty()) {
                    keyDialog.KeyEdit()->setText(QString::fromStdString(tryFirst));
                    QTest::mouseClick(keyDialog.OkButton(), Qt::LeftButton);
                }
                if (entry.empty()) {
                    QTest::mouseClick(keyDialog.CancelButton(), Qt::LeftButton);
                    return;
                }
                keyDialog.KeyEdit()->setText(QString::fromStdString(entry));
                QTest::mouseClick(keyDialog.OkButton(), Qt::LeftButton);
            },
            &seen);
        QTest::mouseClick(dialog_->InstallKeyButton(), Qt::LeftButton);
        QVERIFY(seen);
        // The key dialog is gone once the button's work is done.
        QVERIFY(dialog_->findChildren<KeyDialog*>().isEmpty());
    }

private slots:
    void initTestCase() { PrepareKeyFileCipher(); }

    void init() {
        app_ = std::make_unique<TempFolder>();
        app_->Write("language/msgSimChi.ini", LabelledCatalogue());
        SetAppFolder(app_->path().string());
        SelectMessageCatalogue();
        CurrentInstalledKey().Clear();
        ui_ = std::make_unique<ScriptedUserInterface>();
    }

    void cleanup() {
        dialog_.reset();
        CurrentInstalledKey().Clear();
        ui_.reset();
        std::error_code ignored;
        std::filesystem::permissions(app_->path(), std::filesystem::perms::owner_all, ignored);
        app_.reset();
    }

    void ShowsTheCatalogueTextsAndTheIcon() {
        Open();
        QCOMPARE(dialog_->windowTitle().toStdString(), Labelled(texts::kTitle));
        QCOMPARE(dialog_->InstallKeyButton()->text().toStdString(),
                 Labelled(texts::kInstallKeyButton));
        QCOMPARE(dialog_->TemplatesButton()->text().toStdString(),
                 Labelled(texts::kTemplatesButton));
        QCOMPARE(dialog_->SingleFileButton()->text().toStdString(),
                 Labelled(texts::kSingleFileButton));
        QVERIFY(!dialog_->windowIcon().isNull());
        QVERIFY(ui_->events.empty());
    }

    void WithoutKeyConfOnlyKeyInstallationIsOffered() {
        Open();
        QVERIFY(dialog_->InstallKeyButton()->isEnabled());
        QVERIFY(FileButtonsDisabled());
        QVERIFY(ui_->events.empty());
    }

    void AnEmptyKeyConfIsNoKey() {
        app_->Write("keyConf", "");
        Open();
        QVERIFY(FileButtonsDisabled());
    }

    void AKeyConfFromAnEarlierRunEnablesTheFileButtons() {
        QCOMPARE(WriteKeyConf(ValidKey("1234567")), KeyConfWrite::Written);
        Open();
        QVERIFY(FileButtonsEnabled());
        QCOMPARE(std::string(CurrentInstalledKey().Text()), ValidKey("1234567"));
    }

    void InstallingEnablesTheFileButtonsWithoutARestart() {
        Open();
        const std::string key = ValidKey("ABCDEF1");
        InstallThroughTheDialog(QString::fromStdString(key).toLower().toStdString());
        QVERIFY(FileButtonsEnabled());
        QCOMPARE(std::string(CurrentInstalledKey().Text()), key);
        const std::vector<ScriptedUserInterface::Event> expected{
            Question(keyTexts::kTitle, keyTexts::kConfirmReplace),
            Message(texts::kKeyInstalledCaption, texts::kKeyInstalled)};
        QCOMPARE(ui_->events, expected);
        // keyConf is the clerk's alone.
        QCOMPARE(PermissionBits(KeyConfPath()), mode_t(0600));
        QCOMPARE(KeyConfBytes().size(), std::size_t(8));
        // And the next start finds it.
        CurrentInstalledKey().Clear();
        QVERIFY(LoadInstalledKey());
        QCOMPARE(std::string(CurrentInstalledKey().Text()), key);
    }

    void InstallingOverAnEarlierKeyReplacesIt() {
        QCOMPARE(WriteKeyConf(ValidKey("1111111")), KeyConfWrite::Written);
        const std::string before = KeyConfBytes();
        Open();
        InstallThroughTheDialog(ValidKey("2222222"));
        QVERIFY(KeyConfBytes() != before);
        QCOMPARE(PermissionBits(KeyConfPath()), mode_t(0600));
        QCOMPARE(std::string(CurrentInstalledKey().Text()), ValidKey("2222222"));
        QVERIFY(FileButtonsEnabled());
    }

    // Cancel after a valid key was typed and refused at the question: nothing changes,
    // not even the key in memory.
    void CancellingChangesNothing() {
        QCOMPARE(WriteKeyConf(ValidKey("1111111")), KeyConfWrite::Written);
        const std::string before = KeyConfBytes();
        Open();
        ui_->answers = {false};
        InstallThroughTheDialog({}, ValidKey("2222222"));
        QCOMPARE(KeyConfBytes(), before);
        QCOMPARE(std::string(CurrentInstalledKey().Text()), ValidKey("1111111"));
        QVERIFY(FileButtonsEnabled());
        QCOMPARE(ui_->Messages().size(), std::size_t(0));
    }

    void CancellingWithoutAKeyLeavesTheFileButtonsDisabled() {
        Open();
        InstallThroughTheDialog({});
        QVERIFY(FileButtonsDisabled());
        QVERIFY(!std::filesystem::exists(KeyConfPath()));
        QVERIFY(CurrentInstalledKey().Empty());
        QVERIFY(ui_->events.empty());
    }

    // A keyConf that cannot be replaced (here a folder in its place) installs nothing: the
    // person is told, and the buttons keep their state.
    void AKeyThatCannotBeSavedIsNotInstalled() {
        std::filesystem::create_directory(KeyConfPath());
        Open();
        InstallThroughTheDialog(ValidKey("3333333"));
        QVERIFY(FileButtonsDisabled());
        QVERIFY(CurrentInstalledKey().Empty());
        const std::vector<ScriptedUserInterface::Event> expected{
            Question(keyTexts::kTitle, keyTexts::kConfirmReplace),
            Message(keyTexts::kTitle, keyTexts::kKeyNotSaved)};
        QCOMPARE(ui_->events, expected);
        QCOMPARE(app_->Entries(), (std::vector<std::string>{"keyConf", "language"}));
    }

    void TheFileButtonsCallTheirHooksWithTheDialogAsParent() {
        QCOMPARE(WriteKeyConf(ValidKey("1234567")), KeyConfWrite::Written);
        Open();
        // Not plugged in yet: a click does nothing.
        QTest::mouseClick(dialog_->TemplatesButton(), Qt::LeftButton);
        QVERIFY(ui_->events.empty());
        std::vector<std::pair<std::string, QWidget*>> calls;
        dialog_->SetTemplateChooserHook(
            [&](QWidget* parent) { calls.emplace_back("templates", parent); });
        dialog_->SetSingleFileHook(
            [&](QWidget* parent) { calls.emplace_back("single file", parent); });
        QTest::mouseClick(dialog_->TemplatesButton(), Qt::LeftButton);
        QTest::mouseClick(dialog_->SingleFileButton(), Qt::LeftButton);
        const std::vector<std::pair<std::string, QWidget*>> expected{
            {"templates", dialog_.get()}, {"single file", dialog_.get()}};
        QCOMPARE(calls, expected);
    }

    void TheSingleFileButtonOpensTheSingleFileDialog() {
        QCOMPARE(WriteKeyConf(ValidKey("1234567")), KeyConfWrite::Written);
        Open();
        bool seen = false;
        QWidget* parent = nullptr;
        bool modal = false;
        WhenVisible<SingleFileDialog>(
            dialog_.get(),
            [&](SingleFileDialog& singleFile) {
                parent = singleFile.parentWidget();
                modal = singleFile.isModal();
                QTest::mouseClick(singleFile.ReturnButton(), Qt::LeftButton);
            },
            &seen);
        QTest::mouseClick(dialog_->SingleFileButton(), Qt::LeftButton);
        QVERIFY(seen);
        QVERIFY(modal);
        QCOMPARE(parent, static_cast<QWidget*>(dialog_.get()));
        QVERIFY(dialog_->findChildren<SingleFileDialog*>().isEmpty());
    }

    void DisabledFileButtonsOpenNothing() {
        Open();
        int calls = 0;
        dialog_->SetTemplateChooserHook([&](QWidget*) { ++calls; });
        dialog_->SetSingleFileHook([&](QWidget*) { ++calls; });
        QTest::mouseClick(dialog_->TemplatesButton(), Qt::LeftButton);
        QTest::mouseClick(dialog_->SingleFileButton(), Qt::LeftButton);
        QCOMPARE(calls, 0);
    }

    void F1OpensTheAboutBox() {
        Open();
        bool seen = false;
        QString title;
        WhenVisible<AboutDialog>(
            dialog_.get(),
            [&](AboutDialog& about) {
                title = about.windowTitle();
                about.accept();
            },
            &seen);
        QTest::keyClick(dialog_.get(), Qt::Key_F1);
        QVERIFY(seen);
        QCOMPARE(title, QString::fromUtf8("关于 Tarnwick"));
        QVERIFY(dialog_->isVisible());
    }

    void TheContextMenuOffersTheAboutBox() {
        Open();
        bool menuSeen = false;
        bool aboutSeen = false;
        QStringList items;
        WhenVisible<QMenu>(
            nullptr,
            [&](QMenu& menu) {
                for (QAction* action : menu.actions())
                    items << action->text();
                WhenVisible<AboutDialog>(
                    dialog_.get(), [](AboutDialog& about) { about.accept(); }, &aboutSeen);
                QTest::keyClick(&menu, Qt::Key_Down);
                QTest::keyClick(&menu, Qt::Key_Return);
            },
            &menuSeen);
        const QPoint inside = dialog_->rect().center() + QPoint(0, dialog_->height() / 2 - 3);
        QContextMenuEvent event(QContextMenuEvent::Mouse, inside, dialog_->mapToGlobal(inside));
        QApplication::sendEvent(dialog_.get(), &event);
        QVERIFY(menuSeen);
        QCOMPARE(items, QStringList{QString::fromUtf8(kAboutMenuText)});
        QTRY_VERIFY(aboutSeen);
    }

    // With real message boxes: the question belongs to the key dialog, the confirmation to
    // the main dialog, each captioned as its dialog says.
    void RealMessageBoxesOpenOverTheirOwnDialogs() {
        if (!QtUserInterface::PersonCanAnswer())
            QSKIP("message boxes need a platform a person can answer on (run the .xvfb twin)");
        dialog_ = std::make_unique<MainDialog>();
        dialog_->show();
        QVERIFY(QTest::qWaitForWindowExposed(dialog_.get()));
        QStringList boxes;
        bool keyDialogSeen = false;
        WhenVisible<KeyDialog>(
            dialog_.get(),
            [&](KeyDialog& keyDialog) {
                WhenVisible<QMessageBox>(&keyDialog, [&](QMessageBox& question) {
                    boxes << question.windowTitle() + QLatin1Char('|') + question.text() +
                                 QLatin1Char('|') +
                                 question.parentWidget()->metaObject()->className();
                    WhenVisible<QMessageBox>(dialog_.get(), [&](QMessageBox& confirmation) {
                        boxes << confirmation.windowTitle() + QLatin1Char('|') +
                                     confirmation.text() + QLatin1Char('|') +
                                     confirmation.parentWidget()->metaObject()->className();
                        confirmation.button(QMessageBox::Ok)->click();
                    });
                    question.button(QMessageBox::Yes)->click();
                });
                keyDialog.KeyEdit()->setText(QString::fromStdString(ValidKey("5555555")));
                QTest::mouseClick(keyDialog.OkButton(), Qt::LeftButton);
            },
            &keyDialogSeen);
        QTest::mouseClick(dialog_->InstallKeyButton(), Qt::LeftButton);
        QVERIFY(keyDialogSeen);
        const QStringList expected{
            QString::fromStdString(Labelled(keyTexts::kTitle) + "|" +
                                   Labelled(keyTexts::kConfirmReplace) + "|brindlecot::KeyDialog"),
            QString::fromStdString(Labelled(texts::kKeyInstalledCaption) + "|" +
                                   Labelled(texts::kKeyInstalled) + "|brindlecot::MainDialog")};
        QCOMPARE(boxes, expected);
        QVERIFY(FileButtonsEnabled());
    }

    void EscapeClosesTheDialog() {
        Open();
        QTest::keyClick(dialog_.get(), Qt::Key_Escape);
        QVERIFY(!dialog_->isVisible());
        QCOMPARE(dialog_->result(), int(QDialog::Rejected));
    }

    // The catalogue chosen in language/config.ini speaks in every text of the dialog.
    void TheShippedCataloguesGiveSimplifiedOrTraditionalTexts_data() {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("singleFile");
        QTest::newRow("mode 0") << 0 << QString::fromUtf8("批量文件制作与加解密工具")
                                << QString::fromUtf8("单文件加解密");
        QTest::newRow("mode 1") << 1 << QString::fromUtf8("批次檔案製作與加解密工具")
                                << QString::fromUtf8("單一檔案加解密");
    }
    void TheShippedCataloguesGiveSimplifiedOrTraditionalTexts() {
        QFETCH(int, mode);
        QFETCH(QString, title);
        QFETCH(QString, singleFile);
        UseShippedCatalogue(*app_, mode);
        Open();
        QCOMPARE(dialog_->windowTitle(), title);
        QCOMPARE(dialog_->SingleFileButton()->text(), singleFile);
        // Each button's text fits it whole.
        for (QPushButton* button : dialog_->findChildren<QPushButton*>()) {
            QVERIFY2(button->fontMetrics().horizontalAdvance(button->text()) < button->width() - 2,
                     qPrintable(button->text()));
        }
    }
};

}  // namespace brindlecot::testing

QTEST_MAIN(brindlecot::testing::MainDialogTest)
#include "main_dialog_test.moc"
