#include "gui/controls/dialog_units.h"

#include <QFontMetrics>

namespace brindlecot::controls {
namespace {

// value * numerator / denominator, rounded half away from zero.
int ScaleRounded(int value, int numerator, int denominator) {
    const long long product = static_cast<long long>(value) * numerator;
    const long long half = denominator / 2;
    return static_cast<int>(product >= 0 ? (product + half) / denominator
                                         : (product - half) / denominator);
}

}  // namespace

QFont DialogFont() {
    QFont font(QStringLiteral("WenQuanYi Zen Hei"), 9);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

QSize DialogBaseUnits(const QFont& font) {
    const QFontMetrics metrics(font);
    // The average over the 52 Latin letters, rounded to the nearest pixel.
    const int letters = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    return {(letters / 26 + 1) / 2, metrics.height()};
}

QRect DialogUnitsToPixels(const QFont& font, int x, int y, int width, int height) {
    const QSize base = DialogBaseUnits(font);
    return {ScaleRounded(x, base.width(), 4), ScaleRounded(y, base.height(), 8),
            ScaleRounded(width, base.width(), 4), ScaleRounded(height, base.height(), 8)};
}

QSize DialogUnitsToPixels(const QFont& font, int width, int height) {
    return DialogUnitsToPixels(font, 0, 0, width, height).size();
}

}  // namespace brindlecot::controls
