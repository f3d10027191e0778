#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "app/gbk_text.h"
#include "app/user_interface.h"
#include "template/text_table.h"

namespace brindlecot::workbook_test {

// A fresh folder that disappears with the test.
class TempFolder {
public:
    TempFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "workbook-test-XXXXXX").string();
        path_ = mkdtemp(pattern.data());
    }
    ~TempFolder() { std::filesystem::remove_all(path_); }
    std::string operator/(const std::string& name) const { return (path_ / name).string(); }
    const std::filesystem::path& path() const { return path_; }
    // Every entry of the folder, to check that nothing was left behind.
    std::vector<std::string> Entries() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(path_)) names.push_back(entry.path().filename());
        return names;
    }

private:
    std::filesystem::path path_;
};

inline std::string Gbk(const std::string& utf8) {
    auto converted = Utf8ToGbk(utf8);
    EXPECT_TRUE(converted.has_value()) << utf8;
    return converted.value_or("");
}

inline std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

inline void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}

inline std::string FixturePath(const std::string& name) {
    return std::string(BRINDLECOT_SOURCE_DIR) + "/tests/workbook/fixtures/" + name;
}

// Shows UTF-8 tables in failure messages instead of GBK bytes.
inline std::string Show(const TextTable& table) {
    std::string out;
    for (const auto& row : table) {
        out += "[";
        for (std::size_t c = 0; c < row.size(); ++c) out += (c ? "|" : "") + GbkToUtf8ForDisplay(row[c]);
        out += "]\n";
    }
    return out;
}

class RecordingInterface : public UserInterface {
public:
    std::vector<std::pair<std::string, std::string>> messages;
    void ShowMessage(const std::string& caption, const std::string& text) override {
        messages.emplace_back(caption, text);
    }
    bool AskYesNo(const std::string&, const std::string&) override { return false; }
    std::optional<std::string> ChooseFileToOpen(const std::string&) override { return std::nullopt; }
    std::optional<std::string> ChooseFileToSave(const std::string&) override { return std::nullopt; }
};

}  // namespace brindlecot::workbook_test
