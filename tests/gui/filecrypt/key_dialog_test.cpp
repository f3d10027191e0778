#include "gui/filecrypt/key_dialog.h"
#include "base/app_path.h"
#include "base/catalogue/dialog_crypt_key_keys.h"
#include "base/gbk_text.h"
#include "base/message_catalogue.h"
#include "filecrypt/installed_key.h"
#include "filecrypt/key_rules.h"
#include "tests/filecrypt/filecrypt_test_support.h"
#include "tests/support/shipped_catalogue.h"
#include "tests/support/valid_key.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <filesystem>
#include <memory>

namespace brindlecot::testing {
namespace {

namespace texts = catalogue::DialogCryptKey;
using Kind = ScriptedUserInterface::Kind;

QString LabelledText(CatalogueKey key) {
    return QString::fromStdString(Labelled(key));
}

}  // namespace

class KeyDialogTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TempFolder> app_;
    std::unique_ptr<ScriptedUserInterface> ui_;
    std::unique_ptr<KeyDialog> dialog_;

    // The dialog on screen and active, as the person sees it.
    void Open() {
        dialog_ = std::make_unique<KeyDialog>(*ui_);
        dialog_->show();
        dialog_->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(dialog_.get()));
    }

    void PressOkWith(const QString& entry) {
        dialog_->KeyEdit()->setText(entry);
        QTest::mouseClick(dialog_->OkButton(), Qt::LeftButton);
    }

    // Still open, nothing accepted, the focus back in the edit box.
    void VerifyStillAsking() {
        QVERIFY(dialog_->isVisible());
        QVERIFY(dialog_->AcceptedKey().empty());
        QCOMPARE(QApplication::focusWidget(), dialog_->KeyEdit());
    }

private slots:
    void init() {
        app_ = std::make_unique<TempFolder>();
        app_->Write("language/msgSimChi.ini", LabelledCatalogue());
        SetAppFolder(app_->path().string());
        SelectMessageCatalogue();
        ui_ = std::make_unique<ScriptedUserInterface>();
    }

    void cleanup() {
        dialog_.reset();
        ui_.reset();
        app_.reset();
    }

    void OpensWithTheCatalogueTextsAndTheFocusInTheEditBox() {
        Open();
        QCOMPARE(dialog_->windowTitle(), LabelledText(texts::kTitle));
        QCOMPARE(dialog_->OkButton()->text(), LabelledText(texts::kOkButton));
        QCOMPARE(dialog_->CancelButton()->text(), LabelledText(texts::kCancelButton));
        QCOMPARE(QApplication::focusWidget(), dialog_->KeyEdit());
        QCOMPARE(dialog_->KeyEdit()->maxLength(), 48);
        QVERIFY(!dialog_->windowIcon().isNull());
    }

    // The prompt is drawn, not a label: ink in the band above the box, ending at least two
    // pixels above it.
    void ThePromptIsPaintedAboveTheEditBox() {
        Open();
        const QImage image = dialog_->grab().toImage();
        const QRect box = dialog_->KeyEdit()->geometry();
        const int lineHeight = dialog_->fontMetrics().height();
        const int textWidth =
            dialog_->fontMetrics().horizontalAdvance(LabelledText(texts::kPrompt));
        int inked = 0;
        int lowestInkedRow = -1;
        for (int y = box.top() - lineHeight - 4; y < box.top(); ++y) {
            for (int x = box.left(); x < box.left() + textWidth; ++x) {
                if (qGray(image.pixel(x, y)) < 110) {
                    ++inked;
                    lowestInkedRow = std::max(lowestInkedRow, y);
                }
            }
        }
        QVERIFY2(inked > 30, qPrintable(QString::number(inked)));
        QVERIFY2(lowestInkedRow <= box.top() - 3, qPrintable(QString::number(lowestInkedRow)));
        // Nothing is drawn left of the box's edge.
        for (int y = box.top() - lineHeight; y < box.top(); ++y) {
            for (int x = 0; x < box.left() - 1; ++x)
                QVERIFY(qGray(image.pixel(x, y)) >= 110);
        }
    }

    // Each refusal names the first rule the entry breaks: emptiness, then the length
    // (even for hexadecimal digits, or with a bad character inside), then the characters,
    // then the check digit.
    void RefusesInTheRulesOrderAndKeepsAsking_data() {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("message");
        const std::string valid = ValidKey("1234567");
        const char wrongDigit = valid.back() == '0' ? '1' : '0';
        QTest::newRow("empty") << QString() << LabelledText(texts::kKeyEmpty);
        QTest::newRow("seven hex digits")
            << "1234567" << LabelledText(texts::kKeyNotEightCharacters);
        QTest::newRow("nine hex digits")
            << "123456789" << LabelledText(texts::kKeyNotEightCharacters);
        QTest::newRow("seven with a bad one")
            << "12345G6" << LabelledText(texts::kKeyNotEightCharacters);
        QTest::newRow("eight blanks") << "        " << LabelledText(texts::kKeyNotHex);
        QTest::newRow("a non-hex letter") << "1234567G" << LabelledText(texts::kKeyNotHex);
        QTest::newRow("a Chinese character")
            << QString::fromUtf8("123456密") << LabelledText(texts::kKeyNotHex);
        QTest::newRow("wrong check digit")
            << QString::fromStdString(valid.substr(0, 7) + wrongDigit)
            << LabelledText(texts::kCheckDigitWrong);
    }
    void RefusesInTheRulesOrderAndKeepsAsking() {
        QFETCH(QString, entry);
        QFETCH(QString, message);
        Open();
        PressOkWith(entry);
        const std::vector<ScriptedUserInterface::Event> expected{
            {Kind::Message, Labelled(texts::kTitle), message.toStdString()}};
        QCOMPARE(ui_->events, expected);
        VerifyStillAsking();
    }

    void NoToTheQuestionKeepsTheDialogOpen() {
        ui_->answers = {false};
        Open();
        PressOkWith(QString::fromStdString(ValidKey("0000000")));
        const std::vector<ScriptedUserInterface::Event> expected{
            Question(texts::kTitle, texts::kConfirmReplace)};
        QCOMPARE(ui_->events, expected);
        VerifyStillAsking();
        // And the person can still go on: Yes this time.
        ui_->answers = {true};
        QTest::mouseClick(dialog_->OkButton(), Qt::LeftButton);
        QCOMPARE(dialog_->result(), int(QDialog::Accepted));
    }

    // Worked by hand from the check-digit steps: seven zeros leave p = 8, so 17 - 8 = 9.
    void YesAcceptsTheKeyInUpperCaseWithoutInstallingIt() {
        ui_->answers = {true};
        Open();
        PressOkWith(QStringLiteral("00000009"));
        QCOMPARE(dialog_->result(), int(QDialog::Accepted));
        QVERIFY(!dialog_->isVisible());
        QCOMPARE(dialog_->AcceptedKey(), std::string("00000009"));

        ui_->events.clear();
        ui_->answers = {true};
        Open();
        const std::string key = ValidKey("ABCDEF1");
        PressOkWith(QString::fromStdString(key).toLower());
        QCOMPARE(dialog_->AcceptedKey(), key);
        // The dialog only answers; installing is its caller's business.
        QVERIFY(!std::filesystem::exists(*app_ / "keyConf"));
    }

    void EnterInTheEditBoxPressesOk() {
        Open();
        QTest::keyClick(dialog_->KeyEdit(), Qt::Key_Return);
        QCOMPARE(ui_->Texts(), std::vector<std::string>{Labelled(texts::kKeyEmpty)});
        VerifyStillAsking();
    }

    void CancelEndsWithoutAKeyOrAQuestion() {
        Open();
        dialog_->KeyEdit()->setText(QString::fromStdString(ValidKey("7654321")));
        QTest::mouseClick(dialog_->CancelButton(), Qt::LeftButton);
        QCOMPARE(dialog_->result(), int(QDialog::Rejected));
        QVERIFY(dialog_->AcceptedKey().empty());
        QVERIFY(ui_->events.empty());
    }

    // The shipped texts are whole where they are shown: the prompt within the dialog,
    // the button texts within their buttons.
    void TheShippedTextsFit_data() {
        QTest::addColumn<int>("mode");
        QTest::newRow("simplified") << 0;
        QTest::newRow("traditional") << 1;
    }
    void TheShippedTextsFit() {
        QFETCH(int, mode);
        UseShippedCatalogue(*app_, mode);
        Open();
        const QFontMetrics metrics = dialog_->fontMetrics();
        const QString prompt =
            QString::fromStdString(GbkToUtf8ForDisplay(LoadMessage(texts::kPrompt)));
        QVERIFY(!prompt.isEmpty());
        QVERIFY(dialog_->KeyEdit()->x() + metrics.horizontalAdvance(prompt) < dialog_->width());
        for (QPushButton* button : {dialog_->OkButton(), dialog_->CancelButton()}) {
            QVERIFY(!button->text().isEmpty());
            QVERIFY(metrics.horizontalAdvance(button->text()) < button->width() - 4);
        }
    }

    void EscapeCancelsToo() {
        Open();
        dialog_->KeyEdit()->setText(QString::fromStdString(ValidKey("7654321")));
        QTest::keyClick(dialog_->KeyEdit(), Qt::Key_Escape);
        QCOMPARE(dialog_->result(), int(QDialog::Rejected));
        QVERIFY(ui_->events.empty());
    }
};

}  // namespace brindlecot::testing

QTEST_MAIN(brindlecot::testing::KeyDialogTest)
#include "key_dialog_test.moc"
