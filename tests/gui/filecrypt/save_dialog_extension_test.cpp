#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "base/app_path.h"
#include "gui/app/file_filter.h"
#include "gui/app/qt_user_interface.h"
#include "gui/app/single_file_hook.h"
#include "tests/support/modal_dialogs.h"
#include "tests/support/test_files.h"

namespace brindlecot {
namespace {

// The single-file dialog's output filter as the shipped catalogue has it, in Qt's form.
const QStringList kOutputTypes = {QStringLiteral("所有文件 (*.*)"),
                                  QStringLiteral("文本文件 (*.txt)"),
                                  QStringLiteral("Excel 工作簿 (*.xls)")};

// Drives the dialog as a person does: picks a type with the keyboard, types a name,
// presses Save.
class SaveDialogDriver {
public:
    explicit SaveDialogDriver(CFileDlgRe& dialog) : dialog_(dialog) {}

    void SelectType(int index) {
        dialog_.show();
        auto* types = dialog_.findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
        QVERIFY(types != nullptr);
        types->setFocus();
        while (types->currentIndex() < index)
            QTest::keyClick(types, Qt::Key_Down);
        while (types->currentIndex() > index)
            QTest::keyClick(types, Qt::Key_Up);
    }

    // The path the dialog answers for a typed name, or nothing when it stayed open.
    QString Save(const QString& typedName) {
        dialog_.show();
        auto* name = dialog_.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        if (name == nullptr)
            return QStringLiteral("(no name box)");
        name->setText(typedName);
        QTest::keyClick(name, Qt::Key_Return);
        if (dialog_.result() != QDialog::Accepted)
            return {};
        const QStringList files = dialog_.selectedFiles();
        dialog_.setResult(QDialog::Rejected);
        return files.isEmpty() ? QString() : QFileInfo(files.first()).fileName();
    }

private:
    CFileDlgRe& dialog_;
};

}  // namespace

class SaveDialogExtensionTest : public QObject {
    Q_OBJECT

private slots:
    void TheRuleGoesByTheTypesPlaceNotItsPattern() {
        QCOMPARE(ExtensionAfterTypeChange(0), std::optional<std::string>(""));
        QCOMPARE(ExtensionAfterTypeChange(1), std::optional<std::string>("txt"));
        QCOMPARE(ExtensionAfterTypeChange(2), std::optional<std::string>("xls"));
        QCOMPARE(ExtensionAfterTypeChange(3), std::nullopt);
        QCOMPARE(ExtensionAfterTypeChange(-1), std::nullopt);
    }

    void ATypedNameGetsTheExtensionOfTheSelectedType() {
        testing::TempFolder folder;
        CFileDlgRe dialog(nullptr, kOutputTypes);
        dialog.setDirectory(QString::fromStdString(folder.path().string()));
        dialog.show();
        SaveDialogDriver driver(dialog);

        // Before the first change nothing is added, whatever the first type is.
        QCOMPARE(driver.Save(QStringLiteral("report")), QStringLiteral("report"));
        driver.SelectType(1);
        QCOMPARE(driver.Save(QStringLiteral("report")), QStringLiteral("report.txt"));
        driver.SelectType(2);
        QCOMPARE(driver.Save(QStringLiteral("report")), QStringLiteral("report.xls"));
        // A name that has an extension keeps it.
        QCOMPARE(driver.Save(QStringLiteral("report.dat")), QStringLiteral("report.dat"));
        driver.SelectType(0);
        QCOMPARE(driver.Save(QStringLiteral("report")), QStringLiteral("report"));
    }

    void TypesPastTheThirdKeepThePreviousSettingAndPatternsDoNotCount() {
        testing::TempFolder folder;
        // The third type's pattern is *.txt, the fourth's *.csv: only the places count.
        CFileDlgRe dialog(nullptr, {QStringLiteral("A (*.xls)"), QStringLiteral("B (*.*)"),
                                    QStringLiteral("C (*.txt)"), QStringLiteral("D (*.csv)")});
        dialog.setDirectory(QString::fromStdString(folder.path().string()));
        dialog.show();
        SaveDialogDriver driver(dialog);

        QCOMPARE(driver.Save(QStringLiteral("a")), QStringLiteral("a"));
        driver.SelectType(2);
        QCOMPARE(driver.Save(QStringLiteral("a")), QStringLiteral("a.xls"));
        driver.SelectType(3);
        QCOMPARE(driver.Save(QStringLiteral("a")), QStringLiteral("a.xls"));
        driver.SelectType(1);
        QCOMPARE(driver.Save(QStringLiteral("a")), QStringLiteral("a.txt"));
        driver.SelectType(0);
        QCOMPARE(driver.Save(QStringLiteral("a")), QStringLiteral("a"));
    }

    // The overwrite prompt asks about the name with its extension added, and No keeps
    // the dialog open.
    void ReplacingAnExistingFileIsAskedFirst() {
        testing::TempFolder folder;
        folder.Write("sealed.txt", "old");
        CFileDlgRe dialog(nullptr, kOutputTypes);
        dialog.setDirectory(QString::fromStdString(folder.path().string()));
        dialog.show();
        SaveDialogDriver driver(dialog);
        driver.SelectType(1);

        QString asked;
        auto answer = [&](QMessageBox::StandardButton button) {
            QTimer::singleShot(0, [&asked, button] {
                auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
                QVERIFY(box != nullptr);
                asked = box->text();
                box->button(button)->click();
            });
        };
        answer(QMessageBox::No);
        QCOMPARE(driver.Save(QStringLiteral("sealed")), QString());
        QVERIFY2(asked.contains(QStringLiteral("sealed.txt")), qPrintable(asked));
        QVERIFY(dialog.isVisible());

        answer(QMessageBox::Yes);
        QCOMPARE(driver.Save(QStringLiteral("sealed")), QStringLiteral("sealed.txt"));
    }

    // On a display a person can answer, the program's single-file dialog chooses its
    // output with CFileDlgRe, over the dialog.
    void TheProgramsSingleFileDialogSavesThroughCFileDlgRe() {
        if (!QtUserInterface::PersonCanAnswer())
            QSKIP("needs a platform where dialogs are shown (run under Xvfb)");
        testing::TempFolder app;
        app.Write("conf/filecrypt.config", "");
        SetAppFolder(app.path().string());
        bool sawSaveDialog = false;
        QWidget* saveDialogParent = nullptr;
        QWidget* singleFile = nullptr;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            QWidget* modal = QApplication::activeModalWidget();
            if (auto* save = qobject_cast<QFileDialog*>(modal)) {
                sawSaveDialog = dynamic_cast<CFileDlgRe*>(save) != nullptr;
                saveDialogParent = save->parentWidget();
                save->reject();
            } else if (auto* dialog = qobject_cast<SingleFileDialog*>(modal)) {
                if (singleFile == nullptr) {
                    singleFile = dialog;
                    // Outside this timer's slot, which does not run again while the
                    // file dialog's own loop runs inside it.
                    QTimer::singleShot(0, dialog->OutputBrowseButton(), &QPushButton::click);
                } else {
                    dialog->reject();
                }
            }
        });
        poll.start(50);
        OpenSingleFileDialog(nullptr);
        poll.stop();
        QVERIFY(sawSaveDialog);
        QCOMPARE(saveDialogParent, singleFile);
    }
};

}  // namespace brindlecot

QTEST_MAIN(brindlecot::SaveDialogExtensionTest)
#include "save_dialog_extension_test.moc"
