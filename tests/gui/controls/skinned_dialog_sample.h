#pragma once

#include "gui/controls/skinned_dialog.h"

#include <QLineEdit>
#include <QPainter>
#include <QPushButton>

namespace brindlecot::testing {

// A small dialog in the shared look, 183 by 71 dialog units: a drawn label above an edit
// box, and two buttons over the strip.
class SkinnedDialogSample : public controls::SkinnedDialog {
public:
    SkinnedDialogSample() {
        SetClientSizeInDialogUnits(183, 71);
        edit = new QLineEdit(this);
        PlaceInDialogUnits(edit, 12, 21, 160, 14);
        ok = new QPushButton(QStringLiteral("OK"), this);
        PlaceInDialogUnits(ok, 87, 41, 40, 15);
        cancel = new QPushButton(QStringLiteral("Cancel"), this);
        PlaceInDialogUnits(cancel, 132, 41, 40, 15);
        setWindowTitle(QStringLiteral("SkinnedDialog"));
        edit->setAccessibleName(QString::fromLatin1(kLabel));
    }

    QLineEdit* edit;
    QPushButton* ok;
    QPushButton* cancel;
    static constexpr const char* kLabel = "Drawn label";

protected:
    void PaintLabels(QPainter& painter) override {
        const QRect box = edit->geometry();
        painter.drawText(box.left(), box.top() - 2 - painter.fontMetrics().descent(),
                         QString::fromLatin1(kLabel));
    }
};

}  // namespace brindlecot::testing
