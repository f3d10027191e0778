#include "gui/editor/template_editor_dialog.h"

#include <QClipboard>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QToolTip>

#include <array>
#include <fstream>

#include "base/catalogue/dialog_model_dlg_keys.h"
#include "base/message_format.h"
#include "template/field_rules.h"
#include "tests/gui/editor/editor_window.h"
#include "tests/support/stall_meter.h"
#include "tests/support/typing.h"

namespace brindlecot {
namespace {

using testing::EditorWindow;
using testing::Gbk;
using testing::TypeText;
namespace keys = catalogue::DialogModelDlg;

const char kNameAndAmount[] =
    "[name] index=1 value= type=10\"X\" visible=true isRequisite=true\n"
    "[amount] index=2 value= type=8\"M\" visible=true isRequisite=false\n";

// Picks `action` of a popup about to open, from the event loop.
void ChooseWhenShown(QMenu* menu, QAction* action) {
    QTimer::singleShot(0, menu, [menu, action] {
        menu->setActiveAction(action);
        QTest::keyClick(menu, Qt::Key_Return);
    });
}

// Big enough that reading it back takes longer than the progress window's delay in an
// optimised build; the sanitizers make every row slower still.
int BigBatchRows() {
#if defined(__SANITIZE_ADDRESS__)
    return 100000;
#else
    return 300000;
#endif
}

// What the window looked like while a long command ran.
struct BusyWindowSamples {
    bool sampled = false;
    bool controlsDisabled = false;
    bool gridEmpty = false;
    std::uint64_t bytesCounted = 0;  // by the command so far
};

class TemplateEditorDialogTest : public QObject {
    Q_OBJECT

private slots:
    void OpensMaximisedWithCatalogueTexts() {
        EditorWindow editor;
        QVERIFY(editor.Open(kNameAndAmount, 18));
        QVERIFY(editor.window->isMaximized());
        QCOMPARE(editor.window->windowTitle(), QString::fromUtf8("模板甲"));
        QCOMPARE(editor.window->AddButton()->text(), QString::fromUtf8("添加"));
        QCOMPARE(editor.window->DeleteButton()->text(), QString::fromUtf8("删除"));
        QCOMPARE(editor.window->OperationsMenu()->title(), QString::fromUtf8("文件"));
        QCOMPARE(editor.window->OperationsMenu()->actions().at(0)->text(),
                 QString::fromUtf8("文件导入"));
        QCOMPARE(editor.window->OperationsMenu()->actions().at(1)->text(),
                 QString::fromUtf8("文件导出"));
        QCOMPARE(editor.window->ContextMenu()->actions().at(0)->text(),
                 QString::fromUtf8("添加记录"));
        const QAbstractItemModel* model = editor.Grid()->model();
        QCOMPARE(model->columnCount(), 4);
        QCOMPARE(model->headerData(1, Qt::Horizontal).toString(), QStringLiteral("name"));
        QCOMPARE(editor.Grid()->columnWidth(0), 50);
        QCOMPARE(editor.Grid()->columnWidth(3), 300);
        QCOMPARE(editor.Statistics(), QString());
    }

    void ATemplateThatDoesNotLoadIsRefused() {
        EditorWindow editor;
        QVERIFY(!editor.Open("[name] index=1 value= type=10\"X\" visible=true\n", 10));
        QVERIFY(!editor.ui.Messages().empty());
        QVERIFY(!editor.window->isVisible());
    }

    void ATemplateWithoutVisibleFieldsGivesTwoColumns() {
        EditorWindow editor;
        QVERIFY(editor.Open("[hidden] index=1 value=7 type=1\"N\" visible=false isRequisite=true\n",
                            1));
        QCOMPARE(editor.Grid()->model()->columnCount(), 2);
        QTest::mouseClick(editor.window->AddButton(), Qt::LeftButton);
        QCOMPARE(editor.Table().RowCount(), 1);
        QVERIFY(!editor.Table().IsErrorRow(0));
        QCOMPARE(editor.Grid()->model()->data(editor.Grid()->model()->index(0, 0)).toString(),
                 QStringLiteral("1"));
    }

    void ANewRowWithARequiredFieldIsAnErrorRowAtOnce() {
        EditorWindow editor;
        QVERIFY(editor.Open(kNameAndAmount, 18));
        QTest::mouseClick(editor.window->AddButton(), Qt::LeftButton);
        QCOMPARE(editor.Table().RowCount(), 1);
        QVERIFY(editor.Table().IsErrorRow(0));
        QCOMPARE(
            editor.Grid()->model()->data(editor.Grid()->model()->index(0, 3)).toString(),
            QString::fromStdString(GbkToUtf8ForDisplay(std::string(editor.Table().ErrorText(0)))));
        QCOMPARE(editor.Grid()
                     ->model()
                     ->data(editor.Grid()->model()->index(0, 1), Qt::BackgroundRole)
                     .value<QColor>(),
                 QColor(255, 140, 140));
        // The statistics count the row but sum over no clean row.
        QVERIFY(editor.Statistics().contains(QStringLiteral("1")));
        QVERIFY(editor.ui.Messages().empty());
    }

    void DeletingThreeSelectedRowsOf400LeavesTheOthersNumbered() {
        EditorWindow editor;
        QVERIFY(editor.Open(kNameAndAmount, 18));
        for (int row = 0; row < 400; ++row) {
            const std::array<std::string, 2> cells{"n" + std::to_string(row), "1.00"};
            editor.Table().AppendRow(cells);
        }
        QItemSelectionModel* selection = editor.Grid()->selectionModel();
        for (const int row : {7, 200, 399}) {
            selection->select(editor.Grid()->model()->index(row, 0),
                              QItemSelectionModel::Select | QItemSelectionModel::Rows);
        }
        editor.ui.answers.push_back(true);
        QTest::mouseClick(editor.window->DeleteButton(), Qt::LeftButton);

        QCOMPARE(editor.ui.Questions().size(), std::size_t{1});
        QCOMPARE(editor.ui.Questions()[0].text, LoadMessage(keys::kConfirmDeleteRows));
        QCOMPARE(editor.Table().RowCount(), 397);
        const QAbstractItemModel* model = editor.Grid()->model();
        for (int row = 0; row < 397; ++row)
            QCOMPARE(model->data(model->index(row, 0)).toString(), QString::number(row + 1));
        QCOMPARE(editor.Table().Cell(7, 1), std::string_view("n8"));
        QCOMPARE(editor.Table().Cell(198, 1), std::string_view("n199"));
        QCOMPARE(editor.Table().Cell(199, 1), std::string_view("n201"));
        QCOMPARE(editor.Table().Cell(396, 1), std::string_view("n398"));
        QVERIFY(editor.Statistics().startsWith(QString::fromStdString(
            GbkToUtf8ForDisplay(FormatMessage(LoadMessage(keys::kStatisticsRows), {397LL})))));
    }

    void DeletingAsksAndNoKeepsTheRows() {
        EditorWindow editor;
        QVERIFY(editor.Open(kNameAndAmount, 18));
        editor.Table().AppendRow();
        editor.Grid()->selectRow(0);
        editor.ui.answers.push_back(false);
        editor.window->DeleteRows();
        QCOMPARE(editor.Table().RowCount(), 1);
        // Without a selection nothing is asked.
        editor.Grid()->clearSelection();
        editor.window->DeleteRows();
        QCOMPARE(editor.ui.Questions().size(), std::size_t{1});
    }

    void AnEditThatBreaksItsRuleKeepsTheOldText() {
        EditorWindow editor;
        QVERIFY(editor.Open(kNameAndAmount, 18));
        QVERIFY(QTest::qWaitForWindowActive(editor.window.get()));
        const std::array<std::string, 2> cells{"a", "2.50"};
        editor.Table().AppendRow(cells);
        editor.DoubleClick(0, 2);
        QVERIFY(editor.Grid()->CurrentEdit() != nullptr);
        editor.Grid()->CurrentEdit()->selectAll();
        TypeText(editor.Grid()->CurrentEdit(), QStringLiteral("12x"));
        QTest::keyClick(editor.Grid()->CurrentEdit(), Qt::Key_Return);
        QCoreApplication::processEvents();

        QCOMPARE(editor.Table().Cell(0, 2), std::string_view("2.50"));
        QCOMPARE(editor.ui.Messages().size(), std::size_t{1});
        QCOMPARE(editor.ui.Messages()[0].caption, Gbk("模板甲"));
        QVERIFY(!editor.Table().IsErrorRow(0));
    }

    // Clicking 删除 while typing ends the edit; its refusal must come before the delete
    // question, not open on top of it once the question runs its own event loop.
    void ACommandJudgesTheOpenEditBeforeItsOwnQuestion() {
        EditorWindow editor;
        QVERIFY(editor.Open(kNameAndAmount, 18));
        QVERIFY(QTest::qWaitForWindowActive(editor.window.get()));
        const std::array<std::string, 2> cells{"a", "2.50"};
        editor.Table().AppendRow(cells);
        editor.DoubleClick(0, 2);
        TypeText(editor.Grid()->CurrentEdit(), QStringLiteral("abc"));
        editor.ui.answers.push_back(false);  // keep the row
        QTest::mouseClick(editor.window->DeleteButton(), Qt::LeftButton);
        QCoreApplication::processEvents();

        using Kind = testing::ScriptedUserInterface::Kind;
        QCOMPARE(editor.ui.events.size(), std::size_t{2});
        QVERIFY(editor.ui.events[0].kind == Kind::Message);
        QVERIFY(editor.ui.events[1].kind == Kind::Question);
        QCOMPARE(editor.Table().Cell(0, 2), std::string_view("2.50"));
        QCOMPARE(editor.Table().RowCount(), 1);
    }

    void AnEditThatPassesWhileAnotherCellIsBrokenRewritesTheErrorColumn() {
        EditorWindow editor;
        QVERIFY(editor.Open(kNameAndAmount, 18));
        QVERIFY(QTest::qWaitForWindowActive(editor.window.get()));
        editor.window->AddRow();  // name is required: an error row
        const std::string before(editor.Table().ErrorText(0));
        editor.Table().SetErrorText(0, "stale");
        editor.DoubleClick(0, 2);
        TypeText(editor.Grid()->CurrentEdit(), QStringLiteral("3"));
        QTest::keyClick(editor.Grid()->CurrentEdit(), Qt::Key_Return);
        QCoreApplication::processEvents();

        QCOMPARE(editor.Table().Cell(0, 2), std::string_view("3.00"));  // rewritten, stored
        QCOMPARE(std::string(editor.Table().ErrorText(0)), before);
        QVERIFY(editor.ui.Messages().empty());

        // Fixing the broken cell clears the row and lets it into the statistics.
        editor.DoubleClick(0, 1);
        TypeText(editor.Grid()->CurrentEdit(), QString::fromUtf8("李四"));
        QTest::keyClick(editor.Grid()->CurrentEdit(), Qt::Key_Escape);  // still handed over
        QCoreApplication::processEvents();
        QCOMPARE(editor.Table().Cell(0, 1), std::string_view(Gbk("李四")));
        QVERIFY(!editor.Table().IsErrorRow(0));
        QVERIFY(editor.Statistics().contains(QStringLiteral("3.00")));
    }

    void TheRowNumberAndErrorColumnsAreNotEditable() {
        EditorWindow editor;
        QVERIFY(editor.Open(kNameAndAmount, 18));
        QVERIFY(QTest::qWaitForWindowActive(editor.window.get()));
        editor.window->AddRow();
        editor.DoubleClick(0, 0);
        QCOMPARE(editor.Grid()->CurrentEdit(), nullptr);
        editor.DoubleClick(0, 3);
        QCOMPARE(editor.Grid()->CurrentEdit(), nullptr);
    }

    void ACharacterGbkCannotHoldGetsTheCatalogueMessage() {
        EditorWindow editor;
        QVERIFY(editor.Open(kNameAndAmount, 18));
        QVERIFY(QTest::qWaitForWindowActive(editor.window.get()));
        editor.window->AddRow();
        editor.DoubleClick(0, 1);
        TypeText(editor.Grid()->CurrentEdit(), QString::fromUtf8("김"));
        QCOMPARE(editor.Grid()->CurrentEdit()->text(), QString());
        const QString expected = QString::fromStdString(
            FormatMessage(GbkToUtf8ForDisplay(LoadMessage(keys::kUnencodableCharacters)), {"김"}));
        QVERIFY(expected.contains(QString::fromUtf8("김")));
        QCOMPARE(QToolTip::text(), expected);
    }

    void EnterDoesNothingAndLeavingAsksTheOwner() {
        EditorWindow editor;
        QVERIFY(editor.Open(kNameAndAmount, 18));
        QVERIFY(QTest::qWaitForWindowActive(editor.window.get()));
        editor.window->AddButton()->setFocus();
        QTest::keyClick(editor.window.get(), Qt::Key_Return);
        QCOMPARE(editor.Table().RowCount(), 0);
        QCoreApplication::processEvents();
        QCOMPARE(editor.closeRequests, 0);

        QTest::mouseClick(editor.window->ReturnButton(), Qt::LeftButton);
        QVERIFY(editor.window->isVisible());  // only the owner closes it
        QCOMPARE(editor.closeRequests, 0);    // posted, not called inside the click
        QCoreApplication::processEvents();
        QCOMPARE(editor.closeRequests, 1);

        QTest::keyClick(editor.window.get(), Qt::Key_Escape);
        editor.window->close();
        QCoreApplication::processEvents();
        QCOMPARE(editor.closeRequests, 3);
        QVERIFY(editor.window->isVisible());

        editor.window->Close();
        QVERIFY(!editor.window->isVisible());
        QCOMPARE(editor.Table().ColumnCount(), 0);
    }

    void TheContextPopupAddsAndDeletes() {
        EditorWindow editor;
        QVERIFY(editor.Open(kNameAndAmount, 18));
        QMenu* popup = editor.window->ContextMenu();
        ChooseWhenShown(popup, popup->actions().at(0));
        editor.window->RunContextMenu(editor.window->mapToGlobal(QPoint(100, 100)));
        QCOMPARE(editor.Table().RowCount(), 1);

        // Delete without a selection does nothing; with one it asks and deletes.
        ChooseWhenShown(popup, popup->actions().at(1));
        editor.window->RunContextMenu(editor.window->mapToGlobal(QPoint(100, 100)));
        QCOMPARE(editor.ui.Questions().size(), std::size_t{0});
        editor.Grid()->selectRow(0);
        ChooseWhenShown(popup, popup->actions().at(1));
        editor.window->RunContextMenu(editor.window->mapToGlobal(QPoint(100, 100)));
        QCOMPARE(editor.Table().RowCount(), 0);
    }

    // The window runs the same commands as the command-line tool: a shipped template's
    // import and export through the window's menu write the bytes the tool writes.
    void ImportThenExportThroughTheWindowMatchesTheCommandLineTool() {
        EditorWindow editor;
        namespace fs = std::filesystem;
        const fs::path shipped = fs::path(BRINDLECOT_SOURCE_DIR) / "dist" / "conf" /
                                 fs::u8path("\u6279\u91cf\u8f6c\u8d26.cfg");  // 批量转账
        const std::string templatePath = editor.folder.Copy(shipped, "conf/transfer.cfg");
        QVERIFY(editor.window->Open(templatePath, Gbk("批量转账")));
        const std::string input = editor.folder.Write(
            "work/in.txt", Gbk("6222000011112222|张三|1234.50|中国工商银行|工资\r\n"
                               "6222000011113333|李四|88|招商银行|\r\n"
                               "6222000011114444|王五|0.01||报销\r\n"));
        editor.ui.fileToOpen = input;
        QAction* import = editor.window->OperationsMenu()->actions().at(0);
        import->trigger();
        QCOMPARE(editor.Table().RowCount(), 3);
        QVERIFY(editor.Statistics().contains(QStringLiteral("3")));

        const std::string fromWindow = (editor.folder.path() / "work" / "window.txt").string();
        editor.ui.fileToSave = fromWindow;
        editor.window->OperationsMenu()->actions().at(1)->trigger();
        QCOMPARE(editor.ui.Texts().back(), LoadMessage(keys::kExportDone));

        const std::string fromTool = (editor.folder.path() / "work" / "tool.txt").string();
        QProcess tool;
        tool.start(QStringLiteral(BRINDLECOT_CLI),
                   {QStringLiteral("export"), QString::fromStdString(templatePath),
                    QString::fromStdString(input), QString::fromStdString(fromTool)});
        QVERIFY(tool.waitForFinished(30000));
        QCOMPARE(tool.exitCode(), 0);
        const std::string written = testing::ReadFileBytes(fromWindow);
        QVERIFY(!written.empty());
        QCOMPARE(written, testing::ReadFileBytes(fromTool));
    }

    // A big batch is read and written off the GUI thread: the window keeps painting, its
    // controls are disabled meanwhile, the grid shows no half-read rows, and a progress
    // window appears when it takes long. What is written and read back is the batch.
    void BigBatchesAreWrittenAndReadWithTheWindowPainted() {
        EditorWindow editor;
        const std::string mode =
            "typeLens=18\nin=txt\nout=txt\ninNeedDescrypt=false\noutNeedEncrypt=false\n"
            "needFill=true\nsplite=\"\"\nstatistics=2|sum|0|yuan\n";
        // Fixed widths both ways: an amount field is written unpadded, a number is filled.
        QVERIFY(
            editor.Open("[name] index=1 value= type=10\"X\" visible=true isRequisite=true\n"
                        "[count] index=2 value= type=8\"N\" visible=true isRequisite=false\n",
                        mode));
        const int rows = BigBatchRows();
        for (int row = 0; row < rows; ++row) {
            const std::array<std::string, 2> cells{"n" + std::to_string(row), "00000150"};
            editor.Table().AppendRow(cells);
        }
        editor.window->Editor().RefreshStatistics();
        editor.window->ShowStatistics();
        const QString statistics = editor.Statistics();
        QVERIFY(statistics.contains(QString::number(rows)));

        // A message of the command is shown while the worker waits for it: the moment to
        // look at the window.
        BusyWindowSamples atMessage;
        editor.ui.onEvent = [&](const testing::ScriptedUserInterface::Event&) {
            atMessage.sampled = editor.window->Task()->IsRunning();
            atMessage.controlsDisabled = !editor.Grid()->isEnabled() &&
                                         !editor.window->MenuBar()->isEnabled() &&
                                         !editor.window->AddButton()->isEnabled() &&
                                         !editor.window->NextErrorAction()->isEnabled();
            atMessage.gridEmpty = editor.Grid()->model()->rowCount() == 0;
            atMessage.bytesCounted = editor.window->Editor().Progress().done.load();
        };
        int progressShown = 0;
        QTimer watcher;
        QObject::connect(&watcher, &QTimer::timeout, [&] {
            const QDialog* progress = editor.window->Task()->ProgressWindow();
            if (const auto* bar = progress ? progress->findChild<QProgressBar*>() : nullptr)
                progressShown = std::max(progressShown, bar->value());
        });
        const auto run = [&](const std::function<void()>& command, const char* what) {
            atMessage = BusyWindowSamples{};
            progressShown = 0;
            watcher.start(10);
            testing::StallMeter meter(5);
            QElapsedTimer clock;
            clock.start();
            command();
            const qint64 elapsed = clock.elapsed();
            watcher.stop();
            qInfo("%s %d rows through the window in %lld ms; longest event-loop stall %lld ms",
                  what, rows, static_cast<long long>(elapsed),
                  static_cast<long long>(meter.LongestMs()));
            QVERIFY(atMessage.sampled);
            QVERIFY(atMessage.controlsDisabled);
            QVERIFY2(meter.LongestMs() < 250, "the window froze");
            if (elapsed > controls::BackgroundTask::kProgressDelay.count() + 500)
                QVERIFY2(progressShown > 0, "no progress shown for a long command");
            QVERIFY(editor.Grid()->isEnabled());
            QVERIFY(editor.window->NextErrorAction()->isEnabled());
        };

        const std::string batch = (editor.folder.path() / "big.txt").string();
        editor.ui.fileToSave = batch;
        run([&] { editor.window->Export(); }, "exported");
        QCOMPARE(editor.ui.Texts().back(), LoadMessage(keys::kExportDone));
        QCOMPARE(atMessage.gridEmpty, false);  // an export leaves the rows on show
        QCOMPARE(std::filesystem::file_size(batch), std::uintmax_t(rows) * 20);
        QCOMPARE(atMessage.bytesCounted, std::uint64_t(rows) * 20);

        // A short last line ends the import with a message, after every row was read.
        {
            std::ofstream append(batch, std::ios::binary | std::ios::app);
            append << "short\r\n";
        }
        editor.Table().ClearRows();
        editor.ui.fileToOpen = batch;
        run([&] { editor.window->Import(); }, "imported");
        QCOMPARE(editor.ui.Texts().back(), LoadMessage(keys::kLineLengthWrong));
        QVERIFY(atMessage.gridEmpty);  // no half-read rows on show
        QVERIFY(atMessage.bytesCounted >= std::uint64_t(rows) * 19);
        QCOMPARE(editor.Grid()->model()->rowCount(), rows);
        QCOMPARE(editor.Table().FieldCells(rows - 1),
                 (std::vector<std::string>{"n" + std::to_string(rows - 1), "00000150"}));
        QCOMPARE(editor.Statistics(), statistics);
    }

    // Rows copied from a spreadsheet go in from the current cell; inside an open edit box
    // Ctrl+V pastes into the box alone.
    void CtrlVPastesSpreadsheetRowsFromTheCurrentCell() {
        EditorWindow editor;
        QVERIFY(editor.Open(kNameAndAmount, 18));
        QVERIFY(QTest::qWaitForWindowActive(editor.window.get()));
        const std::array<std::string, 2> first{"a", "1.00"};
        editor.Table().AppendRow(first);
        editor.Grid()->setCurrentIndex(editor.Grid()->model()->index(0, 1));
        editor.Grid()->setFocus();

        QGuiApplication::clipboard()->setText(QString::fromUtf8("张三\t12\r\n李四\tabc\r\n"));
        QTest::keyClick(editor.Grid(), Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(editor.Table().RowCount(), 2);
        QCOMPARE(editor.Table().FieldCells(0), (std::vector<std::string>{Gbk("张三"), "12.00"}));
        // "abc" is no amount: it stays out, and one message says so.
        QCOMPARE(editor.Table().FieldCells(1), (std::vector<std::string>{Gbk("李四"), ""}));
        QCOMPARE(editor.ui.Messages().size(), std::size_t{1});
        QVERIFY(editor.Statistics().contains(QStringLiteral("12.00")));
        QCOMPARE(editor.Grid()->model()->rowCount(), 2);

        editor.DoubleClick(1, 2);
        QLineEdit* box = editor.Grid()->CurrentEdit();
        QVERIFY(box != nullptr);
        box->clear();
        QGuiApplication::clipboard()->setText(QStringLiteral("7.5"));
        QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(box->text(), QStringLiteral("7.5"));
        QCOMPARE(editor.Table().RowCount(), 2);
        QTest::keyClick(box, Qt::Key_Return);
        QCoreApplication::processEvents();
        QCOMPARE(editor.Table().FieldCells(1), (std::vector<std::string>{Gbk("李四"), "7.50"}));
        QVERIFY(editor.window->ContextMenu()->actions().contains(editor.window->PasteAction()));
    }

    void F8GoesFromErrorRowToErrorRowAndTheirNumberIsShown() {
        EditorWindow editor;
        QVERIFY(editor.Open(kNameAndAmount, 18));
        QVERIFY(QTest::qWaitForWindowActive(editor.window.get()));
        const std::array<std::string, 2> clean{"a", "1.00"};
        editor.Table().AppendRow(clean);
        editor.window->AddRow();  // the required name is empty: an error row
        editor.Table().AppendRow(clean);
        editor.Table().AppendRow(clean);
        editor.window->AddRow();
        QCOMPARE(editor.window->ErrorCountLabel()->text(),
                 QString::fromStdString(
                     GbkToUtf8ForDisplay(FormatMessage(LoadMessage(keys::kErrorRowCount), {2LL}))));

        const auto current = [&] {
            return editor.Grid()->currentIndex().row();
        };
        editor.Grid()->setFocus();
        QTest::keyClick(editor.window.get(), Qt::Key_F8);
        QCOMPARE(current(), 1);
        QTest::keyClick(editor.window.get(), Qt::Key_F8);
        QCOMPARE(current(), 4);
        QTest::keyClick(editor.window.get(), Qt::Key_F8);
        QCOMPARE(current(), 1);
        QTest::keyClick(editor.window.get(), Qt::Key_F8, Qt::ShiftModifier);
        QCOMPARE(current(), 4);
        QCOMPARE(editor.Grid()->SelectedRows(), std::vector<int>{4});

        // Correcting both rows empties the count.
        for (const int row : {1, 4}) {
            for (const int column : {1, 2}) {
                editor.DoubleClick(row, column);
                TypeText(editor.Grid()->CurrentEdit(), QStringLiteral("7"));
                QTest::keyClick(editor.Grid()->CurrentEdit(), Qt::Key_Return);
                QCoreApplication::processEvents();
            }
        }
        QCOMPARE(editor.Table().ErrorRowCount(), 0);
        QCOMPARE(editor.window->ErrorCountLabel()->text(), QString());
        editor.Grid()->setCurrentIndex(editor.Grid()->model()->index(2, 1));
        QTest::keyClick(editor.window.get(), Qt::Key_F8);
        QCOMPARE(current(), 2);
    }

    // The preview is the export's own line: compared with the file the export writes.
    void ThePreviewShowsTheExportedLineWithItsFillVisible() {
        EditorWindow editor;
        const std::string mode =
            "typeLens=18\nin=txt\nout=txt\ninNeedDescrypt=false\noutNeedEncrypt=false\n"
            "needFill=true\nsplite=\"\"\nstatistics=2|sum|0|yuan\n";
        QVERIFY(editor.Open(kNameAndAmount, mode));
        const std::array<std::string, 2> first{Gbk("张三"), "12.50"};
        const std::array<std::string, 2> second{"ab", "3.00"};
        editor.Table().AppendRow(first);
        editor.Table().AppendRow(second);
        editor.Grid()->setCurrentIndex(editor.Grid()->model()->index(1, 1));
        const QString shown = editor.window->PreviewLine()->text();
        QVERIFY(shown.contains(QChar(0x00B7)));
        QVERIFY(!shown.contains(QLatin1Char(' ')));

        editor.ui.fileToSave = (editor.folder.path() / "out.txt").string();
        editor.window->Export();
        const std::string written = testing::ReadFileBytes(*editor.ui.fileToSave);
        const std::size_t firstEnd = written.find("\r\n");
        const std::string secondLine =
            written.substr(firstEnd + 2, written.find("\r\n", firstEnd + 2) - firstEnd - 2);
        QString expected = QString::fromStdString(GbkToUtf8ForDisplay(secondLine));
        expected.replace(QLatin1Char(' '), QChar(0x00B7));
        QCOMPARE(shown, expected);

        // It follows the current row and its edits.
        editor.Grid()->setCurrentIndex(editor.Grid()->model()->index(0, 1));
        QVERIFY(editor.window->PreviewLine()->text().startsWith(QString::fromUtf8("张三")));
        editor.Table().SetCell(0, 1, "zz");
        QVERIFY(editor.window->PreviewLine()->text().startsWith(QStringLiteral("zz")));
    }

    void EveryResizeLaysTheWindowOut() {
        EditorWindow editor;
        QVERIFY(editor.Open(kNameAndAmount, 18));
        editor.window->showNormal();
        editor.window->resize(900, 700);
        QCoreApplication::processEvents();
        const int top = editor.window->MenuBar()->height();
        const int w = 900 - 5;
        const int h = 700 - top - 5;
        const QPushButton* add = editor.window->AddButton();
        const QPushButton* del = editor.window->DeleteButton();
        QCOMPARE(del->geometry().right() + 1, w - 10);
        QCOMPARE(del->geometry().bottom() + 1, top + h - 10);
        QCOMPARE(del->height(), add->height());
        QCOMPARE(add->x(), w - 2 * add->width() - 15);
        QCOMPARE(add->geometry().bottom() + 1, top + h - 10);
        const QRect statistics = editor.window->StatisticsBox()->geometry();
        QCOMPARE(statistics.left(), 10);
        QCOMPARE(statistics.width(), w - 20);
        QCOMPARE(statistics.bottom() + 1, add->y() - 5);
        const QRect preview = editor.window->PreviewLine()->geometry();
        QCOMPARE(preview.bottom() + 1, statistics.top() - 5);
        QCOMPARE(preview.width(), w - 20);
        const QRect grid = editor.Grid()->geometry();
        QCOMPARE(grid.topLeft(), QPoint(10, top + 22));
        QCOMPARE(grid.width(), w - 20);
        QCOMPARE(grid.bottom() + 1, preview.top() - 5);
        // Nothing overlaps: "返回" sits in the row of buttons.
        QVERIFY(!editor.window->ReturnButton()->geometry().intersects(grid));
        QVERIFY(!editor.window->ReturnButton()->geometry().intersects(add->geometry()));
    }
};

}  // namespace
}  // namespace brindlecot

QTEST_MAIN(brindlecot::TemplateEditorDialogTest)
#include "template_editor_dialog_test.moc"
