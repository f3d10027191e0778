#include "gui/controls/skinned_dialog.h"

#include "gui/controls/dialog_units.h"
#include "gui/resources/resource_paths.h"

#include <QPainter>

#include <algorithm>

namespace brindlecot::controls {

SkinnedDialog::SkinnedDialog(QWidget* parent)
    : QDialog(parent), strip_(QString::fromLatin1(resources::kDialogStrip)) {
    setFont(DialogFont());
    // The whole background is ours: Qt need not clear it before paintEvent.
    setAttribute(Qt::WA_OpaquePaintEvent);
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
