#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "base/catalogue/catalogue_key.h"
#include "commands/template_editor.h"

#include "tests/commands/test_support.h"
#include "tests/support/gbk_literal.h"
#include "tests/support/test_files.h"

namespace brindlecot::testing_support {

struct FieldSpec {
    FieldSpec(std::string name, int index, std::string type, bool visible = true,
              bool required = false, std::string value = {})
        : name(std::move(name)),
          index(index),
          type(std::move(type)),
          visible(visible),
          required(required),
          value(std::move(value)) {}

    std::string name;  // UTF-8 here, GBK in the file
    int index = 0;
    std::string type;
    bool visible = true;
    bool required = false;
    std::string value;  // UTF-8
};

struct TemplateSpec {
    int typeLens = 0;
    std::string in = "txt";
    std::string out = "txt";
    bool inNeedDescrypt = false;
    bool outNeedEncrypt = false;
    bool needFill = true;
    std::string splitter;  // written between double quotes
    std::string statistics;
    std::vector<FieldSpec> fields;
};

// Account (required digits), name (text), amount (amount, summed in the statistics).
TemplateSpec PaymentSpec();

// The definition file text (GBK) for a spec.
std::string TemplateText(const TemplateSpec& spec);

// A key that passes the key rules.
std::string ValidTestKey();

// A folder laid out as the program's own: language/ (the shipped catalogues), conf/,
// driver/ (the built library) and, on request, keyConf; plus work/ for a test's files.
// The process's executable folder points at it for the test's duration.
class AppFolderTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Writes conf/<name>.cfg and answers its path.
    std::string WriteTemplate(const std::string& name, const TemplateSpec& spec);
    void InstallTestKey();
    // A path in work/.
    std::string Work(const std::string& name) const;
    std::vector<std::string> WorkFiles() const;
    // An editor on conf/<name>.cfg written from `spec`, opened under the caption `name`.
    std::unique_ptr<TemplateEditor> OpenEditor(const std::string& name, const TemplateSpec& spec);
    // Appends a record with these field cells (GBK) and no error.
    static void AddRecord(TemplateEditor& editor, const std::vector<std::string>& cells);
    // "DialogModelDlg" text.
    static std::string EditorText(CatalogueKey key);

    testing::TempFolder folder_;
    ScriptedUserInterface ui_;
};

}  // namespace brindlecot::testing_support
