#pragma once

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "app/user_interface.h"

namespace brindlecot::testing {

// The one test double for the person: records every message, question and file dialog in
// order, and answers from scripts. A question with no scripted answer gets
// `defaultAnswer`; a file dialog with no scripted choice is cancelled.
class ScriptedUserInterface final : public UserInterface {
public:
    enum class Kind { Message, Question, OpenFile, SaveFile };
    struct Event {
        Kind kind;
        std::string caption;  // empty for file dialogs
        std::string text;     // the filter for file dialogs
        bool operator==(const Event&) const = default;
    };

    void ShowMessage(const std::string& caption, const std::string& text) override {
        events.push_back({Kind::Message, caption, text});
    }
    bool AskYesNo(const std::string& caption, const std::string& text) override {
        events.push_back({Kind::Question, caption, text});
        return Next(answers).value_or(defaultAnswer);
    }
    std::optional<std::string> ChooseFileToOpen(const std::string& filter) override {
        events.push_back({Kind::OpenFile, "", filter});
        return Next(filesToOpen);
    }
    std::optional<std::string> ChooseFileToSave(const std::string& filter) override {
        events.push_back({Kind::SaveFile, "", filter});
        return Next(filesToSave);
    }

    // The events of one kind, in order.
    std::vector<Event> Of(Kind kind) const {
        std::vector<Event> selected;
        for (const Event& event : events) {
            if (event.kind == kind)
                selected.push_back(event);
        }
        return selected;
    }
    std::vector<Event> Messages() const { return Of(Kind::Message); }
    std::vector<Event> Questions() const { return Of(Kind::Question); }
    // The texts of the messages shown, in order.
    std::vector<std::string> Texts() const {
        std::vector<std::string> texts;
        for (const Event& event : Messages())
            texts.push_back(event.text);
        return texts;
    }

    std::vector<Event> events;
    std::deque<bool> answers;
    bool defaultAnswer = true;
    std::deque<std::string> filesToOpen;
    std::deque<std::string> filesToSave;

private:
    template <typename T>
    static std::optional<T> Next(std::deque<T>& script) {
        if (script.empty())
            return std::nullopt;
        T next = std::move(script.front());
        script.pop_front();
        return next;
    }
};

}  // namespace brindlecot::testing
