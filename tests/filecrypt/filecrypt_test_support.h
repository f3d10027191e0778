#pragma once

#include <sys/stat.h>

#include <deque>
#include <string>
#include <vector>

#include "app/app_path.h"
#include "app/user_interface.h"
#include "tests/support/test_files.h"

namespace brindlecot::testing {

// Records every message and answers questions from a script (Yes when nothing is left).
class RecordingUi : public UserInterface {
public:
    struct Shown {
        std::string kind;  // "message" or "question"
        std::string caption;
        std::string text;
        bool operator==(const Shown&) const = default;
    };

    void ShowMessage(const std::string& caption, const std::string& text) override {
        shown.push_back({"message", caption, text});
    }
    bool AskYesNo(const std::string& caption, const std::string& text) override {
        shown.push_back({"question", caption, text});
        if (answers.empty())
            return true;
        const bool answer = answers.front();
        answers.pop_front();
        return answer;
    }
    std::optional<std::string> ChooseFileToOpen(const std::string&) override {
        return std::nullopt;
    }
    std::optional<std::string> ChooseFileToSave(const std::string&) override {
        return std::nullopt;
    }

    std::vector<Shown> shown;
    std::deque<bool> answers;
};

// A catalogue whose every text names its own section and key ("DialogCryptKey/msg3"), so
// a test sees exactly which message was chosen.
inline std::string LabelledCatalogue() {
    const std::vector<std::pair<std::string, int>> sections = {{"Brindlecot", 2},
                                                               {"BrindlecotDlg", 6},
                                                               {"DialogCryptKey", 10},
                                                               {"DialogSingleFileCrypt", 22},
                                                               {"stdafx", 12}};
    std::string text;
    for (const auto& [section, count] : sections) {
        text += "[" + section + "]\r\n";
        for (int i = 1; i <= count; ++i) {
            text += "msg" + std::to_string(i) + "=" + section + "/msg" + std::to_string(i) + "\r\n";
        }
    }
    return text;
}

inline RecordingUi::Shown Message(const std::string& section, const std::string& key) {
    return {"message", section + "/msg1", section + "/" + key};
}

inline mode_t PermissionBits(const std::string& path) {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0)
        return 0;
    return status.st_mode & 07777;
}

}  // namespace brindlecot::testing
