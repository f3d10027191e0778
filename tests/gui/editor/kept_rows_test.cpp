// What is kept for the clerk in the editor window: drafts sealed within two seconds of a
// change and offered back, the question before unexported rows are thrown away, and undo
// and redo of every kind of change.
#include "gui/editor/template_editor_dialog.h"

#include <QClipboard>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QProcess>
#include <QPushButton>
#include <QUndoStack>

#include <sys/stat.h>

#include <csignal>
#include <fstream>

#include "base/catalogue/dialog_model_dlg_keys.h"
#include "base/crypto_binding.h"
#include "base/message_format.h"
#include "base/scratch_file.h"
#include "commands/record_draft.h"
#include "filecrypt/installed_key.h"
#include "filecrypt/key_file_cipher.h"
#include "filecrypt/key_installation.h"
#include "gui/app/template_chooser_dialog.h"
#include "tests/gui/editor/editor_window.h"
#include "tests/support/typing.h"
#include "tests/support/valid_key.h"

namespace brindlecot {
namespace {

using testing::EditorWindow;
using testing::Gbk;
using testing::TypeText;
namespace keys = catalogue::DialogModelDlg;
namespace fs = std::filesystem;

const char kNameAndAmount[] =
    "[name] index=1 value= type=10\"X\" visible=true isRequisite=true\n"
    "[amount] index=2 value= type=8\"M\" visible=true isRequisite=false\n";

// Typed by the clerk in these tests; looked for on disk afterwards.
const char kTypedName[] = "赵钱孙";
const char kTypedAmount[] = "7788.15";

bool Sanitized() {
#if defined(__SANITIZE_ADDRESS__)
    return true;
#else
    return false;
#endif
}

void InstallKey(EditorWindow& editor, const std::string& prefix = "1234567") {
    editor.folder.Copy(KESTRELVANE_LIBRARY, "driver/libKestrelvane.so");
    QVERIFY(BindCryptoLibrary());
    QCOMPARE(InstallAcceptedKey(testing::ValidKey(prefix)), KeyInstallOutcome::Installed);
}

// Types `text` into cell (row, column) and commits it with Return.
void TypeIntoCell(EditorWindow& editor, int row, int column, const QString& text) {
    editor.DoubleClick(row, column);
    QLineEdit* box = editor.Grid()->CurrentEdit();
    QVERIFY(box != nullptr);
    box->selectAll();
    TypeText(box, text);
    QTest::keyClick(box, Qt::Key_Return);
    QCoreApplication::processEvents();
}

void PasteRows(EditorWindow& editor, int row, int column, const QString& text) {
    QGuiApplication::clipboard()->setText(text);
    editor.Grid()->setCurrentIndex(editor.Grid()->model()->index(row, column));
    editor.window->Paste();
}

std::optional<std::string> PlainDraft(EditorWindow& editor) {
    return OpenDraft(editor.window->DraftPath(), CurrentInstalledKey().Text());
}

// Every cell and error text of the table, and the statistics shown.
struct Snapshot {
    std::vector<std::vector<std::string>> rows;
    QString statistics;
    bool operator==(const Snapshot&) const = default;
};
Snapshot Take(EditorWindow& editor) {
    Snapshot snapshot;
    const RecordTable& table = editor.Table();
    for (int row = 0; row < table.RowCount(); ++row) {
        std::vector<std::string> cells = table.FieldCells(row);
        cells.emplace_back(table.ErrorText(row));
        snapshot.rows.push_back(std::move(cells));
    }
    snapshot.statistics = editor.Statistics();
    return snapshot;
}

int FileMode(const std::string& path) {
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0 ? static_cast<int>(status.st_mode & 07777) : -1;
}

// Files under `folder` whose bytes contain `needle`.
std::vector<std::string> FilesHolding(const fs::path& folder, const std::string& needle) {
    std::vector<std::string> found;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        if (!entry.is_regular_file())
            continue;
        if (testing::ReadFileBytes(entry.path()).find(needle) != std::string::npos)
            found.push_back(entry.path().string());
    }
    return found;
}

class KeptRowsTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { PrepareKeyFileCipher(); }

    void ADraftIsSealedWithinTwoSecondsOfAnEditAndOfAPaste() {
        EditorWindow editor;
        InstallKey(editor);
        QVERIFY(editor.Open(kNameAndAmount, 18));
        QVERIFY(QTest::qWaitForWindowActive(editor.window.get()));
        const std::string draft = editor.window->DraftPath();
        QCOMPARE(
            draft,
            (editor.folder.path() / "home/.local/state/brindlecot/drafts/t.cfg.draft").string());

        editor.window->AddRow();
        QElapsedTimer clock;
        clock.start();
        TypeIntoCell(editor, 0, 1, QString::fromUtf8(kTypedName));
        TypeIntoCell(editor, 0, 2, QString::fromUtf8(kTypedAmount));
        QTRY_VERIFY_WITH_TIMEOUT(PlainDraft(editor) == "t.cfg\r\n" + Gbk(kTypedName) + "\t" +
                                                           std::string(kTypedAmount) + "\r\n",
                                 2000);
        QVERIFY(clock.elapsed() < 2000 + 1000);
        QCOMPARE(FileMode(draft), 0600);
        QCOMPARE(FileMode(fs::path(draft).parent_path().string()), 0700);

        // A paste adds an error row (no name): it is kept as typed, the empty cell too.
        clock.restart();
        PasteRows(editor, 1, 1, QStringLiteral("\t12\r\n"));
        QTRY_VERIFY_WITH_TIMEOUT(PlainDraft(editor) == "t.cfg\r\n" + Gbk(kTypedName) + "\t" +
                                                           std::string(kTypedAmount) +
                                                           "\r\n\t12.00\r\n",
                                 2000);
        editor.window->FlushDraft();

        // Nothing a clerk typed lies anywhere in plain text, in either encoding.
        for (const fs::path& folder : {editor.folder.path()}) {
            for (const std::string& needle :
                 {Gbk(kTypedName), std::string(kTypedName), std::string(kTypedAmount)})
                QCOMPARE(FilesHolding(folder, needle), std::vector<std::string>{});
        }
        // The command-line tool gives the plain draft back.
        QProcess tool;
        tool.setWorkingDirectory(QString::fromStdString(editor.folder.path().string()));
        const std::string opened = (editor.folder.path() / "opened.txt").string();
        editor.folder.Copy(BRINDLECOT_CLI, "brindlecot-cli");
        tool.start(QString::fromStdString((editor.folder.path() / "brindlecot-cli").string()),
                   {QStringLiteral("open"), QString::fromStdString(draft),
                    QString::fromStdString(opened)});
        QVERIFY(tool.waitForFinished(30000));
        QCOMPARE(tool.exitCode(), 0);
        QCOMPARE(testing::ReadFileBytes(opened), *PlainDraft(editor));
    }

    void YesRestoresTheRowsAsTheyWereAndNoDeletesTheDraft() {
        EditorWindow editor;
        InstallKey(editor);
        QVERIFY(editor.Open(kNameAndAmount, 18));
        // Quoting keeps a value with a tab and a leading quote (from a workbook) whole.
        const std::array<std::string, 2> quoted{"\"q\tr", "1.00"};
        editor.Table().AppendRow(quoted);
        editor.window->Editor().RecheckRow(0);
        PasteRows(editor, 1, 1, QString::fromUtf8("张三\t12\r\n\t3\r\n李四\t1.5\r\n"));
        const Snapshot typed = Take(editor);
        QCOMPARE(typed.rows.size(), std::size_t{4});
        editor.window->FlushDraft();
        const std::string draft = editor.window->DraftPath();
        const std::string sealed = testing::ReadFileBytes(draft);

        // Another window on the same template, as after a restart.
        editor.window = std::make_unique<TemplateEditorDialog>(editor.ui);
        editor.window->SetCloseRequest([] {});
        editor.ui.answers = {true};
        editor.ui.events.clear();
        QVERIFY(editor.Open(kNameAndAmount, 18));
        QCOMPARE(editor.ui.Questions().size(), std::size_t{1});
        const std::string question = editor.ui.Questions().front().text;
        QCOMPARE(question, FormatMessage(LoadMessage(keys::kRestoreDraft),
                                         {4LL, std::string_view(DraftTimeText(draft))}));
        // The same cells, error rows (the one without a name) and statistics.
        QCOMPARE(Take(editor), typed);
        QVERIFY(!typed.rows[2][2].empty());
        // The restored rows are not exported: leaving asks.
        QVERIFY(editor.window->HoldsUnexportedRows());

        // No: the draft goes and the window stays empty.
        editor.window->FlushDraft();
        editor.window = std::make_unique<TemplateEditorDialog>(editor.ui);
        editor.window->SetCloseRequest([] {});
        testing::WriteFileBytes(draft, sealed);
        editor.ui.answers = {false};
        QVERIFY(editor.Open(kNameAndAmount, 18));
        QCOMPARE(editor.Table().RowCount(), 0);
        editor.window->FlushDraft();
        QVERIFY(!FileExists(draft));
    }

    void ADraftThatDoesNotOpenIsKeptAsideWithAMessage() {
        EditorWindow editor;
        InstallKey(editor);
        QVERIFY(editor.Open(kNameAndAmount, 18));
        editor.window->AddRow();
        editor.window->FlushDraft();
        const std::string draft = editor.window->DraftPath();
        std::string damaged = testing::ReadFileBytes(draft);
        damaged.resize(damaged.size() - 3);
        editor.window.reset();

        for (const bool otherKey : {false, true}) {
            if (otherKey) {
                // Sealed with the key installed first, opened with another.
                editor.window = std::make_unique<TemplateEditorDialog>(editor.ui);
                editor.window->SetCloseRequest([] {});
                QVERIFY(editor.Open(kNameAndAmount, 18));
                editor.window->AddRow();
                editor.window->FlushDraft();
                editor.window.reset();
                InstallKey(editor, "7654321");
            } else {
                testing::WriteFileBytes(draft, damaged);
            }
            const std::string kept = testing::ReadFileBytes(draft);
            editor.ui.events.clear();
            editor.window = std::make_unique<TemplateEditorDialog>(editor.ui);
            editor.window->SetCloseRequest([] {});
            QVERIFY(editor.Open(kNameAndAmount, 18));
            QCOMPARE(editor.ui.Questions().size(), std::size_t{0});
            QCOMPARE(editor.ui.Messages().size(), std::size_t{1});
            QVERIFY(!FileExists(draft));
            std::vector<fs::path> aside;
            for (const auto& entry : fs::directory_iterator(fs::path(draft).parent_path())) {
                if (entry.path().filename().string().find("unreadable") != std::string::npos)
                    aside.push_back(entry.path());
            }
            QCOMPARE(aside.size(), std::size_t{1});
            QCOMPARE(testing::ReadFileBytes(aside.front()), kept);
            QCOMPARE(editor.ui.Messages().front().text,
                     FormatMessage(LoadMessage(keys::kDraftUnreadable),
                                   {std::string_view(aside.front().string())}));
            fs::remove(aside.front());
            editor.window.reset();
        }
    }

    void EveryWayOutAsksWhileRowsAreUnexportedAndNothingAsksAfterAnExport() {
        EditorWindow editor;
        InstallKey(editor);
        QVERIFY(editor.Open(kNameAndAmount, 18));
        QVERIFY(QTest::qWaitForWindowActive(editor.window.get()));
        editor.window->AddRow();
        TypeIntoCell(editor, 0, 1, QStringLiteral("abc"));
        TypeIntoCell(editor, 0, 2, QStringLiteral("1"));
        const std::string question =
            FormatMessage(LoadMessage(keys::kDiscardUnexportedRows), {1LL});

        // No keeps the window: 返回, Escape, the close box.
        editor.ui.defaultAnswer = false;
        QTest::mouseClick(editor.window->ReturnButton(), Qt::LeftButton);
        QTest::keyClick(editor.window.get(), Qt::Key_Escape);
        editor.window->close();
        QCoreApplication::processEvents();
        QCOMPARE(editor.closeRequests, 0);
        QCOMPARE(editor.ui.Questions().size(), std::size_t{3});
        for (const auto& asked : editor.ui.Questions())
            QCOMPARE(asked.text, question);

        // An import over them asks the same way; No imports nothing.
        editor.ui.events.clear();
        editor.ui.fileToOpen = editor.folder.Write("in.txt", "x|1\r\n");
        editor.window->Import();
        QCOMPARE(editor.ui.Questions().size(), std::size_t{1});
        QCOMPARE(editor.ui.OpenFilters().size(), std::size_t{0});
        QCOMPARE(editor.Table().FieldCells(0), (std::vector<std::string>{"abc", "1.00"}));

        // After an export nothing asks, and the draft is gone.
        editor.window->FlushDraft();
        QVERIFY(FileExists(editor.window->DraftPath()));
        editor.ui.events.clear();
        editor.ui.fileToSave = (editor.folder.path() / "out.txt").string();
        editor.window->Export();
        QCOMPARE(editor.ui.Texts().back(), LoadMessage(keys::kExportDone));
        editor.window->FlushDraft();
        QVERIFY(!FileExists(editor.window->DraftPath()));
        editor.ui.events.clear();
        editor.window->close();
        QCoreApplication::processEvents();
        QCOMPARE(editor.closeRequests, 1);
        QCOMPARE(editor.ui.Questions().size(), std::size_t{0});

        // A change after the export asks again; Yes leaves and deletes the draft.
        TypeIntoCell(editor, 0, 1, QStringLiteral("abd"));
        editor.window->FlushDraft();
        QVERIFY(FileExists(editor.window->DraftPath()));
        editor.ui.defaultAnswer = true;
        QTest::keyClick(editor.window.get(), Qt::Key_Escape);
        QCoreApplication::processEvents();
        QCOMPARE(editor.closeRequests, 2);
        editor.window->FlushDraft();
        QVERIFY(!FileExists(editor.window->DraftPath()));
    }

    void TheChoosersReturnAsksTheEditorFirst() {
        EditorWindow editor;
        InstallKey(editor);
        editor.folder.Write("conf/t.cfg", Gbk("$mode\n" + EditorWindow::DefaultMode(18) +
                                              "\n$tableItem\n" + kNameAndAmount + "$End\n"));
        TemplateEditorDialog* opened = nullptr;
        TemplateChooserDialog chooser(
            [&editor, &opened](QWidget* owner, const std::string& path, const std::string& caption,
                               std::function<void()> closeRequest) {
                auto window = OpenTemplateEditorWindow(editor.ui, owner, path, caption,
                                                       std::move(closeRequest));
                opened = static_cast<TemplateEditorDialog*>(window.get());
                return window;
            },
            &editor.ui);
        chooser.show();
        chooser.OpenChosen();
        QVERIFY(opened != nullptr);
        opened->AddRow();
        editor.ui.events.clear();
        editor.ui.defaultAnswer = false;
        chooser.reject();
        QCOMPARE(editor.ui.Questions().size(), std::size_t{1});
        QVERIFY(chooser.Editor() != nullptr);
        QVERIFY(chooser.isVisible());
        editor.ui.defaultAnswer = true;
        chooser.close();
        QCOMPARE(editor.ui.Questions().size(), std::size_t{2});
        QVERIFY(chooser.Editor() == nullptr);
        QVERIFY(!chooser.isVisible());
    }

    void UndoAndRedoTakeBackEveryKindOfChangeAcrossAnImport() {
        EditorWindow editor;
        QVERIFY(editor.Open(kNameAndAmount, 18));
        QVERIFY(QTest::qWaitForWindowActive(editor.window.get()));
        QWidget* window = editor.window.get();
        auto undo = [window] {
            QTest::keyClick(window, Qt::Key_Z, Qt::ControlModifier);
        };
        auto redo = [window, toggle = false]() mutable {
            // Both shortcuts a clerk knows.
            if ((toggle = !toggle))
                QTest::keyClick(window, Qt::Key_Y, Qt::ControlModifier);
            else
                QTest::keyClick(window, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
        };
        std::vector<Snapshot> states{Take(editor)};
        editor.window->AddRow();  // an error row: the name is required
        states.push_back(Take(editor));
        TypeIntoCell(editor, 0, 1, QStringLiteral("abc"));
        states.push_back(Take(editor));
        TypeIntoCell(editor, 0, 2, QStringLiteral("12"));
        states.push_back(Take(editor));
        PasteRows(editor, 0, 1, QStringLiteral("x\t1\r\ny\t2\r\nz\tbad\r\n"));
        states.push_back(Take(editor));
        editor.Grid()->selectRow(1);
        editor.ui.answers = {true};
        editor.window->DeleteRows();
        states.push_back(Take(editor));
        editor.ui.answers = {true};  // import over unexported rows: yes
        editor.ui.fileToOpen = editor.folder.Write("in.txt", "p|5\r\nq|6\r\n");
        editor.window->Import();
        states.push_back(Take(editor));
        QCOMPARE(editor.Table().RowCount(), 2);
        QCOMPARE(editor.window->UndoStack()->count(), static_cast<int>(states.size()) - 1);
        for (std::size_t at = states.size() - 1; at > 0; --at) {
            undo();
            // Back at the start the count line of no rows stays: the box is empty only
            // until the first change.
            if (at == 1)
                QCOMPARE(Take(editor).rows, states[0].rows);
            else
                QCOMPARE(Take(editor), states[at - 1]);
        }
        QVERIFY(!editor.window->UndoAction()->isEnabled());
        for (std::size_t at = 1; at < states.size(); ++at) {
            redo();
            QCOMPARE(Take(editor), states[at]);
        }
        // The history ends with the window.
        editor.window->Close();
        QCOMPARE(editor.window->UndoStack()->count(), 0);
    }

    // Undo of big steps keeps only the rows they touched: measured, with the figures
    // printed for the record.
    void UndoOfABigPasteAndABigImportIsQuick() {
        EditorWindow editor;
        QVERIFY(editor.Open(kNameAndAmount, 18));
        QString pasted;
        for (int row = 0; row < 10000; ++row)
            pasted += QStringLiteral("name%1\t%2.50\r\n").arg(row).arg(row);
        PasteRows(editor, 0, 1, pasted);
        QCOMPARE(editor.Table().RowCount(), 10000);
        QElapsedTimer clock;
        clock.start();
        editor.window->Undo();
        const double pasteUndo = static_cast<double>(clock.nsecsElapsed()) / 1e6;
        QCOMPARE(editor.Table().RowCount(), 0);
        editor.window->Redo();
        QCOMPARE(editor.Table().RowCount(), 10000);

        std::string lines;
        for (int row = 0; row < 100000; ++row)
            lines += "n" + std::to_string(row) + "|" + std::to_string(row % 977) + ".25\r\n";
        editor.ui.answers = {true};
        editor.ui.fileToOpen = editor.folder.Write("big.txt", lines);
        editor.window->Import();
        QCOMPARE(editor.Table().RowCount(), 100000);
        clock.restart();
        editor.window->Undo();
        const double importUndo = static_cast<double>(clock.nsecsElapsed()) / 1e6;
        QCOMPARE(editor.Table().RowCount(), 10000);
        QCOMPARE(editor.Table().FieldCells(9999),
                 (std::vector<std::string>{"name9999", "9999.50"}));
        clock.restart();
        editor.window->Redo();
        const double importRedo = static_cast<double>(clock.nsecsElapsed()) / 1e6;
        QCOMPARE(editor.Table().RowCount(), 100000);
        qInfo(
            "undo of a 10,000-row paste: %.1f ms; undo of a 100,000-row import: %.1f ms, "
            "redo %.1f ms",
            pasteUndo, importUndo, importRedo);
        if (!Sanitized()) {
            QVERIFY(pasteUndo < 500);
            QVERIFY(importUndo < 500);
        }
    }

    // The program killed outright: a child process holds an editor with typed rows until
    // its draft is written, then gets SIGKILL; a new window offers the rows back.
    void AKilledProgramsRowsComeBack() {
        if (qEnvironmentVariableIsSet("BRINDLECOT_DRAFT_CHILD"))
            QSKIP("the child's own run");
        EditorWindow editor;
        InstallKey(editor);
        QProcess child;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("BRINDLECOT_DRAFT_CHILD"),
                           QString::fromStdString(editor.folder.path().string()));
        child.setProcessEnvironment(environment);
        child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("ChildTypesRows")});
        QVERIFY(child.waitForStarted());
        QByteArray said;
        QTRY_VERIFY_WITH_TIMEOUT((said += child.readAllStandardOutput()).contains("typed\n") ||
                                     child.state() != QProcess::Running,
                                 30000);
        QCOMPARE(child.state(), QProcess::Running);
        ::kill(static_cast<pid_t>(child.processId()), SIGKILL);
        QVERIFY(child.waitForFinished(10000));

        editor.ui.answers = {true};
        QVERIFY(editor.Open(kNameAndAmount, 18));
        QCOMPARE(editor.Table().RowCount(), 2);
        QCOMPARE(editor.Table().FieldCells(0),
                 (std::vector<std::string>{Gbk(kTypedName), kTypedAmount}));
        QCOMPARE(editor.Table().FieldCells(1), (std::vector<std::string>{"", "3.00"}));
        QVERIFY(editor.Table().IsErrorRow(1));
        // As the same rows typed into a window of their own: cells, errors, statistics.
        EditorWindow typed;
        QVERIFY(typed.Open(kNameAndAmount, 18));
        PasteRows(typed, 0, 1, QString::fromUtf8(kTypedName) + "\t" + kTypedAmount + "\r\n\t3\r\n");
        QCOMPARE(Take(editor), Take(typed));
    }

    // Run by AKilledProgramsRowsComeBack in a process of its own.
    void ChildTypesRows() {
        const QByteArray home = qgetenv("BRINDLECOT_DRAFT_CHILD");
        if (home.isEmpty())
            QSKIP("only as a child of AKilledProgramsRowsComeBack");
        EditorWindow editor;
        editor.folder.Copy(fs::path(home.toStdString()) / "keyConf", "keyConf");
        editor.folder.Copy(fs::path(home.toStdString()) / "driver/libKestrelvane.so",
                           "driver/libKestrelvane.so");
        ::setenv("HOME", (fs::path(home.toStdString()) / "home").c_str(), 1);
        QVERIFY(BindCryptoLibrary());
        QVERIFY(LoadInstalledKey());
        QVERIFY(editor.Open(kNameAndAmount, 18));
        PasteRows(editor, 0, 1,
                  QString::fromUtf8(kTypedName) + "\t" + kTypedAmount + "\r\n\t3\r\n");
        QTRY_VERIFY_WITH_TIMEOUT(FileExists(editor.window->DraftPath()), 2000);
        std::fputs("typed\n", stdout);
        std::fflush(stdout);
        QTest::qWait(60000);  // killed long before
    }
};

}  // namespace
}  // namespace brindlecot

QTEST_MAIN(brindlecot::KeptRowsTest)
#include "kept_rows_test.moc"
