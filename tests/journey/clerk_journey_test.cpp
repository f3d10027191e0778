// A clerk's day through the real windows, on the shipped templates and the real library:
// install a key, open a template, type rows, correct an error row, export the batch and
// seal it in the single-file dialog. Only the person is scripted (file choices and
// answers); every dialog, button and cell edit is the program's own.

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "base/app_path.h"
#include "base/catalogue/dialog_model_dlg_keys.h"
#include "base/catalogue/dialog_single_file_crypt_keys.h"
#include "base/crypto_binding.h"
#include "base/message_catalogue.h"
#include "filecrypt/installed_key.h"
#include "filecrypt/installed_key_crypt.h"
#include "filecrypt/key_file_cipher.h"
#include "gui/app/main_dialog.h"
#include "gui/app/template_chooser_dialog.h"
#include "gui/editor/template_editor_dialog.h"
#include "gui/filecrypt/key_dialog.h"
#include "gui/filecrypt/single_file_dialog.h"
#include "template/field_rules.h"
#include "tests/support/gbk_literal.h"
#include "tests/support/modal_dialogs.h"
#include "tests/support/scripted_user_interface.h"
#include "tests/support/test_files.h"
#include "tests/support/typing.h"
#include "tests/support/valid_key.h"

namespace brindlecot::testing {
namespace {

namespace fs = std::filesystem;
namespace editorTexts = catalogue::DialogModelDlg;
namespace singleFileTexts = catalogue::DialogSingleFileCrypt;

// Runs `step` and then `close`, whatever `step` found: a modal dialog left open would
// hold the test until it times out.
void ThenClose(const std::function<void()>& step, const std::function<void()>& close) {
    step();
    close();
}

class ClerkJourneyTest : public QObject {
    Q_OBJECT

private:
    TempFolder folder_;
    ScriptedUserInterface ui_;

    std::string Work(const std::string& name) const { return (folder_ / "work" / name).string(); }

    // Double-clicks the cell, types `text` and presses Enter, as a clerk does.
    static void TypeIntoCell(TemplateEditorDialog& editor, int row, int column,
                             const QString& text) {
        controls::RecordGrid* grid = editor.Grid();
        const QModelIndex index = grid->model()->index(row, column);
        grid->scrollTo(index);
        const QPoint centre = grid->visualRect(index).center();
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, centre);
        QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, centre);
        QLineEdit* box = grid->CurrentEdit();
        if (box == nullptr)
            return;
        box->selectAll();
        TypeText(box, text);
        QTest::keyClick(box, Qt::Key_Return);
        QCoreApplication::processEvents();
    }

private slots:
    void initTestCase() {
        const fs::path stage(BRINDLECOT_STAGE_DIR);
        fs::create_directories(folder_ / "work");
        fs::copy(stage / "conf", folder_ / "conf", fs::copy_options::recursive);
        fs::copy(stage / "language", folder_ / "language", fs::copy_options::recursive);
        fs::create_directories(folder_ / "driver");
        fs::create_symlink(stage / "driver" / "libKestrelvane.so",
                           folder_ / "driver" / "libKestrelvane.so");
        SetAppFolder(folder_.path().string());
        SelectMessageCatalogue();
        QVERIFY(BindCryptoLibrary());
        PrepareKeyFileCipher();
        CurrentInstalledKey().Clear();
    }

    void FromKeyToSealedBatchThroughTheWindows() {
        MainDialog main(&ui_);
        main.SetTemplateChooserHook([this](QWidget* parent) {
            TemplateChooserDialog chooser(
                [this](QWidget* owner, const std::string& path, const std::string& caption,
                       std::function<void()> closeRequest) {
                    return OpenTemplateEditorWindow(ui_, owner, path, caption,
                                                    std::move(closeRequest));
                },
                &ui_, parent);
            chooser.exec();
        });
        main.show();
        main.activateWindow();
        // Wayland lets no client activate its own window: there, being shown is enough.
        if (QGuiApplication::platformName() == QStringLiteral("wayland"))
            QVERIFY(QTest::qWaitForWindowExposed(&main));
        else
            QVERIFY(QTest::qWaitForWindowActive(&main));
        QVERIFY(!main.TemplatesButton()->isEnabled());

        // 1. The key, typed into the key dialog.
        const std::string key = ValidKey("2024120");
        bool seen = false;
        WhenVisible<KeyDialog>(
            &main,
            [&](KeyDialog& dialog) {
                dialog.KeyEdit()->setText(QString::fromStdString(key));
                QTest::mouseClick(dialog.OkButton(), Qt::LeftButton);
            },
            &seen);
        QTest::mouseClick(main.InstallKeyButton(), Qt::LeftButton);
        QVERIFY(seen);
        QVERIFY(main.TemplatesButton()->isEnabled());
        QVERIFY(main.SingleFileButton()->isEnabled());
        const std::size_t messagesAfterKey = ui_.Messages().size();

        // 2. A shipped template, rows typed, an error row corrected, the batch exported.
        struct EditorFindings {
            bool opened = false;
            int rowsAfterTyping = -1;
            bool refusedValueKeptOut = false;
            bool errorRowMarked = false;
            bool errorRowCorrected = false;
            QString statistics;
            QString preview;
        } found;
        ui_.fileToSave = Work("batch");
        WhenVisible<TemplateChooserDialog>(
            &main,
            [&](TemplateChooserDialog& chooser) {
                ThenClose(
                    [&] {
                        chooser.TemplateList()->setCurrentIndex(
                            chooser.TemplateList()->findText(QString::fromUtf8("批量转账")));
                        QTest::mouseClick(chooser.OkButton(), Qt::LeftButton);
                        auto* editor = qobject_cast<TemplateEditorDialog*>(chooser.Editor());
                        found.opened = editor != nullptr;
                        if (editor == nullptr)
                            return;
                        QTest::mouseClick(editor->AddButton(), Qt::LeftButton);
                        TypeIntoCell(*editor, 0, 1, QStringLiteral("6222000011112222"));
                        TypeIntoCell(*editor, 0, 2, QString::fromUtf8("张三"));
                        TypeIntoCell(*editor, 0, 3, QStringLiteral("1234.5"));
                        TypeIntoCell(*editor, 0, 4, QString::fromUtf8("工商银行"));
                        TypeIntoCell(*editor, 0, 5, QString::fromUtf8("工资"));

                        QTest::mouseClick(editor->AddButton(), Qt::LeftButton);
                        TypeIntoCell(*editor, 1, 1, QStringLiteral("62220000abc"));
                        const RecordTable& records = editor->Editor().Records();
                        found.refusedValueKeptOut = records.Cell(1, 1).empty();
                        found.errorRowMarked =
                            records.IsErrorRow(1) && !editor->ErrorCountLabel()->text().isEmpty();
                        TypeIntoCell(*editor, 1, 1, QStringLiteral("6222000011113333"));
                        TypeIntoCell(*editor, 1, 2, QString::fromUtf8("李四"));
                        TypeIntoCell(*editor, 1, 3, QStringLiteral("88"));
                        found.errorRowCorrected =
                            !records.IsErrorRow(1) && editor->ErrorCountLabel()->text().isEmpty();
                        found.rowsAfterTyping = records.RowCount();
                        found.statistics = editor->StatisticsBox()->toPlainText();
                        found.preview = editor->PreviewLine()->text();

                        editor->OperationsMenu()->actions().at(1)->trigger();
                        QTest::mouseClick(editor->ReturnButton(), Qt::LeftButton);
                        QCoreApplication::processEvents();
                    },
                    [&] { QTest::mouseClick(chooser.ReturnButton(), Qt::LeftButton); });
            },
            &seen);
        QTest::mouseClick(main.TemplatesButton(), Qt::LeftButton);
        QVERIFY(seen);
        QVERIFY(found.opened);
        QCOMPARE(found.rowsAfterTyping, 2);
        QVERIFY(found.refusedValueKeptOut);
        QVERIFY(found.errorRowMarked);
        QVERIFY(found.errorRowCorrected);
        QVERIFY(found.statistics.contains(QStringLiteral("1,322.50")));
        QCOMPARE(found.preview, QString::fromUtf8("6222000011113333|李四|88.00||"));

        const std::string expected =
            Gbk("6222000011112222|张三|1234.50|工商银行|工资\r\n6222000011113333|李四|88.00||\r\n");
        QCOMPARE(ReadFileBytes(Work("batch.txt")), expected);
        // The refused account and the export's "done", nothing else.
        const auto shown = ui_.Texts();
        QCOMPARE(shown.size(), messagesAfterKey + 2);
        QCOMPARE(shown.back(), LoadMessage(editorTexts::kExportDone));

        // 3. The batch sealed in the single-file dialog, for the bank.
        ui_.filesToOpen.push_back(Work("batch.txt"));
        ui_.filesToSave.push_back(Work("batch.sealed"));
        WhenVisible<SingleFileDialog>(
            &main,
            [&](SingleFileDialog& dialog) {
                ThenClose(
                    [&] {
                        QTest::mouseClick(dialog.InputBrowseButton(), Qt::LeftButton);
                        QTest::mouseClick(dialog.OutputBrowseButton(), Qt::LeftButton);
                        QTest::mouseClick(dialog.EncryptButton(), Qt::LeftButton);
                    },
                    [&] { QTest::mouseClick(dialog.ReturnButton(), Qt::LeftButton); });
            },
            &seen);
        QTest::mouseClick(main.SingleFileButton(), Qt::LeftButton);
        QVERIFY(seen);
        QCOMPARE(ui_.Texts().back(), LoadMessage(singleFileTexts::kSealDone));

        // The bank opens it with the same key to the very bytes exported.
        QVERIFY(fs::exists(Work("batch.sealed")));
        QVERIFY(ReadFileBytes(Work("batch.sealed")) != expected);
        QCOMPARE(CryptWithInstalledKey(kCryptModeOpen, Work("batch.sealed"), Work("opened.txt")),
                 0);
        QCOMPARE(ReadFileBytes(Work("opened.txt")), expected);
    }
};

}  // namespace
}  // namespace brindlecot::testing

QTEST_MAIN(brindlecot::testing::ClerkJourneyTest)
#include "clerk_journey_test.moc"
