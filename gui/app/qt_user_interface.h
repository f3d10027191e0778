#pragma once

#include "base/user_interface.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QPointer>
#include <QStringList>
#include <QWidget>

#include <memory>

namespace brindlecot {

// The person-facing calls as Qt dialogs. Texts arrive as GBK and are shown as UTF-8.
//
// When nobody can answer (no QApplication yet, or the "offscreen" or "minimal" platform,
// as in tests and on headless machines), a message is written to standard error as
// "caption: text" in UTF-8 instead of blocking on a box nobody can close; a question is
// answered No and a file choice is cancelled, so nothing proceeds unattended.
class QtUserInterface : public UserInterface {
public:
    enum class SaveDialog {
        // A name typed without an extension gets the one of the selected type's pattern.
        Standard,
        // CFileDlgRe: the extension follows the selected type's place in the filter.
        ExtensionByTypeOrder,
    };

    explicit QtUserInterface(QWidget* owner = nullptr,
                             SaveDialog saveDialog = SaveDialog::Standard);

    // Message boxes and file dialogs open over this window (the current dialog).
    void SetOwner(QWidget* owner);

    void ShowMessage(const std::string& caption, const std::string& text) override;
    bool AskYesNo(const std::string& caption, const std::string& text) override;
    bool AskYesNoDefaultNo(const std::string& caption, const std::string& text) override;
    // Both open in the folder last chosen for `purpose` (RememberedFolder).
    std::optional<std::string> ChooseFileToOpen(const std::string& filter,
                                                FilePurpose purpose) override;
    std::optional<std::string> ChooseFileToSave(const std::string& filter,
                                                FilePurpose purpose) override;

    // True when a person can answer dialogs on this platform.
    static bool PersonCanAnswer();

private:
    bool Ask(const std::string& caption, const std::string& text, bool defaultYes);

    QPointer<QWidget> owner_;
    SaveDialog saveDialog_;
};

// The box of AskYesNo (Yes the default) and AskYesNoDefaultNo, over `owner`.
std::unique_ptr<QMessageBox> MakeQuestionBox(QWidget* owner, const std::string& caption,
                                             const std::string& text, bool defaultYes);

// The folder a file was last chosen in for `purpose`, in any earlier session; empty when
// none is known or it no longer exists. Kept in UserConfigFolder()/folders.ini, never
// beside the executable.
QString RememberedFolder(FilePurpose purpose);
void RememberFolderOf(FilePurpose purpose, const QString& chosenFile);

// The save-file dialog of single-file sealing: the platform's save dialog (overwrite
// prompt included) whose extension for a name typed without one follows the file type
// the person selects (ExtensionAfterTypeChange); none is added before the first change.
class CFileDlgRe : public QFileDialog {
public:
    CFileDlgRe(QWidget* owner, const QStringList& nameFilters);
};

}  // namespace brindlecot
