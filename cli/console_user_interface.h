#pragma once

#include <optional>
#include <ostream>
#include <string>

#include "base/user_interface.h"

namespace brindlecot {

// The person at a terminal: messages go to standard error in UTF-8, file choices are
// the paths given on the command line, and questions get the answer the command implies.
class ConsoleUserInterface final : public UserInterface {
public:
    explicit ConsoleUserInterface(std::ostream& errors) : errors_(errors) {}

    void AnswerFileToOpen(std::string path) { fileToOpen_ = std::move(path); }
    void AnswerFileToSave(std::string path) { fileToSave_ = std::move(path); }
    // `shown` false answers without writing the question: for a question that the command
    // has settled by itself.
    void AnswerQuestions(bool yes, bool shown = true) {
        answerYes_ = yes;
        showQuestions_ = shown;
    }

    void ShowMessage(const std::string& caption, const std::string& text) override;
    bool AskYesNo(const std::string& caption, const std::string& text) override;
    std::optional<std::string> ChooseFileToOpen(const std::string& filter,
                                                FilePurpose purpose) override;
    std::optional<std::string> ChooseFileToSave(const std::string& filter,
                                                FilePurpose purpose) override;

    // Writes a line of the front end's own (already UTF-8) text.
    void Say(const std::string& utf8Line);

private:
    void WriteGbkLine(const std::string& caption, const std::string& text);

    std::ostream& errors_;
    std::optional<std::string> fileToOpen_;
    std::optional<std::string> fileToSave_;
    bool answerYes_ = false;
    bool showQuestions_ = true;
};

}  // namespace brindlecot
