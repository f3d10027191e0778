#pragma once

#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/app_path.h"
#include "app/user_interface.h"
#include "tests/support/gbk_literal.h"
#include "tests/support/test_files.h"

namespace brindlecot::testing {

// Records every call; answers questions with `answer`.
class FakeUserInterface : public UserInterface {
public:
    struct Message {
        std::string caption;
        std::string text;
    };

    void ShowMessage(const std::string& caption, const std::string& text) override {
        messages.push_back({caption, text});
    }
    bool AskYesNo(const std::string& caption, const std::string& text) override {
        questions.push_back({caption, text});
        return answer;
    }
    std::optional<std::string> ChooseFileToOpen(const std::string&) override {
        return std::nullopt;
    }
    std::optional<std::string> ChooseFileToSave(const std::string&) override {
        return std::nullopt;
    }

    std::vector<Message> messages;
    std::vector<Message> questions;
    bool answer = true;
};

// Texts come from the shipped catalogues.
class CatalogueTest : public ::testing::Test {
protected:
    void SetUp() override { SetAppFolder(BRINDLECOT_SOURCE_DIR "/dist"); }
};

}  // namespace brindlecot::testing
