#include "gui/app/qt_translations.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

#include "tests/support/shipped_catalogue.h"

namespace brindlecot::testing {

class QtTranslationsTest : public QObject {
    Q_OBJECT

private:
    // Chooses the shipped catalogue of `mode` (0 simplified, 1 traditional) and installs
    // Qt's texts for it.
    static bool InstallFor(TempFolder& folder, int mode) {
        UseShippedCatalogue(folder, mode);
        return InstallQtTranslations(*QCoreApplication::instance());
    }

private slots:
    // Qt's own buttons and file dialogs speak the catalogue's Chinese, not English.
    void QtTextsFollowTheCatalogue() {
        TempFolder folder;
        const QString english = QStringLiteral("Save As");

        QVERIFY(InstallFor(folder, 0));
        const QString simplified = QCoreApplication::translate("QFileDialog", "Save As");
        QMessageBox box;
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        const QString yes = box.button(QMessageBox::Yes)->text();

        // The translator installed last is asked first.
        QVERIFY(InstallFor(folder, 1));
        const QString traditional = QCoreApplication::translate("QFileDialog", "Save As");

        qInfo("Save As: %s / %s; Yes: %s", qPrintable(simplified), qPrintable(traditional),
              qPrintable(yes));
        QVERIFY(simplified != english);
        QVERIFY(traditional != english);
        QVERIFY(simplified != traditional);
        QVERIFY(!yes.contains(QStringLiteral("Yes")));
    }
};

}  // namespace brindlecot::testing

QTEST_MAIN(brindlecot::testing::QtTranslationsTest)
#include "qt_translations_test.moc"
