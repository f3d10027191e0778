#include "gui/controls/owner_drawn_menu.h"

#include <QImage>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QTest>

#include "gui/resources/resource_paths.h"

namespace brindlecot::controls {
namespace {

bool IsDark(QColor colour) {
    return colour.red() < 100 && colour.green() < 100 && colour.blue() < 100;
}

// Whether any pixel of `image` inside `area` is dark (text).
bool HasTextIn(const QImage& image, const QRect& area) {
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            if (IsDark(image.pixelColor(x, y)))
                return true;
        }
    }
    return false;
}

class OwnerDrawnMenuTest : public QObject {
    Q_OBJECT

private slots:
    void ItemsArePicturesWithTheirTextTwentyPixelsIn() {
        QWidget owner;
        OwnerDrawnMenuStyle style(&owner);
        QMenu menu(&owner);
        QAction* first = menu.addAction(QString::fromUtf8("新增记录"));
        QAction* second = menu.addAction(QString::fromUtf8("删除记录"));
        MakeOwnerDrawn(menu, style);
        menu.popup(QPoint(10, 10));
        QVERIFY(QTest::qWaitForWindowExposed(&menu));
        menu.setActiveAction(first);

        QCOMPARE(menu.actionGeometry(first).size(), QSize(200, 30));
        QCOMPARE(menu.actionGeometry(second).size(), QSize(200, 30));
        const QImage image = menu.grab().toImage();
        const QImage highlighted(QString::fromLatin1(resources::kMenuItemHighlighted));
        const QImage normal(QString::fromLatin1(resources::kMenuItemNormal));
        QVERIFY(!highlighted.isNull() && !normal.isNull());
        // Each picture starts at its item's corner.
        const QRect top = menu.actionGeometry(first);
        const QRect bottom = menu.actionGeometry(second);
        for (const QPoint at : {QPoint(3, 4), QPoint(12, 25), QPoint(190, 15)}) {
            QCOMPARE(image.pixelColor(top.topLeft() + at), highlighted.pixelColor(at));
            QCOMPARE(image.pixelColor(bottom.topLeft() + at), normal.pixelColor(at));
        }
        for (const QRect& item : {top, bottom}) {
            QVERIFY(!HasTextIn(image, QRect(item.left(), item.top(), 20, item.height())));
            QVERIFY(HasTextIn(image, QRect(item.left() + 20, item.top(), 20, item.height())));
        }
        menu.hide();
    }

    void TitlesAreFortyWideWithTheirTextRunningOn() {
        QMainWindow window;
        OwnerDrawnMenuStyle style(&window);
        QMenuBar* bar = window.menuBar();
        QMenu* menu = bar->addMenu(QString::fromUtf8("操作记录"));
        menu->addAction(QStringLiteral("x"));
        MakeOwnerDrawn(*bar, style);
        style.SetPopupTitleWidth(400);
        window.resize(400, 200);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));

        const QRect title = bar->actionGeometry(menu->menuAction());
        QCOMPARE(title.size(), QSize(40, 30));
        QCOMPARE(menu->style(), &style);
        const QImage image = bar->grab().toImage();
        QVERIFY(!HasTextIn(image, QRect(title.left(), 0, 20, bar->height())));
        QVERIFY(HasTextIn(image, QRect(title.left() + 20, 0, 20, bar->height())));
        // Four characters of 13 pixels do not fit into the 20 pixels left of the title.
        QVERIFY(HasTextIn(image, QRect(title.right() + 1, 0, 40, bar->height())));
    }

    void TitlesAreHeavierThanItems() {
        QCOMPARE(OwnerDrawnMenuStyle::ItemFont(true).weight(), QFont::DemiBold);
        QCOMPARE(OwnerDrawnMenuStyle::ItemFont(false).weight(), QFont::Medium);
        QCOMPARE(OwnerDrawnMenuStyle::ItemFont(false).pixelSize(), 13);
    }
};

}  // namespace
}  // namespace brindlecot::controls

QTEST_MAIN(brindlecot::controls::OwnerDrawnMenuTest)
#include "owner_drawn_menu_test.moc"
