#include "filecrypt/key_installation.h"
#include "base/catalogue/brindlecot_dlg_keys.h"
#include "base/catalogue/dialog_crypt_key_keys.h"

#include "base/message_catalogue.h"
#include "filecrypt/installed_key.h"
#include "filecrypt/key_rules.h"

namespace brindlecot {
namespace {

CatalogueKey ProblemMessageKey(KeyEntryProblem problem) {
    switch (problem) {
        case KeyEntryProblem::Empty:
            return catalogue::DialogCryptKey::kKeyEmpty;
        case KeyEntryProblem::WrongLength:
            return catalogue::DialogCryptKey::kKeyNotEightCharacters;
        case KeyEntryProblem::NotHexadecimal:
            return catalogue::DialogCryptKey::kKeyNotHex;
        case KeyEntryProblem::WrongCheckDigit:
            return catalogue::DialogCryptKey::kCheckDigitWrong;
        case KeyEntryProblem::None:
            break;
    }
    return {};
}

}  // namespace

std::optional<std::string> AcceptKeyEntry(std::string_view entry, UserInterface& ui) {
    const std::string caption = LoadMessage(catalogue::DialogCryptKey::kTitle);
    KeyEntryCheck check = CheckKeyEntry(entry);
    if (check.problem != KeyEntryProblem::None) {
        ui.ShowMessage(caption, LoadMessage(ProblemMessageKey(check.problem)));
        return std::nullopt;
    }
    if (!ui.AskYesNo(caption, LoadMessage(catalogue::DialogCryptKey::kConfirmReplace)))
        return std::nullopt;
    return std::move(check.key);
}

KeyInstallOutcome InstallAcceptedKey(std::string_view key) {
    // Keys are 8 characters; a text the store cannot hold is not a key at all.
    InstalledKey candidate;
    if (key.empty() || !candidate.Replace(key))
        return KeyInstallOutcome::NotInstalled;
    switch (WriteKeyConf(candidate.Text())) {
        case KeyConfWrite::Written:
            CurrentInstalledKey().Replace(candidate.Text());
            return KeyInstallOutcome::Installed;
        case KeyConfWrite::NotWritten:
            return KeyInstallOutcome::NotSaved;
        case KeyConfWrite::NotEncrypted:
            break;
    }
    return KeyInstallOutcome::NotInstalled;
}

void ShowKeyNotSaved(UserInterface& ui) {
    ui.ShowMessage(LoadMessage(catalogue::DialogCryptKey::kTitle),
                   LoadMessage(catalogue::DialogCryptKey::kKeyNotSaved));
}

void ShowKeyInstalled(UserInterface& ui) {
    const std::string caption = LoadMessage(catalogue::BrindlecotDlg::kKeyInstalledCaption);
    ui.ShowMessage(caption, LoadMessage(catalogue::BrindlecotDlg::kKeyInstalled));
}

KeyInstallOutcome InstallKey(std::string_view entry, UserInterface& ui) {
    const std::optional<std::string> key = AcceptKeyEntry(entry, ui);
    if (!key)
        return KeyInstallOutcome::NotInstalled;
    const KeyInstallOutcome outcome = InstallAcceptedKey(*key);
    if (outcome == KeyInstallOutcome::Installed)
        ShowKeyInstalled(ui);
    if (outcome == KeyInstallOutcome::NotSaved)
        ShowKeyNotSaved(ui);
    return outcome;
}

}  // namespace brindlecot
