#pragma once

#include <QFont>
#include <QRect>
#include <QSize>

// Dialog layouts are given in dialog units, which scale with the dialog's font: a
// horizontal unit is a quarter of the font's average character width, a vertical unit an
// eighth of its character height. Converting them the same way keeps every dialog's
// proportions whatever the font and screen resolution.
namespace brindlecot::controls {

// The font of every dialog: a CJK face at 9 points, the size dialogs were laid out for.
QFont DialogFont();

// The font's base units in pixels: its average character width (over the Latin letters,
// rounded) and its character height.
QSize DialogBaseUnits(const QFont& font);

// A rectangle or a size in dialog units, in pixels (each value rounded to the nearest
// pixel).
QRect DialogUnitsToPixels(const QFont& font, int x, int y, int width, int height);
QSize DialogUnitsToPixels(const QFont& font, int width, int height);

}  // namespace brindlecot::controls
