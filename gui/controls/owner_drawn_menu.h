#pragma once

#include <QFont>
#include <QProxyStyle>

class QMenu;
class QMenuBar;

namespace brindlecot::controls {

// Menus in the look of the skinned dialogs: every item on a picture (bitmap 149 while
// highlighted, 152 otherwise), 200 x 30 pixels, its text 20 pixels in; the titles of
// the menu bar 40 pixels wide, in a heavier font and without a picture.
class OwnerDrawnMenuStyle final : public QProxyStyle {
    Q_OBJECT

public:
    static constexpr int kItemWidth = 200;
    static constexpr int kItemHeight = 30;
    static constexpr int kTitleWidth = 40;
    static constexpr int kTextIndent = 20;

    explicit OwnerDrawnMenuStyle(QObject* parent = nullptr);

    // Menu bar titles draw their text up to this x (the owner's client width), however
    // narrow the title itself is.
    void SetPopupTitleWidth(int width) { popupTitleWidth_ = width; }
    int PopupTitleWidth() const { return popupTitleWidth_; }

    // The font of menu bar titles (weight 600) and of items (weight 500), 13 pixels high.
    static QFont ItemFont(bool title);

    QSize sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
                           const QWidget* widget) const override;
    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override;
    int pixelMetric(PixelMetric metric, const QStyleOption* option = nullptr,
                    const QWidget* widget = nullptr) const override;

private:
    void DrawMenuBar(const QStyleOption* option, QPainter* painter, const QWidget* widget) const;
    void DrawText(QPainter& painter, const QRect& rect, const QString& text, bool title) const;

    int popupTitleWidth_ = 0;
};

// Draws the bar and every menu under it (submenus included) with `style`, which must
// outlive them.
void MakeOwnerDrawn(QMenuBar& bar, OwnerDrawnMenuStyle& style);
void MakeOwnerDrawn(QMenu& menu, OwnerDrawnMenuStyle& style);

}  // namespace brindlecot::controls
