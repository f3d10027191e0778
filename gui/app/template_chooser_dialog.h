#pragma once

#include <QWidget>

#include <functional>
#include <memory>
#include <string>

#include "gui/app/qt_user_interface.h"
#include "gui/controls/skinned_dialog.h"

class QComboBox;
class QPushButton;

namespace brindlecot {

// Opens the template editor window for one template, owned by `owner`: `path` is the
// definition file, `caption` the template's name in GBK. `closeRequest` is to be called
// from the event loop when the person leaves the editor. Answers the shown window, or
// nullptr when the template did not load (the loader has shown its message). Destroying
// the window closes the editor and frees its records.
using TemplateEditorOpener = std::function<std::unique_ptr<QWidget>(
    QWidget* owner, const std::string& path, const std::string& caption,
    std::function<void()> closeRequest)>;

// The list of the templates in conf/ and the one editor window opened from it. The
// chooser stays open under its editor, forgets the editor only once the editor has asked
// to close, and closes the editor before it ends itself.
class TemplateChooserDialog : public controls::SkinnedDialog {
    Q_OBJECT

public:
    // Messages go to `ui` when one is given (it must outlive the dialog), otherwise to
    // message boxes over the chooser.
    TemplateChooserDialog(TemplateEditorOpener opener, UserInterface* ui = nullptr,
                          QWidget* parent = nullptr);
    ~TemplateChooserDialog() override;

    QComboBox* TemplateList() const { return list_; }
    QPushButton* OkButton() const { return ok_; }
    QPushButton* ReturnButton() const { return return_; }
    // The open editor window, or nullptr.
    QWidget* Editor() const { return editor_.get(); }

    // OK: opens the editor for the chosen template unless one is open already.
    void OpenChosen();

public slots:
    // Return, Escape and the close box: the editor closes first, then the chooser.
    void reject() override;

protected:
    void PaintLabels(QPainter& painter) override;

private:
    void FillList();
    void CloseEditor();
    void Say(const std::string& text);

    TemplateEditorOpener opener_;
    UserInterface* injectedUi_;
    QtUserInterface ownUi_;
    std::string caption_;  // GBK
    std::unique_ptr<QWidget> editor_;
    QComboBox* list_;
    QPushButton* ok_;
    QPushButton* return_;
};

}  // namespace brindlecot
