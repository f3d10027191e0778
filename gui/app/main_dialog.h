#pragma once

#include "base/user_interface.h"
#include "gui/controls/skinned_dialog.h"

#include <functional>

class QAction;
class QPushButton;

namespace brindlecot {

// The program's window: install a key, open the batch templates, seal or open a single
// file. The two file functions need an installed key; their buttons are enabled only
// once one was loaded at opening or installed here, and nothing disables them again.
// The About box is offered in the window's context menu and on F1.
class MainDialog : public controls::SkinnedDialog {
    Q_OBJECT

public:
    // Opens a modal dialog over the main dialog (`parent`) and returns when it closes.
    using DialogHook = std::function<void(QWidget* parent)>;

    // Loads the installed key. Messages and questions go to `ui` when one is given (it
    // must outlive the dialog), otherwise to message boxes over the dialog in front.
    explicit MainDialog(UserInterface* ui = nullptr, QWidget* parent = nullptr);

    // What the batch-template and single-file buttons open. The template chooser does
    // nothing until set; the single-file button opens the single-file dialog.
    void SetTemplateChooserHook(DialogHook hook) { templateChooser_ = std::move(hook); }
    void SetSingleFileHook(DialogHook hook) { singleFile_ = std::move(hook); }

    QPushButton* InstallKeyButton() const { return installKey_; }
    QPushButton* TemplatesButton() const { return templates_; }
    QPushButton* SingleFileButton() const { return singleFileButton_; }
    QAction* AboutAction() const { return about_; }

    void InstallKey();
    void RunSingleFileDialog(QWidget* parent);
    void ShowAbout();

private:
    void EnableFileButtons(bool enabled);

    UserInterface* injectedUi_;
    QPushButton* installKey_;
    QPushButton* templates_;
    QPushButton* singleFileButton_;
    QAction* about_;
    DialogHook templateChooser_;
    DialogHook singleFile_;
};

// Runs the main dialog modally until it is closed (start-up's last step); `prepare`, when
// given, is called on the dialog before it is shown (to plug in the dialogs it opens).
void RunMainDialog(const std::function<void(MainDialog&)>& prepare = {});

}  // namespace brindlecot
