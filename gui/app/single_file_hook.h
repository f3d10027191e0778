#pragma once

#include "gui/app/qt_user_interface.h"
#include "gui/filecrypt/single_file_dialog.h"

#include <QWidget>

namespace brindlecot {

// What the main dialog's single-file button opens: the single-file dialog, modal over
// `parent`, with its message boxes over it and CFileDlgRe as its save dialog. Plug it in
// with MainDialog::SetSingleFileHook(&OpenSingleFileDialog).
inline void OpenSingleFileDialog(QWidget* parent) {
    // Until the dialog exists, a faulty filecrypt.config is reported over `parent`.
    QtUserInterface ui(parent, QtUserInterface::SaveDialog::ExtensionByTypeOrder);
    SingleFileDialog dialog(ui, parent);
    ui.SetOwner(&dialog);
    dialog.exec();
}

}  // namespace brindlecot
