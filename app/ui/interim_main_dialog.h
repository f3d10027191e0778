#pragma once

#include <QDialog>

#include <memory>

namespace brindlecot {

// The main window until the full main dialog lands: its title and its three buttons,
// which stay disabled because the dialogs behind them are not part of the program yet.
std::unique_ptr<QDialog> MakeInterimMainDialog();

// Shows it modally and returns when it is closed.
void RunInterimMainDialog();

}  // namespace brindlecot
