#include "gui/controls/record_grid.h"

#include <QDialog>
#include <QHeaderView>
#include <QLineEdit>
#include <QPaintEvent>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

#include <memory>
#include <string>
#include <vector>

#include "gui/editor/record_table_model.h"
#include "template/record_table.h"
#include "tests/support/gbk_literal.h"
#include "tests/support/typing.h"

namespace brindlecot::controls {
namespace {

using testing::Gbk;
using testing::TypeText;

struct Ended {
    int row;
    int column;
    std::string text;
    CellEditEndKey key;
};

// What the grid hands over through the model, and what it refuses.
struct Recorder {
    std::vector<Ended> ended;
    std::vector<QString> refused;
};

// The largest region a widget was asked to paint, and how often.
class PaintedArea : public QObject {
public:
    explicit PaintedArea(QWidget* widget) { widget->installEventFilter(this); }
    bool eventFilter(QObject* /*watched*/, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            const QRect rect = static_cast<QPaintEvent*>(event)->rect();
            if (rect.width() * rect.height() > largest.width() * largest.height())
                largest = rect;
            ++events;
        }
        return false;
    }
    QRect largest;
    int events = 0;
};

// A dialog with a default button around the grid, so that a stray Enter or Escape would
// show as a pressed button or a closed dialog.
class GridWindow {
public:
    explicit GridWindow(int rows) {
        table.SetColumns({{"#", 50}, {"a", 120}, {"b", 120}, {"error", 300}});
        for (int row = 0; row < rows; ++row)
            table.AppendRow();
        model = std::make_unique<RecordTableModel>(table);
        // Records instead of storing: what the cell becomes is the commit's decision.
        model->SetCellCommit([this](int row, int column, const std::string& text) {
            owner.ended.push_back({row, column, text, grid->LastEndKey()});
            return false;
        });
        auto* layout = new QVBoxLayout(&dialog);
        grid = new RecordGrid(&dialog);
        grid->setModel(model.get());
        grid->SetUnencodableTextMessage([this](const QString& characters) {
            owner.refused.push_back(characters);
            return QStringLiteral("cannot store ") + characters;
        });
        layout->addWidget(grid);
        defaultButton = new QPushButton(QStringLiteral("OK"), &dialog);
        defaultButton->setDefault(true);
        layout->addWidget(defaultButton);
        dialog.resize(640, 400);
        dialog.show();
        dialog.activateWindow();
    }

    QPoint CellCentre(int row, int column) const {
        return grid->visualRect(model->index(row, column)).center();
    }
    void DoubleClick(int row, int column) {
        // A real double-click starts with a press, which focuses the grid.
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, CellCentre(row, column));
        QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, CellCentre(row, column));
    }

    RecordTable table;
    Recorder owner;
    std::unique_ptr<RecordTableModel> model;
    QDialog dialog;
    RecordGrid* grid = nullptr;
    QPushButton* defaultButton = nullptr;
};

class RecordGridTest : public QObject {
    Q_OBJECT

private slots:
    void DoubleClickOpensAnEditOverTheCell() {
        GridWindow window(3);
        QVERIFY(QTest::qWaitForWindowActive(&window.dialog));
        window.table.SetCell(1, 2, "old");
        window.DoubleClick(1, 2);
        QLineEdit* edit = window.grid->CurrentEdit();
        QVERIFY(edit != nullptr);
        QCOMPARE(edit->text(), QStringLiteral("old"));
        QVERIFY(edit->hasFocus());
        QVERIFY(!edit->hasSelectedText());
        QCOMPARE(edit->cursorPosition(), 3);
        const QRect cell = window.grid->visualRect(window.model->index(1, 2));
        QCOMPARE(edit->geometry().left(), cell.left());
        QCOMPARE(edit->geometry().top(), cell.top() - 1);
        QCOMPARE(edit->geometry().bottom(), cell.bottom() + 2);
    }

    void DoubleClickOnAnotherCellCommitsTheFirstOnceAndOpensTheSecond() {
        GridWindow window(3);
        QVERIFY(QTest::qWaitForWindowActive(&window.dialog));
        window.DoubleClick(0, 1);
        QVERIFY(window.grid->CurrentEdit() != nullptr);
        QTest::keyClicks(window.grid->CurrentEdit(), QStringLiteral("abc"));
        window.DoubleClick(2, 2);
        QCoreApplication::processEvents();

        QCOMPARE(window.owner.ended.size(), std::size_t{1});
        QCOMPARE(window.owner.ended[0].row, 0);
        QCOMPARE(window.owner.ended[0].column, 1);
        QCOMPARE(window.owner.ended[0].text, std::string("abc"));
        QCOMPARE(window.owner.ended[0].key, CellEditEndKey::Other);
        QLineEdit* second = window.grid->CurrentEdit();
        QVERIFY(second != nullptr);
        QVERIFY(second->geometry().contains(window.CellCentre(2, 2)));
        // The grid wrote nothing: what the cell becomes is the owner's decision.
        QCOMPARE(window.table.Cell(0, 1), std::string_view());
    }

    void EscapeDeliversTheTypedTextAndLeavesTheDialogOpen() {
        GridWindow window(2);
        QVERIFY(QTest::qWaitForWindowActive(&window.dialog));
        QSignalSpy pressed(window.defaultButton, &QPushButton::clicked);
        window.DoubleClick(1, 1);
        TypeText(window.grid->CurrentEdit(), QString::fromUtf8("王五"));
        QTest::keyClick(window.grid->CurrentEdit(), Qt::Key_Escape);
        QCOMPARE(window.grid->CurrentEdit(), nullptr);
        QVERIFY(window.owner.ended.empty());  // handed over from the event loop, not inside
        QCoreApplication::processEvents();

        QCOMPARE(window.owner.ended.size(), std::size_t{1});
        QCOMPARE(window.owner.ended[0].text, Gbk("王五"));
        QCOMPARE(window.owner.ended[0].key, CellEditEndKey::Escape);
        QCOMPARE(window.grid->LastEndKey(), CellEditEndKey::Escape);
        QVERIFY(window.dialog.isVisible());
        QCOMPARE(pressed.size(), 0);
    }

    void EnterEndsTheEditWithoutPressingTheDefaultButton() {
        GridWindow window(2);
        QVERIFY(QTest::qWaitForWindowActive(&window.dialog));
        QSignalSpy pressed(window.defaultButton, &QPushButton::clicked);
        window.DoubleClick(0, 2);
        QTest::keyClicks(window.grid->CurrentEdit(), QStringLiteral("7"));
        QTest::keyClick(window.grid->CurrentEdit(), Qt::Key_Return);
        QCoreApplication::processEvents();
        QCOMPARE(window.owner.ended.size(), std::size_t{1});
        QCOMPARE(window.owner.ended[0].text, std::string("7"));
        QCOMPARE(window.owner.ended[0].key, CellEditEndKey::Enter);
        QCOMPARE(pressed.size(), 0);
        QVERIFY(window.dialog.isVisible());
        QVERIFY(window.grid->hasFocus());
    }

    void TheWheelEndsTheEditBeforeTheListMoves() {
        GridWindow window(300);
        QVERIFY(QTest::qWaitForWindowActive(&window.dialog));
        window.DoubleClick(0, 1);
        QVERIFY(window.grid->CurrentEdit() != nullptr);
        QScrollBar* bar = window.grid->verticalScrollBar();
        bool editOpenWhenMoved = true;
        QObject::connect(bar, &QScrollBar::valueChanged, window.grid,
                         [&] { editOpenWhenMoved = window.grid->CurrentEdit() != nullptr; });
        const QPoint at = window.CellCentre(0, 2);
        QWheelEvent wheel(at, window.grid->viewport()->mapToGlobal(at), {}, QPoint(0, -120),
                          Qt::NoButton, {}, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(window.grid->viewport(), &wheel);
        QCoreApplication::processEvents();

        QVERIFY(bar->value() > 0);
        QVERIFY(!editOpenWhenMoved);
        QCOMPARE(window.owner.ended.size(), std::size_t{1});
        QCOMPARE(window.owner.ended[0].key, CellEditEndKey::Other);
    }

    void ScrollingAndTheHeaderEndTheEditOnce() {
        GridWindow window(300);
        QVERIFY(QTest::qWaitForWindowActive(&window.dialog));
        window.DoubleClick(0, 1);
        window.grid->verticalScrollBar()->setValue(50);
        QCOMPARE(window.grid->CurrentEdit(), nullptr);

        window.DoubleClick(1, 1);
        QVERIFY(window.grid->CurrentEdit() != nullptr);
        QTest::mousePress(window.grid->horizontalHeader()->viewport(), Qt::LeftButton, {},
                          QPoint(60, 5));
        QCOMPARE(window.grid->CurrentEdit(), nullptr);
        QCoreApplication::processEvents();
        QCOMPARE(window.owner.ended.size(), std::size_t{2});
    }

    void AClickBelowTheLastRowEndsTheEdit() {
        GridWindow window(2);
        QVERIFY(QTest::qWaitForWindowActive(&window.dialog));
        window.DoubleClick(0, 1);
        QTest::mouseClick(window.grid->viewport(), Qt::LeftButton, {},
                          QPoint(10, window.grid->viewport()->height() - 5));
        QCoreApplication::processEvents();
        QCOMPARE(window.grid->CurrentEdit(), nullptr);
        QCOMPARE(window.owner.ended.size(), std::size_t{1});
    }

    void ARefusedStartGivesNoEditAndNoEnd() {
        GridWindow window(2);
        QVERIFY(QTest::qWaitForWindowActive(&window.dialog));
        window.DoubleClick(0, 0);
        QCOMPARE(window.grid->CurrentEdit(), nullptr);
        window.DoubleClick(1, 3);
        QCOMPARE(window.grid->CurrentEdit(), nullptr);
        QCoreApplication::processEvents();
        QVERIFY(window.owner.ended.empty());
        for (const QLineEdit* box : window.grid->findChildren<QLineEdit*>())
            QVERIFY(!box->isVisible());
    }

    // The edited record is gone, or another one has taken its place: the text must not
    // reach whatever record is now at the edited position.
    void AnEditWhoseRowsMoveTellsNobody() {
        GridWindow window(1);
        QVERIFY(QTest::qWaitForWindowActive(&window.dialog));
        window.DoubleClick(0, 1);
        QVERIFY(window.grid->CurrentEdit() != nullptr);
        window.table.ClearRows();
        QCOMPARE(window.grid->CurrentEdit(), nullptr);
        QCoreApplication::processEvents();
        QVERIFY(window.owner.ended.empty());

        window.table.AppendRow();
        window.table.AppendRow();
        window.DoubleClick(1, 1);
        TypeText(window.grid->CurrentEdit(), QStringLiteral("x"));
        window.table.DeleteRow(0);
        QCOMPARE(window.grid->CurrentEdit(), nullptr);
        QCoreApplication::processEvents();
        QVERIFY(window.owner.ended.empty());
    }

    void ACharacterGbkCannotHoldIsRefusedWithAMessage() {
        GridWindow window(1);
        QVERIFY(QTest::qWaitForWindowActive(&window.dialog));
        window.DoubleClick(0, 1);
        QLineEdit* edit = window.grid->CurrentEdit();
        TypeText(edit, QString::fromUtf8("a한b"));
        QCOMPARE(edit->text(), QStringLiteral("ab"));
        QCOMPARE(window.owner.refused.size(), std::size_t{1});
        QCOMPARE(window.owner.refused[0], QString::fromUtf8("한"));
        QTest::keyClick(edit, Qt::Key_Return);
        QCoreApplication::processEvents();
        QCOMPARE(window.owner.ended.at(0).text, std::string("ab"));
    }

    void ALongTextIsHandedOverWhole() {
        GridWindow window(1);
        QVERIFY(QTest::qWaitForWindowActive(&window.dialog));
        window.DoubleClick(0, 1);
        const QString typed(600, QLatin1Char('9'));
        window.grid->CurrentEdit()->setText(typed);
        QTest::keyClick(window.grid->CurrentEdit(), Qt::Key_Return);
        QCoreApplication::processEvents();
        QCOMPARE(window.owner.ended.at(0).text, std::string(600, '9'));
    }

    // Focus moves into the box and back with every edit; it changes how the current cell
    // is drawn, so only that cell (and the frame) may be painted again, not every row.
    void AFocusChangeRepaintsTheCurrentCellNotTheViewport() {
        GridWindow window(20);
        QVERIFY(QTest::qWaitForWindowActive(&window.dialog));
        window.grid->setCurrentIndex(window.model->index(3, 2));
        window.grid->setFocus();
        QCoreApplication::processEvents();

        PaintedArea painted(window.grid->viewport());
        window.defaultButton->setFocus();
        QCoreApplication::processEvents();
        window.grid->setFocus();
        QCoreApplication::processEvents();
        const QRect cell = window.grid->visualRect(window.model->index(3, 2));
        QVERIFY(painted.events > 0);
        QVERIFY2(painted.largest.width() <= cell.width() + 4 &&
                     painted.largest.height() <= cell.height() + 4,
                 "more than the current cell was painted");
        QVERIFY(painted.largest.intersects(cell));
    }

    void RowColoursFollowTheErrorColumn() {
        GridWindow window(3);
        QVERIFY(QTest::qWaitForWindowExposed(&window.dialog));
        window.table.SetErrorText(1, "broken");
        auto colourAt = [&](int row) {
            const QImage image = window.grid->viewport()->grab().toImage();
            const QRect cell = window.grid->visualRect(window.model->index(row, 2));
            return image.pixelColor(cell.center() + QPoint(cell.width() / 3, 0));
        };
        QCOMPARE(colourAt(1), QColor(255, 140, 140));
        QCOMPARE(colourAt(0), QColor(255, 255, 255));
        window.table.SetErrorText(1, "");
        QCOMPARE(colourAt(1), QColor(255, 255, 255));
    }
};

}  // namespace
}  // namespace brindlecot::controls

QTEST_MAIN(brindlecot::controls::RecordGridTest)
#include "record_grid_test.moc"
