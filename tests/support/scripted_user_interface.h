#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "base/user_interface.h"

namespace brindlecot::testing {

// The one test double for the person: records every message, question and file dialog in
// order, and answers from scripts. A question with no scripted answer left gets
// `defaultAnswer`; a file dialog with no scripted choice left gets `fileToOpen` /
// `fileToSave`, which stay until changed (nothing: the person cancels).
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
        Record({Kind::Message, caption, text});
    }
    bool AskYesNo(const std::string& caption, const std::string& text) override {
        Record({Kind::Question, caption, text});
        return Next(answers).value_or(defaultAnswer);
    }
    std::optional<std::string> ChooseFileToOpen(const std::string& filter, FilePurpose) override {
        Record({Kind::OpenFile, "", filter});
        std::optional<std::string> next = Next(filesToOpen);
        return next ? next : fileToOpen;
    }
    std::optional<std::string> ChooseFileToSave(const std::string& filter, FilePurpose) override {
        Record({Kind::SaveFile, "", filter});
        std::optional<std::string> next = Next(filesToSave);
        return next ? next : fileToSave;
    }

    // The events of one kind, in order.
    // Const, so that a test cannot mistake clearing a copy for clearing the record.
    const std::vector<Event> Of(Kind kind) const {
        std::vector<Event> selected;
        for (const Event& event : events) {
            if (event.kind == kind)
                selected.push_back(event);
        }
        return selected;
    }
    const std::vector<Event> Messages() const { return Of(Kind::Message); }
    const std::vector<Event> Questions() const { return Of(Kind::Question); }
    std::vector<std::string> OpenFilters() const { return TextsOf(Kind::OpenFile); }
    std::vector<std::string> SaveFilters() const { return TextsOf(Kind::SaveFile); }
    // The texts of the messages shown, in order.
    std::vector<std::string> Texts() const { return TextsOf(Kind::Message); }

    std::vector<Event> events;
    std::deque<bool> answers;
    bool defaultAnswer = true;
    std::deque<std::string> filesToOpen;
    std::deque<std::string> filesToSave;
    std::optional<std::string> fileToOpen;
    std::optional<std::string> fileToSave;
    // Told of every event as it happens, for tests that interleave it with other calls.
    std::function<void(const Event&)> onEvent;

private:
    void Record(Event event) {
        events.push_back(std::move(event));
        if (onEvent)
            onEvent(events.back());
    }

    std::vector<std::string> TextsOf(Kind kind) const {
        std::vector<std::string> texts;
        for (const Event& event : Of(kind))
            texts.push_back(event.text);
        return texts;
    }

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
