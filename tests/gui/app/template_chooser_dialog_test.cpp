#include "gui/app/template_chooser_dialog.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QPointer>
#include <QPushButton>
#include <QTest>

#include <array>
#include <filesystem>
#include <memory>
#include <string>

#include "base/app_path.h"
#include "base/catalogue/dialog_oper_select_keys.h"
#include "base/message_catalogue.h"
#include "gui/editor/template_editor_dialog.h"
#include "tests/support/gbk_literal.h"
#include "tests/support/scripted_user_interface.h"
#include "tests/support/test_files.h"

namespace brindlecot {
namespace {

namespace fs = std::filesystem;
namespace texts = catalogue::DialogOperSelect;
using testing::Gbk;

const char kTemplate[] =
    "$mode\ntypeLens=10\nin=txt\nout=txt\ninNeedDescrypt=false\noutNeedEncrypt=false\n"
    "needFill=false\nsplite=\"|\"\nstatistics=1|sum|0|yuan\n$tableItem\n"
    "[name] index=1 value= type=10\"X\" visible=true isRequisite=true\n$End\n";

// The program's folder with the shipped catalogues and the given templates in conf/, and
// a chooser over it whose editors are the real editor windows.
class ChooserFixture {
public:
    explicit ChooserFixture(std::initializer_list<std::string> files = {"a.cfg"}) {
        fs::create_directories(folder.path() / "conf");
        fs::copy(fs::path(BRINDLECOT_SOURCE_DIR) / "dist" / "language", folder.path() / "language",
                 fs::copy_options::recursive);
        for (const std::string& file : files)
            folder.Write("conf/" + file, kTemplate);
        SetAppFolder(folder.path().string());
        SelectMessageCatalogue();
    }

    void Show() {
        chooser = std::make_unique<TemplateChooserDialog>(
            [this](QWidget* owner, const std::string& path, const std::string& caption,
                   std::function<void()> closeRequest) {
                ++opened;
                return OpenTemplateEditorWindow(ui, owner, path, caption, std::move(closeRequest));
            },
            &ui);
        chooser->show();
    }
    QStringList Entries() const {
        QStringList entries;
        for (int i = 0; i < chooser->TemplateList()->count(); ++i)
            entries << chooser->TemplateList()->itemText(i);
        return entries;
    }
    auto* EditorWindow() const { return qobject_cast<TemplateEditorDialog*>(chooser->Editor()); }

    testing::TempFolder folder;
    testing::ScriptedUserInterface ui;
    std::unique_ptr<TemplateChooserDialog> chooser;
    int opened = 0;
};

class TemplateChooserDialogTest : public QObject {
    Q_OBJECT

private slots:
    void ListsOnlyFilesEndingInLowerCaseCfg() {
        ChooserFixture fixture({"a.cfg", "B.cfg", "c.txt", "e.CFG"});
        fs::create_directories(fixture.folder.path() / "conf" / "d.cfg");
        fixture.Show();
        QCOMPARE(fixture.Entries(), (QStringList{QStringLiteral("a"), QStringLiteral("B")}));
        QCOMPARE(fixture.chooser->TemplateList()->currentIndex(), 0);
        QCOMPARE(fixture.chooser->windowTitle(),
                 QString::fromStdString(GbkToUtf8ForDisplay(LoadMessage(texts::kTitle))));
    }

    void SortsChineseNamesAndWidensTheDropDownForTheLongest() {
        ChooserFixture fixture({"\u8d39\u7528.cfg", "\u4ee3\u53d1\u5de5\u8d44.cfg", "zz.cfg"});
        fixture.Show();
        // By GBK bytes: Latin letters first, then 代发工资 before 费用 (pinyin dai, fei),
        // although their UTF-8 bytes order them the other way.
        QCOMPARE(fixture.Entries(),
                 (QStringList{QStringLiteral("zz"), QString::fromUtf8("代发工资"),
                              QString::fromUtf8("费用")}));
        QCOMPARE(fixture.chooser->TemplateList()->view()->minimumWidth(), 8 * 8);
    }

    void AnEmptyFolderListsNothingAndOkSaysSo() {
        ChooserFixture fixture({});
        fixture.Show();
        QCOMPARE(fixture.chooser->TemplateList()->count(), 0);
        QTest::mouseClick(fixture.chooser->OkButton(), Qt::LeftButton);
        QCOMPARE(fixture.ui.Texts(),
                 std::vector<std::string>{LoadMessage(texts::kNoTemplateChosen)});
        QCOMPARE(fixture.ui.Messages()[0].caption, LoadMessage(texts::kTitle));
        QCOMPARE(fixture.opened, 0);
    }

    void AFileGoneSinceListingIsReported() {
        ChooserFixture fixture;
        fixture.Show();
        fs::remove(fixture.folder.path() / "conf" / "a.cfg");
        fixture.chooser->OpenChosen();
        QCOMPARE(fixture.ui.Texts(),
                 std::vector<std::string>{LoadMessage(texts::kTemplateFileMissing)});
        QCOMPARE(fixture.opened, 0);
    }

    void OneEditorAtATimeAndAnotherAfterItClosed() {
        ChooserFixture fixture;
        fixture.Show();
        fixture.chooser->OpenChosen();
        TemplateEditorDialog* first = fixture.EditorWindow();
        QVERIFY(first != nullptr);
        QVERIFY(first->isVisible());
        QCOMPARE(first->windowTitle(), QStringLiteral("a"));

        fixture.chooser->OpenChosen();
        QCOMPARE(fixture.ui.Texts(),
                 std::vector<std::string>{LoadMessage(texts::kEditorStillOpen)});
        QCOMPARE(fixture.opened, 1);

        // Leaving the editor: the chooser forgets it only when its request arrives.
        QPointer<TemplateEditorDialog> gone(first);
        QTest::mouseClick(first->ReturnButton(), Qt::LeftButton);
        QCOMPARE(fixture.chooser->Editor(), first);
        QCoreApplication::processEvents();
        QCOMPARE(fixture.chooser->Editor(), nullptr);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(gone.isNull());

        fixture.chooser->OpenChosen();
        QVERIFY(fixture.EditorWindow() != nullptr);
        QCOMPARE(fixture.opened, 2);
        QVERIFY(fixture.chooser->isVisible());
    }

    void ReturnClosesTheEditorAndTheChooser() {
        ChooserFixture fixture;
        fixture.Show();
        fixture.chooser->OpenChosen();
        QPointer<QWidget> editor(fixture.chooser->Editor());
        QVERIFY(editor);
        QTest::mouseClick(fixture.chooser->ReturnButton(), Qt::LeftButton);
        QVERIFY(!fixture.chooser->isVisible());
        QCOMPARE(fixture.chooser->result(), int(QDialog::Rejected));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(editor.isNull());
    }

    // The editor reads and writes batches from a nested event loop; Return meanwhile
    // would destroy the window that loop returns to.
    void ReturnWaitsWhileTheEditorWritesABatch() {
        ChooserFixture fixture;
        fixture.Show();
        fixture.chooser->OpenChosen();
        QPointer<TemplateEditorDialog> editor(fixture.EditorWindow());
        QVERIFY(editor);
        const std::array<std::string, 1> cells{"someone"};
        editor->Editor().Records().AppendRow(cells);
        fixture.ui.fileToSave = (fixture.folder.path() / "out.txt").string();
        bool pressedWhileRunning = false;
        // The "done" message is shown while the worker waits for it, the task still running.
        fixture.ui.onEvent = [&](const testing::ScriptedUserInterface::Event& event) {
            if (event.kind != testing::ScriptedUserInterface::Kind::Message)
                return;
            pressedWhileRunning = editor->Task()->IsRunning();
            QTest::mouseClick(fixture.chooser->ReturnButton(), Qt::LeftButton);
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        };
        editor->Export();
        fixture.ui.onEvent = nullptr;
        QVERIFY(pressedWhileRunning);
        QVERIFY(editor);
        QVERIFY(fixture.chooser->isVisible());

        QTest::mouseClick(fixture.chooser->ReturnButton(), Qt::LeftButton);
        QVERIFY(!fixture.chooser->isVisible());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(editor.isNull());
    }

    void DestroyingTheChooserClosesTheEditor() {
        ChooserFixture fixture;
        fixture.Show();
        fixture.chooser->OpenChosen();
        QPointer<QWidget> editor(fixture.chooser->Editor());
        fixture.chooser.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(editor.isNull());
    }

    void ATemplateThatDoesNotLoadOpensNothing() {
        ChooserFixture fixture;
        fixture.folder.Write("conf/a.cfg", "$mode\ntypeLens=\n");
        fixture.Show();
        fixture.chooser->OpenChosen();
        QCOMPARE(fixture.opened, 1);
        QCOMPARE(fixture.chooser->Editor(), nullptr);
        QCOMPARE(fixture.ui.Messages().size(), std::size_t{1});  // the loader's own
        QVERIFY(fixture.chooser->isVisible());
    }
};

}  // namespace
}  // namespace brindlecot

QTEST_MAIN(brindlecot::TemplateChooserDialogTest)
#include "template_chooser_dialog_test.moc"
