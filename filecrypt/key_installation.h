#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "app/user_interface.h"

namespace brindlecot {

// Catalogue sections of key installation.
inline constexpr char kKeyDialogSection[] = "DialogCryptKey";
inline constexpr char kMainDialogSection[] = "BrindlecotDlg";

// The OK button of the key installation dialog. A key that breaks a rule is reported
// ("DialogCryptKey" msg2 to msg5, captioned msg1) and nothing is answered: the dialog
// puts the focus back into its edit box and stays open. A key that passes is put to the
// person (msg6, Yes/No); Yes answers the upper-case key and the dialog closes with OK,
// No answers nothing and the dialog stays open.
std::optional<std::string> AcceptKeyEntry(std::string_view entry, UserInterface& ui);

enum class KeyInstallOutcome {
    NotInstalled,       // refused, or the key could not be encrypted: no file, no message
    Installed,          // installed in memory and saved in keyConf
    InstalledNotSaved,  // installed in memory for this run; keyConf could not be written
};

// Installs a key the dialog accepted: replaces the installed key, then writes keyConf.
// Shows nothing; an unwritable keyConf is not reported to the person (the key works
// until the program ends), but the outcome tells the caller.
KeyInstallOutcome InstallAcceptedKey(std::string_view key);

// The confirmation after an installation ("BrindlecotDlg" msg2, captioned msg1). The main
// dialog shows it after enabling its file buttons.
void ShowKeyInstalled(UserInterface& ui);

// Key installation for front ends without a dialog (the command line): the OK-button
// rules and question of AcceptKeyEntry, then InstallAcceptedKey, then ShowKeyInstalled
// unless nothing was installed. NotInstalled also when the entry was refused or the
// person answered No.
KeyInstallOutcome InstallKey(std::string_view entry, UserInterface& ui);

}  // namespace brindlecot
