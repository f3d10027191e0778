#include "gui/app/about_dialog.h"

#include "gui/controls/dialog_units.h"
#include "gui/resources/resource_paths.h"

#include <QLabel>
#include <QPushButton>

#include <algorithm>

namespace brindlecot {

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent) {
    using controls::DialogUnitsToPixels;
    setFont(controls::DialogFont());
    // The About box's texts are fixed resource texts, the same under either catalogue.
    setWindowTitle(QString::fromUtf8("关于 Tarnwick"));
    setWindowIcon(resources::ApplicationIcon());
    setFixedSize(DialogUnitsToPixels(font(), 235, 55));

    auto* icon = new QLabel(this);
    icon->setObjectName(QStringLiteral("icon"));
    icon->setGeometry(DialogUnitsToPixels(font(), 11, 10, 20, 20));
    const int side = std::min(icon->width(), icon->height());
    icon->setPixmap(resources::ApplicationIcon().pixmap(side, side));
    icon->setAlignment(Qt::AlignCenter);

    auto* version = new QLabel(QString::fromUtf8("Tarnwick 1.0 版"), this);
    version->setObjectName(QStringLiteral("version"));
    version->setGeometry(DialogUnitsToPixels(font(), 40, 10, 119, 8));

    auto* ok = new QPushButton(QString::fromUtf8("确定"), this);
    ok->setObjectName(QStringLiteral("ok"));
    ok->setGeometry(DialogUnitsToPixels(font(), 178, 7, 50, 14));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

}  // namespace brindlecot
