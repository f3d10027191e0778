#pragma once

#include <QIcon>

// Where the program's compiled-in pictures are found.
namespace brindlecot::resources {

// The dialog background: a vertical colour strip, 2 x 2000 pixels.
inline constexpr char kDialogStrip[] = ":/bitmaps/162.png";
// Menu item backgrounds: highlighted (440 x 30) and normal (1799 x 31).
inline constexpr char kMenuItemHighlighted[] = ":/bitmaps/149.png";
inline constexpr char kMenuItemNormal[] = ":/bitmaps/152.png";
// The application icon as drawn, and rendered at one size (16, 32, 48, 64, 128 or 256).
inline constexpr char kApplicationIconSvg[] = ":/icons/brindlecot.svg";
QString ApplicationIconPng(int size);

// The application icon with every rendered size, for window icons and the About box.
QIcon ApplicationIcon();

}  // namespace brindlecot::resources
