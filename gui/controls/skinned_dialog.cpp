#include "gui/controls/skinned_dialog.h"

#include "gui/controls/dialog_units.h"
#include "gui/resources/resource_paths.h"

#include <QApplication>
#include <QChildEvent>
#include <QPainter>
#include <QPointer>
#include <QProxyStyle>
#include <QPushButton>
#include <QStyleOptionButton>

#include <algorithm>

namespace brindlecot::controls {

namespace {

// Buttons with the keyboard focus get a dotted rectangle inside their face. Without it
// the default button looks the same with and without the focus, and a person on the
// keyboard cannot tell where Enter or Space would go.
class FocusMarkStyle final : public QProxyStyle {
public:
    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override {
        QProxyStyle::drawControl(element, option, painter, widget);
        if (element != CE_PushButton || !(option->state & State_HasFocus))
            return;
        painter->save();
        painter->setPen(QPen(option->palette.buttonText().color(), 1, Qt::DotLine));
        painter->setBrush(Qt::NoBrush);
        painter->drawRect(option->rect.adjusted(4, 4, -5, -5));
        painter->restore();
    }
};

QStyle* FocusMark() {
    // Shared by every button of every dialog and kept until the application ends, so no
    // button outlives it.
    static QPointer<QStyle> style;
    if (style.isNull()) {
        style = new FocusMarkStyle;
        style->setParent(QCoreApplication::instance());
    }
    return style.data();
}

}  // namespace

SkinnedDialog::SkinnedDialog(QWidget* parent)
    : QDialog(parent), strip_(QString::fromLatin1(resources::kDialogStrip)) {
    setFont(DialogFont());
    // The whole background is ours: Qt need not clear it before paintEvent.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

bool SkinnedDialog::event(QEvent* event) {
    if (event->type() == QEvent::ChildPolished) {
        auto* button = qobject_cast<QPushButton*>(static_cast<QChildEvent*>(event)->child());
        if (button != nullptr && button->style() != FocusMark())
            button->setStyle(FocusMark());
    }
    return QDialog::event(event);
}

void SkinnedDialog::SetClientSizeInDialogUnits(int width, int height) {
    setFixedSize(DialogUnitsToPixels(font(), width, height));
}

void SkinnedDialog::PlaceInDialogUnits(QWidget* control, int x, int y, int width,
                                       int height) const {
    control->setGeometry(DialogUnitsRect(x, y, width, height));
}

QRect SkinnedDialog::DialogUnitsRect(int x, int y, int width, int height) const {
    return DialogUnitsToPixels(font(), x, y, width, height);
}

void SkinnedDialog::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    PaintStrip(painter);
    painter.setFont(font());
    painter.setPen(palette().color(QPalette::WindowText));
    painter.setBackgroundMode(Qt::TransparentMode);
    PaintLabels(painter);
}

void SkinnedDialog::PaintLabels(QPainter&) {}

void SkinnedDialog::PaintStrip(QPainter& painter) const {
    painter.fillRect(rect(), palette().color(QPalette::Window));
    if (strip_.isNull())
        return;
    const QRect source(0, 0, strip_.width(), std::min(strip_.height(), height()));
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(rect(), strip_, source);
    painter.restore();
}

}  // namespace brindlecot::controls
