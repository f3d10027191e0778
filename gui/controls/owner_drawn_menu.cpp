#include "gui/controls/owner_drawn_menu.h"

#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPixmap>
#include <QStyleOptionMenuItem>

#include "gui/controls/dialog_units.h"
#include "gui/resources/resource_paths.h"

namespace brindlecot::controls {

OwnerDrawnMenuStyle::OwnerDrawnMenuStyle(QObject* parent) : QProxyStyle() {
    setParent(parent);
}

QFont OwnerDrawnMenuStyle::ItemFont(bool title) {
    QFont font = DialogFont();
    font.setPixelSize(13);
    font.setWeight(title ? QFont::DemiBold : QFont::Medium);  // 600 and 500
    font.setItalic(false);
    font.setUnderline(false);
    font.setStrikeOut(false);
    return font;
}

QSize OwnerDrawnMenuStyle::sizeFromContents(ContentsType type, const QStyleOption* option,
                                            const QSize& size, const QWidget* widget) const {
    switch (type) {
        case CT_MenuItem:
            return QSize(kItemWidth, kItemHeight);
        case CT_MenuBarItem:
            return QSize(kTitleWidth, kItemHeight);
        default:
            return QProxyStyle::sizeFromContents(type, option, size, widget);
    }
}

int OwnerDrawnMenuStyle::pixelMetric(PixelMetric metric, const QStyleOption* option,
                                     const QWidget* widget) const {
    switch (metric) {
        // Items fill their menu edge to edge, as the pictures are made for.
        case PM_MenuHMargin:
        case PM_MenuVMargin:
        case PM_MenuBarHMargin:
        case PM_MenuBarVMargin:
        case PM_MenuBarItemSpacing:
        case PM_MenuBarPanelWidth:
            return 0;
        case PM_MenuPanelWidth:
            return 1;
        default:
            return QProxyStyle::pixelMetric(metric, option, widget);
    }
}

void OwnerDrawnMenuStyle::drawControl(ControlElement element, const QStyleOption* option,
                                      QPainter* painter, const QWidget* widget) const {
    const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(option);
    if (element == CE_MenuBarEmptyArea) {
        DrawMenuBar(option, painter, widget);
        return;
    }
    if (item == nullptr || (element != CE_MenuItem && element != CE_MenuBarItem)) {
        QProxyStyle::drawControl(element, option, painter, widget);
        return;
    }
    painter->save();
    if (element == CE_MenuBarItem) {
        // Drawn with the bar's background (DrawMenuBar), as its text runs on past it.
    } else if (item->menuItemType == QStyleOptionMenuItem::Separator) {
        QProxyStyle::drawControl(element, option, painter, widget);
    } else {
        const bool highlighted = (item->state & State_Selected) != 0;
        const QPixmap picture(QString::fromLatin1(highlighted ? resources::kMenuItemHighlighted
                                                              : resources::kMenuItemNormal));
        if (picture.isNull()) {
            painter->fillRect(item->rect, item->palette.brush(highlighted ? QPalette::Highlight
                                                                          : QPalette::Button));
        } else {
            // The picture starts at each item's corner, so every item looks the same.
            painter->setBrushOrigin(item->rect.topLeft());
            painter->fillRect(item->rect, QBrush(picture));
        }
        DrawText(*painter, item->rect, item->text, false);
    }
    painter->restore();
}

// A title has no picture of its own and its text runs on past the narrow title, over the
// bar's background; so the bar draws its background whole and then every title's text.
void OwnerDrawnMenuStyle::DrawMenuBar(const QStyleOption* option, QPainter* painter,
                                      const QWidget* widget) const {
    painter->save();
    painter->setClipping(false);
    QProxyStyle::drawControl(CE_MenuBarEmptyArea, option, painter, widget);
    if (const auto* bar = qobject_cast<const QMenuBar*>(widget)) {
        for (QAction* action : bar->actions()) {
            const QRect title = bar->actionGeometry(action);
            if (!action->isVisible() || title.isEmpty())
                continue;
            QRect rect = title;
            if (popupTitleWidth_ > rect.left())
                rect.setRight(popupTitleWidth_ - 1);
            DrawText(*painter, rect, action->text(), true);
        }
    }
    painter->restore();
}

void OwnerDrawnMenuStyle::DrawText(QPainter& painter, const QRect& rect, const QString& text,
                                   bool title) const {
    painter.setFont(ItemFont(title));
    painter.setPen(Qt::black);
    painter.setBackgroundMode(Qt::TransparentMode);
    // A tab separates a shortcut from the text; the shortcut goes to the right edge, so
    // that a clerk learns the key from the menu.
    const QString shown = text.section(QLatin1Char('\t'), 0, 0);
    const QString shortcut = text.section(QLatin1Char('\t'), 1);
    painter.drawText(rect.adjusted(kTextIndent, 0, 0, 0),
                     Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine | Qt::TextShowMnemonic,
                     shown);
    if (!shortcut.isEmpty()) {
        painter.drawText(rect.adjusted(0, 0, -kTextIndent / 2, 0),
                         Qt::AlignRight | Qt::AlignVCenter | Qt::TextSingleLine, shortcut);
    }
}

void MakeOwnerDrawn(QMenu& menu, OwnerDrawnMenuStyle& style) {
    menu.setStyle(&style);
    for (QAction* action : menu.actions()) {
        if (QMenu* submenu = action->menu())
            MakeOwnerDrawn(*submenu, style);
    }
}

void MakeOwnerDrawn(QMenuBar& bar, OwnerDrawnMenuStyle& style) {
    bar.setStyle(&style);
    for (QAction* action : bar.actions()) {
        if (QMenu* menu = action->menu())
            MakeOwnerDrawn(*menu, style);
    }
}

}  // namespace brindlecot::controls
