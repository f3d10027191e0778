#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "base/user_interface.h"

namespace brindlecot {

// Catalogue sections of key installation.
inline constexpr char kKeyDialogSection[] = "DialogCryptKey";
inline constexpr char kMainDialogSection[] = "BrindlecotDlg";

// The OK button of the key installation dialog. A key that breaks a rule is reported
// ("DialogCryptKey" msg2 to msg5, captioned msg1) and nothing is answered: the dialog
// puts the focus back into its edit box and stays open. A key that passes is put to the
// person (msg6, Yes/No); Yes answers the upper-case key and the dialog closes with OK,
// No answers nothing and the dialog stays open.
[[nodiscard]] std::optional<std::string> AcceptKeyEntry(std::string_view entry, UserInterface& ui);

enum class KeyInstallOutcome {
    NotInstalled,  // refused, or the key could not be encrypted: no file, no message
    Installed,     // saved in keyConf and installed in memory
    NotSaved,      // keyConf could not be written: the previous key stays installed
};

// Installs a key the dialog accepted: writes keyConf, then replaces the installed key.
// Every command reloads the key from keyConf before sealing or opening, so a key that
// could not be saved must not look installed: files would be sealed with the old one.
// Shows nothing; the outcome tells the caller.
[[nodiscard]] KeyInstallOutcome InstallAcceptedKey(std::string_view key);

// The refusal after a keyConf that could not be written ("DialogCryptKey" msg10,
// captioned msg1).
void ShowKeyNotSaved(UserInterface& ui);

// The confirmation after an installation ("BrindlecotDlg" msg2, captioned msg1). The main
// dialog shows it after enabling its file buttons.
void ShowKeyInstalled(UserInterface& ui);

// Key installation for front ends without a dialog (the command line): the OK-button
// rules and question of AcceptKeyEntry, then InstallAcceptedKey, then ShowKeyInstalled
// or ShowKeyNotSaved. NotInstalled also when the entry was refused or the person
// answered No.
[[nodiscard]] KeyInstallOutcome InstallKey(std::string_view entry, UserInterface& ui);

}  // namespace brindlecot
