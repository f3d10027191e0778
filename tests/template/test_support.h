#pragma once

#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "app/app_path.h"
#include "app/gbk_text.h"
#include "app/user_interface.h"

namespace brindlecot::testing {

// GBK bytes of a UTF-8 literal, converted by iconv rather than written by hand.
inline std::string Gbk(std::string_view utf8) {
    std::optional<std::string> gbk = Utf8ToGbk(utf8);
    EXPECT_TRUE(gbk.has_value()) << utf8;
    return gbk.value_or(std::string());
}

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
    std::optional<std::string> ChooseFileToOpen(const std::string&) override { return std::nullopt; }
    std::optional<std::string> ChooseFileToSave(const std::string&) override { return std::nullopt; }

    std::vector<Message> messages;
    std::vector<Message> questions;
    bool answer = true;
};

// Texts come from the shipped catalogues.
class CatalogueTest : public ::testing::Test {
protected:
    void SetUp() override { SetAppFolder(BRINDLECOT_SOURCE_DIR "/dist"); }
};

// A fresh folder, removed with everything in it when the test ends.
class TempFolder {
public:
    TempFolder() {
        std::random_device seed;
        path_ = std::filesystem::temp_directory_path() /
                ("brindlecot-template-" + std::to_string(seed()) + "-" + std::to_string(seed()));
        std::filesystem::create_directories(path_);
    }
    ~TempFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }

    std::string Write(const std::string& name, const std::string& bytes) const {
        const std::filesystem::path file = path_ / name;
        std::ofstream out(file, std::ios::binary);
        out << bytes;
        return file.string();
    }

private:
    std::filesystem::path path_;
};

}  // namespace brindlecot::testing
