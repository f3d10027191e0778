#include "gui/resources/resource_paths.h"

namespace brindlecot::resources {

QString ApplicationIconPng(int size) {
    return QStringLiteral(":/icons/brindlecot-%1.png").arg(size);
}

QIcon ApplicationIcon() {
    QIcon icon;
    for (int size : {16, 32, 48, 64, 128, 256})
        icon.addFile(ApplicationIconPng(size), QSize(size, size));
    return icon;
}

}  // namespace brindlecot::resources
