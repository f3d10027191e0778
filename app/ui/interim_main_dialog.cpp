#include "app/ui/interim_main_dialog.h"

#include "app/gbk_text.h"
#include "app/message_catalogue.h"

#include <QDialog>
#include <QPushButton>
#include <QVBoxLayout>

namespace brindlecot {
namespace {

QString CatalogueText(const char* section, const char* key) {
    return QString::fromStdString(GbkToUtf8ForDisplay(LoadMessage(section, key)));
}

}  // namespace

void RunInterimMainDialog() {
    QDialog dialog;
    dialog.setWindowTitle(CatalogueText("BrindlecotDlg", "msg3"));
    auto* layout = new QVBoxLayout(&dialog);
    for (const char* key : {"msg4", "msg5", "msg6"}) {
        auto* button = new QPushButton(CatalogueText("BrindlecotDlg", key), &dialog);
        button->setEnabled(false);
        layout->addWidget(button);
    }
    dialog.exec();
}

}  // namespace brindlecot
