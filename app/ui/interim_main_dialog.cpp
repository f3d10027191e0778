#include "app/ui/interim_main_dialog.h"

#include "app/catalogue/brindlecot_dlg_keys.h"
#include "app/gbk_text.h"
#include "app/message_catalogue.h"

#include <QPushButton>
#include <QVBoxLayout>

namespace brindlecot {
namespace {

QString CatalogueText(CatalogueKey key) {
    return QString::fromStdString(GbkToUtf8ForDisplay(LoadMessage(key)));
}

}  // namespace

std::unique_ptr<QDialog> MakeInterimMainDialog() {
    auto dialog = std::make_unique<QDialog>();
    dialog->setWindowTitle(CatalogueText(catalogue::BrindlecotDlg::kTitle));
    auto* layout = new QVBoxLayout(dialog.get());
    for (CatalogueKey key :
         {catalogue::BrindlecotDlg::kInstallKeyButton, catalogue::BrindlecotDlg::kTemplatesButton,
          catalogue::BrindlecotDlg::kSingleFileButton}) {
        auto* button = new QPushButton(CatalogueText(key), dialog.get());
        button->setEnabled(false);
        layout->addWidget(button);
    }
    return dialog;
}

void RunInterimMainDialog() {
    MakeInterimMainDialog()->exec();
}

}  // namespace brindlecot
