#include "tests/commands/test_support.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "app/gbk_text.h"

namespace brindlecot::testing_support {

TemporaryFolder::TemporaryFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "brindlecot-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TemporaryFolder::~TemporaryFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

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
    for (const Shown& shown : messages) texts.push_back(shown.text);
    return texts;
}

std::string ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteFileBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path);
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

std::string Gbk(const std::string& utf8) {
    std::optional<std::string> gbk = Utf8ToGbk(utf8);
    if (!gbk) throw std::runtime_error("not representable in GBK: " + utf8);
    return *gbk;
}

}  // namespace brindlecot::testing_support
