#include "gui/controls/skinned_dialog.h"
#include "gui/controls/dialog_units.h"
#include "gui/resources/resource_paths.h"
#include "tests/gui/controls/skinned_dialog_sample.h"

#include <QFile>
#include <QLabel>
#include <QTest>

#include <cstdlib>

namespace brindlecot::testing {
namespace {

bool Near(QRgb a, QRgb b, int tolerance = 3) {
    return std::abs(qRed(a) - qRed(b)) <= tolerance &&
           std::abs(qGreen(a) - qGreen(b)) <= tolerance &&
           std::abs(qBlue(a) - qBlue(b)) <= tolerance;
}

QString Describe(QRgb colour) {
    return QColor(colour).name();
}

}  // namespace

class SkinnedDialogTest : public QObject {
    Q_OBJECT

private slots:
    void DialogUnitsScaleWithTheFontsBaseUnits() {
        const QFont font = controls::DialogFont();
        const QSize base = controls::DialogBaseUnits(font);
        QVERIFY(base.width() > 0 && base.height() > 0);
        // Four horizontal and eight vertical units are one character cell.
        QCOMPARE(controls::DialogUnitsToPixels(font, 4, 8, 8, 16),
                 QRect(base.width(), base.height(), 2 * base.width(), 2 * base.height()));
        // Odd values round to the nearest pixel.
        QCOMPARE(controls::DialogUnitsToPixels(font, 139, 103),
                 QSize(qRound(139 * base.width() / 4.0), qRound(103 * base.height() / 8.0)));
        // A bigger font makes a proportionally bigger dialog.
        QFont big = font;
        big.setPointSize(font.pointSize() * 2);
        const QSize small = controls::DialogUnitsToPixels(font, 183, 71);
        const QSize large = controls::DialogUnitsToPixels(big, 183, 71);
        QVERIFY2(
            large.width() > small.width() * 17 / 10 && large.height() > small.height() * 17 / 10,
            qPrintable(QStringLiteral("%1x%2 at twice the size of %3x%4")
                           .arg(large.width())
                           .arg(large.height())
                           .arg(small.width())
                           .arg(small.height())));
    }

    void ControlsArePlacedInDialogUnits() {
        SkinnedDialogSample dialog;
        const QFont font = dialog.font();
        QCOMPARE(dialog.size(), controls::DialogUnitsToPixels(font, 183, 71));
        QCOMPARE(dialog.edit->geometry(), controls::DialogUnitsToPixels(font, 12, 21, 160, 14));
        QCOMPARE(dialog.cancel->geometry(), controls::DialogUnitsToPixels(font, 132, 41, 40, 15));
    }

    void TheStripIsTwoByTwoThousand() {
        controls::SkinnedDialog dialog;
        QCOMPARE(dialog.Strip().size(), QSize(2, 2000));
    }

    // A short dialog shows the strip's top rows, one row of the strip per row of the dialog.
    void AShortDialogShowsTheTopOfTheStripStretchedOverItsWidth() {
        controls::SkinnedDialog dialog;
        dialog.setFixedSize(300, 150);
        const QImage image = dialog.grab().toImage();
        const QImage& strip = dialog.Strip();
        for (int y : {0, 40, 149}) {
            for (int x : {0, 150, 299}) {
                QVERIFY2(
                    Near(image.pixel(x, y), strip.pixel(0, y)),
                    qPrintable(QStringLiteral("(%1,%2): %3, strip row %2: %4")
                                   .arg(x)
                                   .arg(y)
                                   .arg(Describe(image.pixel(x, y)), Describe(strip.pixel(0, y)))));
            }
        }
        // The strip does change over those rows, so the comparison above means something.
        QVERIFY(!Near(strip.pixel(0, 0), strip.pixel(0, 149)));
    }

    void ADialogTallerThanTheStripGetsAllOfItStretched() {
        controls::SkinnedDialog dialog;
        dialog.setFixedSize(40, 3000);
        const QImage image = dialog.grab().toImage();
        const QImage& strip = dialog.Strip();
        QVERIFY(Near(image.pixel(20, 0), strip.pixel(0, 0)));
        QVERIFY(Near(image.pixel(20, 1500), strip.pixel(0, 1000), 4));
        QVERIFY(Near(image.pixel(20, 2999), strip.pixel(0, 1999)));
    }

    void LabelsShowTheStripAndEditBoxesStayOpaque() {
        SkinnedDialogSample dialog;
        auto* label = new QLabel(&dialog);
        label->setGeometry(10, 5, 60, 12);
        const QImage image = dialog.grab().toImage();
        const QImage& strip = dialog.Strip();
        // The label has no text at this point: it is transparent.
        QVERIFY(Near(image.pixel(40, 10), strip.pixel(0, 10)));
        // The middle of the edit box is its own base colour, not the strip.
        const QPoint inside =
            dialog.edit->geometry().center() + QPoint(dialog.edit->width() / 3, 0);
        QVERIFY2(Near(image.pixel(inside), dialog.edit->palette().color(QPalette::Base).rgb()),
                 qPrintable(Describe(image.pixel(inside))));
    }

    void DrawnLabelsArePaintedOverTheStrip() {
        SkinnedDialogSample dialog;
        const QImage image = dialog.grab().toImage();
        const QImage& strip = dialog.Strip();
        const QRect box = dialog.edit->geometry();
        // Somewhere in the band above the edit box the label's text darkens the strip.
        int inked = 0;
        for (int y = std::max(0, box.top() - dialog.fontMetrics().height()); y < box.top() - 1;
             ++y) {
            for (int x = box.left();
                 x < box.left() + dialog.fontMetrics().horizontalAdvance(
                                      QString::fromLatin1(SkinnedDialogSample::kLabel));
                 ++x) {
                if (qGray(image.pixel(x, y)) < qGray(strip.pixel(0, y)) - 80)
                    ++inked;
            }
        }
        QVERIFY2(inked > 20, qPrintable(QString::number(inked)));
        // And the text stops above the box: its top row is the box's own frame.
        for (int x = box.left() + 4; x < box.right() - 4; ++x)
            QVERIFY(!Near(image.pixel(x, box.top() - 1), QColor(Qt::black).rgb(), 40));
    }

    void TheMenuAndIconPicturesHaveTheirSizes() {
        QCOMPARE(QImage(QString::fromLatin1(resources::kMenuItemHighlighted)).size(),
                 QSize(440, 30));
        QCOMPARE(QImage(QString::fromLatin1(resources::kMenuItemNormal)).size(), QSize(1799, 31));
        for (int size : {16, 32, 48, 64, 128, 256}) {
            const QImage icon(resources::ApplicationIconPng(size));
            QCOMPARE(icon.size(), QSize(size, size));
            QVERIFY(icon.hasAlphaChannel());
            // Opaque in the middle, transparent in the corner outside the rounded tile.
            QCOMPARE(qAlpha(icon.pixel(size / 2, size / 2)), 255);
            QCOMPARE(qAlpha(icon.pixel(0, 0)), 0);
        }
        QFile svg(QString::fromLatin1(resources::kApplicationIconSvg));
        QVERIFY(svg.open(QIODevice::ReadOnly));
        const QByteArray text = svg.readAll();
        QVERIFY(text.startsWith("<?xml"));
        QVERIFY(text.contains("viewBox=\"0 0 256 256\""));
        QCOMPARE(resources::ApplicationIcon().availableSizes().size(), 6);
    }
};

}  // namespace brindlecot::testing

QTEST_MAIN(brindlecot::testing::SkinnedDialogTest)
#include "skinned_dialog_test.moc"
