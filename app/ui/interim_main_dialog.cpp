#include "app/ui/interim_main_dialog.h"

#include "app/gbk_text.h"
#include "app/message_catalogue.h"

#include <QPushButton>
#include <QVBoxLayout>

namespace brindlecot {
namespace {

QString CatalogueText(const char* section, const char* key) {
    return QString::fromStdString(GbkToUtf8ForDisplay(LoadMessage(section, key)));
}

}  // namespace

std::unique_ptr<QDialog> MakeInterimMainDialog() {
    auto dialog = std::make_unique<QDialog>();
    dialog->setWindowTitle(CatalogueText("BrindlecotDlg", "msg3"));
    auto* layout = new QVBoxLayout(dialog.get());
    for (const char* key : {"msg4", "msg5", "msg6"}) {
        auto* button = new QPushButton(CatalogueText("BrindlecotDlg", key), dialog.get());
        button->setEnabled(false);
        layout->addWidget(button);
    }
    return dialog;
}

void RunInterimMainDialog() {
    MakeInterimMainDialog()->exec();
}

}  // namespace brindlecot
