#include "gui/app/main_dialog.h"

#include "gui/controls/gbk_qstring.h"

#include "base/catalogue/brindlecot_dlg_keys.h"
#include "base/gbk_text.h"
#include "base/message_catalogue.h"
#include "filecrypt/installed_key.h"
#include "filecrypt/key_installation.h"
#include "filecrypt/secret_bytes.h"
#include "gui/app/about_dialog.h"
#include "gui/app/qt_user_interface.h"
#include "gui/app/single_file_hook.h"
#include "gui/filecrypt/key_dialog.h"
#include "gui/filecrypt/single_file_dialog.h"
#include "gui/resources/resource_paths.h"

#include <QAction>
#include <QPushButton>

#include <optional>

namespace brindlecot {
namespace {

namespace texts = catalogue::BrindlecotDlg;

}  // namespace

MainDialog::MainDialog(UserInterface* ui, QWidget* parent)
    : controls::SkinnedDialog(parent),
      injectedUi_(ui),
      installKey_(new QPushButton(this)),
      templates_(new QPushButton(this)),
      singleFileButton_(new QPushButton(this)),
      about_(new QAction(QString::fromUtf8(kAboutMenuText), this)) {
    SetClientSizeInDialogUnits(139, 103);
    PlaceInDialogUnits(installKey_, 42, 15, 59, 19);
    PlaceInDialogUnits(templates_, 42, 42, 59, 19);
    PlaceInDialogUnits(singleFileButton_, 42, 69, 59, 19);
    installKey_->setObjectName(QStringLiteral("button1016"));
    templates_->setObjectName(QStringLiteral("button1019"));
    singleFileButton_->setObjectName(QStringLiteral("button1020"));

    // The About item belongs in the window menu, which on Linux is the window manager's:
    // it is offered in the dialog's own context menu instead, and on F1.
    about_->setShortcut(QKeySequence(Qt::Key_F1));
    about_->setShortcutContext(Qt::WindowShortcut);
    addAction(about_);
    setContextMenuPolicy(Qt::ActionsContextMenu);
    connect(about_, &QAction::triggered, this, &MainDialog::ShowAbout);

    setWindowIcon(resources::ApplicationIcon());
    setWindowTitle(CatalogueText(texts::kTitle));
    installKey_->setText(CatalogueText(texts::kInstallKeyButton));
    templates_->setText(CatalogueText(texts::kTemplatesButton));
    singleFileButton_->setText(CatalogueText(texts::kSingleFileButton));
    EnableFileButtons(LoadInstalledKey());

    singleFile_ = [this](QWidget* parent) {
        RunSingleFileDialog(parent);
    };

    connect(installKey_, &QPushButton::clicked, this, &MainDialog::InstallKey);
    connect(templates_, &QPushButton::clicked, this, [this] {
        if (templateChooser_)
            templateChooser_(this);
    });
    connect(singleFileButton_, &QPushButton::clicked, this, [this] {
        if (singleFile_)
            singleFile_(this);
    });
    installKey_->setFocus();
}

void MainDialog::EnableFileButtons(bool enabled) {
    templates_->setEnabled(enabled);
    singleFileButton_->setEnabled(enabled);
}

void MainDialog::InstallKey() {
    std::optional<QtUserInterface> messageBoxes;
    if (!injectedUi_)
        messageBoxes.emplace();
    UserInterface& ui = injectedUi_ ? *injectedUi_ : *messageBoxes;

    std::string key;
    {
        KeyDialog dialog(ui, this);
        if (messageBoxes)
            messageBoxes->SetOwner(&dialog);
        // Anything but OK changes nothing: not the key in memory, keyConf or the buttons.
        if (dialog.exec() != QDialog::Accepted)
            return;
        key = dialog.AcceptedKey();
    }
    struct Wipe {
        std::string& text;
        ~Wipe() { WipeSecret(text.data(), text.size()); }
    } wipeKey{key};
    if (messageBoxes)
        messageBoxes->SetOwner(this);
    switch (InstallAcceptedKey(key)) {
        case KeyInstallOutcome::Installed:
            EnableFileButtons(true);
            ShowKeyInstalled(ui);
            break;
        case KeyInstallOutcome::NotSaved:
            // The key is not installed: files would otherwise be sealed with the old one
            // at the next reload. The buttons keep their state.
            ShowKeyNotSaved(ui);
            break;
        case KeyInstallOutcome::NotInstalled:
            break;
    }
}

void MainDialog::RunSingleFileDialog(QWidget* parent) {
    if (!injectedUi_) {
        OpenSingleFileDialog(parent);
        return;
    }
    SingleFileDialog dialog(*injectedUi_, parent);
    dialog.exec();
}

void MainDialog::ShowAbout() {
    AboutDialog about(this);
    about.exec();
}

void RunMainDialog(const std::function<void(MainDialog&)>& prepare) {
    MainDialog dialog;
    if (prepare)
        prepare(dialog);
    dialog.exec();
}

}  // namespace brindlecot
