#include "tests/commands/test_support.h"

namespace brindlecot::testing_support {

void ScriptedUserInterface::ShowMessage(const std::string& caption, const std::string& text) {
    messages.push_back({caption, text});
}

bool ScriptedUserInterface::AskYesNo(const std::string& caption, const std::string& text) {
    questions.push_back({caption, text});
    return answerYes;
}

std::optional<std::string> ScriptedUserInterface::ChooseFileToOpen(const std::string& filter) {
    openFilters.push_back(filter);
    return fileToOpen;
}

std::optional<std::string> ScriptedUserInterface::ChooseFileToSave(const std::string& filter) {
    saveFilters.push_back(filter);
    return fileToSave;
}

std::vector<std::string> ScriptedUserInterface::Texts() const {
    std::vector<std::string> texts;
    for (const Shown& shown : messages)
        texts.push_back(shown.text);
    return texts;
}

std::vector<std::string> LeftoverScratchFiles(const std::filesystem::path& folder) {
    // "_temp", "_temp.txt", "_temp.xls" and the staged names "<output>_tempXXXXXX".
    std::vector<std::string> leftovers;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
        if (entry.path().filename().string().find("_temp") != std::string::npos) {
            leftovers.push_back(entry.path().string());
        }
    }
    return leftovers;
}

}  // namespace brindlecot::testing_support
