#pragma once

#include "base/user_interface.h"
#include "filecrypt/single_file_crypt.h"
#include "gui/controls/background_task.h"
#include "gui/controls/skinned_dialog.h"

#include <string>

class QLineEdit;
class QPushButton;

namespace brindlecot {

// Seals or opens one file with the installed key. The two path boxes are filled only
// through their browse buttons; Encrypt and Decrypt hand the paths to the core's
// SealSingleFile / OpenSingleFile, which check them, report every outcome and leave
// nothing half-written. The call runs off the GUI thread: the dialog stays painted,
// its buttons are disabled meanwhile, and a long one shows its progress.
class SingleFileDialog : public controls::SkinnedDialog {
    Q_OBJECT

public:
    // Messages and file dialogs go through `ui`, which must outlive the dialog; for the
    // program it is a QtUserInterface over this dialog whose save dialog is CFileDlgRe.
    // conf/filecrypt.config is read here: a broken one is reported and the dialog opens
    // with what was read up to the fault.
    explicit SingleFileDialog(UserInterface& ui, QWidget* parent = nullptr);

    const std::string& InputPath() const { return inputPath_; }
    const std::string& OutputPath() const { return outputPath_; }
    // The extension of the input last chosen, without the dot.
    const std::string& InputExtension() const { return inputExtension_; }
    const FileCryptSettings& Settings() const { return settings_; }

    QLineEdit* InputEdit() const { return inputEdit_; }
    QLineEdit* OutputEdit() const { return outputEdit_; }
    QPushButton* InputBrowseButton() const { return inputBrowse_; }
    QPushButton* OutputBrowseButton() const { return outputBrowse_; }
    QPushButton* EncryptButton() const { return encrypt_; }
    QPushButton* DecryptButton() const { return decrypt_; }
    QPushButton* ReturnButton() const { return return_; }
    const controls::BackgroundTask& Task() const { return *task_; }

    void BrowseInput();
    void BrowseOutput();
    void Encrypt();
    void Decrypt();

protected:
    void PaintLabels(QPainter& painter) override;

private:
    enum class Command { Seal, Open };
    void Run(Command command);

    UserInterface& ui_;
    QLineEdit* inputEdit_;
    QPushButton* inputBrowse_;
    QLineEdit* outputEdit_;
    QPushButton* outputBrowse_;
    QPushButton* encrypt_;
    QPushButton* decrypt_;
    QPushButton* return_;
    controls::BackgroundTask* task_;
    QString inputLabel_;
    QString outputLabel_;
    std::string inputPath_;
    std::string outputPath_;
    std::string inputExtension_;
    FileCryptSettings settings_;
};

// How far sealing (`sealing`) or opening `inputPath` into `outputPath` has come: the size
// of the file being written beside the output against the size the result will have.
// The expected size is unknown (0) where a workbook is converted on the way.
controls::TaskProgress SingleFileProgress(const std::string& inputPath,
                                          const std::string& outputPath, bool sealing,
                                          bool convertsWorkbook);

}  // namespace brindlecot
