#pragma once

namespace brindlecot {

// The main window until the full main dialog lands: its title and its three buttons,
// which stay disabled because the dialogs behind them are not part of the program yet.
void RunInterimMainDialog();

}  // namespace brindlecot
