#include "tests/commands/app_folder.h"

#include <algorithm>
#include <filesystem>

#include "base/app_path.h"
#include "base/crypto_binding.h"
#include "base/message_catalogue.h"
#include "filecrypt/installed_key.h"
#include "filecrypt/key_file_cipher.h"
#include "filecrypt/key_installation.h"
#include "filecrypt/key_rules.h"
#include "tests/support/valid_key.h"

namespace brindlecot::testing_support {

namespace fs = std::filesystem;
using testing::Gbk;
using testing::WriteFileBytes;

std::string TemplateText(const TemplateSpec& spec) {
    const auto flag = [](bool value) {
        return value ? "true" : "false";
    };
    std::string text = "$mode\n";
    text += "typeLens=" + std::to_string(spec.typeLens) + "\n";
    text += "in=" + spec.in + "\nout=" + spec.out + "\n";
    text += std::string("inNeedDescrypt=") + flag(spec.inNeedDescrypt) + "\n";
    text += std::string("outNeedEncrypt=") + flag(spec.outNeedEncrypt) + "\n";
    text += std::string("needFill=") + flag(spec.needFill) + "\n";
    text += "splite=\"" + spec.splitter + "\"\n";
    text += "statistics=" + spec.statistics + "\n\n$tableItem\n";
    for (const FieldSpec& field : spec.fields) {
        text += "[" + Gbk(field.name) + "] index=" + std::to_string(field.index) +
                " value=" + Gbk(field.value) + " type=" + field.type +
                " visible=" + flag(field.visible) + " isRequisite=" + flag(field.required) + "\n";
    }
    return text + "$End\n";
}

TemplateSpec PaymentSpec() {
    TemplateSpec spec;
    spec.typeLens = 30;
    spec.statistics = "3|sum|0|" + testing::Gbk("元");
    spec.fields = {{"账号", 1, "10\"N\"", true, true},
                   {"姓名", 2, "8\"X\"", true, false},
                   {"金额", 3, "12\"M\"", true, false}};
    return spec;
}

std::string ValidTestKey() {
    return testing::ValidKey("3A5C0F1");
}

void AppFolderTest::SetUp() {
    const fs::path root = folder_.path();
    fs::create_directories(root / "conf");
    fs::create_directories(root / "driver");
    fs::create_directories(root / "work");
    fs::copy(fs::path(BRINDLECOT_SOURCE_DIR) / "dist" / "language", root / "language",
             fs::copy_options::recursive);
    fs::create_symlink(fs::path(BRINDLECOT_STAGE_DIR) / "driver" / "libKestrelvane.so",
                       root / "driver" / "libKestrelvane.so");
    SetAppFolder(root.string());
    SelectMessageCatalogue();
    ASSERT_TRUE(BindCryptoLibrary()) << "the staged library is needed: build target Kestrelvane";
    PrepareKeyFileCipher();
    CurrentInstalledKey().Clear();
}

void AppFolderTest::TearDown() {
    CurrentInstalledKey().Clear();
    UnbindCryptoLibrary();
}

std::string AppFolderTest::WriteTemplate(const std::string& name, const TemplateSpec& spec) {
    const std::string path = (folder_.path() / "conf" / (name + ".cfg")).string();
    WriteFileBytes(path, TemplateText(spec));
    return path;
}

void AppFolderTest::InstallTestKey() {
    ASSERT_EQ(InstallAcceptedKey(ValidTestKey()), KeyInstallOutcome::Installed);
}

std::string AppFolderTest::Work(const std::string& name) const {
    return (folder_.path() / "work" / name).string();
}

std::vector<std::string> AppFolderTest::WorkFiles() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder_.path() / "work"))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::unique_ptr<TemplateEditor> AppFolderTest::OpenEditor(const std::string& name,
                                                          const TemplateSpec& spec) {
    auto editor = std::make_unique<TemplateEditor>(ui_);
    const std::string path = WriteTemplate(name, spec);
    if (!editor->Open(path, Gbk(name))) {
        ADD_FAILURE() << "template " << name << " did not load";
        return nullptr;
    }
    return editor;
}

void AppFolderTest::AddRecord(TemplateEditor& editor, const std::vector<std::string>& cells) {
    editor.Records().AppendRow(cells);
}

std::string AppFolderTest::EditorText(CatalogueKey key) {
    return LoadMessage(key);
}

}  // namespace brindlecot::testing_support
