#include "filecrypt/key_installation.h"

#include "app/message_catalogue.h"
#include "filecrypt/installed_key.h"
#include "filecrypt/key_rules.h"

namespace brindlecot {
namespace {

const char* ProblemMessageKey(KeyEntryProblem problem) {
    switch (problem) {
        case KeyEntryProblem::Empty:
            return "msg2";
        case KeyEntryProblem::WrongLength:
            return "msg3";
        case KeyEntryProblem::NotHexadecimal:
            return "msg4";
        case KeyEntryProblem::WrongCheckDigit:
            return "msg5";
        case KeyEntryProblem::None:
            break;
    }
    return "";
}

}  // namespace

std::optional<std::string> AcceptKeyEntry(std::string_view entry, UserInterface& ui) {
    const std::string caption = LoadMessage(kKeyDialogSection, "msg1");
    KeyEntryCheck check = CheckKeyEntry(entry);
    if (check.problem != KeyEntryProblem::None) {
        ui.ShowMessage(caption, LoadMessage(kKeyDialogSection, ProblemMessageKey(check.problem)));
        return std::nullopt;
    }
    if (!ui.AskYesNo(caption, LoadMessage(kKeyDialogSection, "msg6")))
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
    ui.ShowMessage(LoadMessage(kKeyDialogSection, "msg1"), LoadMessage(kKeyDialogSection, "msg10"));
}

void ShowKeyInstalled(UserInterface& ui) {
    const std::string caption = LoadMessage(kMainDialogSection, "msg1");
    ui.ShowMessage(caption, LoadMessage(kMainDialogSection, "msg2"));
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
