#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "app/user_interface.h"

namespace brindlecot::testing_support {

// Records everything said to the person and answers from a script.
class ScriptedUserInterface final : public UserInterface {
public:
    struct Shown {
        std::string caption;
        std::string text;
    };

    void ShowMessage(const std::string& caption, const std::string& text) override;
    bool AskYesNo(const std::string& caption, const std::string& text) override;
    std::optional<std::string> ChooseFileToOpen(const std::string& filter) override;
    std::optional<std::string> ChooseFileToSave(const std::string& filter) override;

    std::vector<Shown> messages;
    std::vector<Shown> questions;
    std::vector<std::string> openFilters;
    std::vector<std::string> saveFilters;
    bool answerYes = true;
    std::optional<std::string> fileToOpen;
    std::optional<std::string> fileToSave;

    // The texts shown, in order.
    std::vector<std::string> Texts() const;
};

// Files anywhere under `folder` whose names hold "_temp", as every scratch name does.
std::vector<std::string> LeftoverScratchFiles(const std::filesystem::path& folder);

}  // namespace brindlecot::testing_support
