#include "template/template_definition.h"
#include "base/catalogue/dialog_model_dlg_keys.h"

#include <filesystem>

#include "base/message_catalogue.h"
#include "base/message_format.h"
#include "template/field_rules.h"
#include "test_support.h"

namespace brindlecot {
namespace {

using testing::Gbk;
using Argument = TemplateLoadError::Argument;

constexpr const char* kModeBlock =
    "$mode\n typeLens=12\n in=txt\n out=xls\n inNeedDescrypt=false\n outNeedEncrypt=true\n"
    " needFill=FALSE\n splite=\"|\"\n statistics=2|sum|0|x\n";

std::string Field(const std::string& name, int index, const std::string& type, bool visible = true,
                  const std::string& value = "") {
    return "[" + name + "] index=" + std::to_string(index) + " value=" + value + " type=" + type +
           " visible=" + (visible ? "true" : "false") + " isRequisite=false\n";
}

class LoadTemplateTest : public testing::CatalogueTest {
protected:
    TemplateLoadResult Read(const std::string& content) {
        definition_ = Template{};
        definition_.name = Gbk("代发工资");
        return ReadTemplateDefinition(definition_, folder_.Write("t.cfg", content));
    }

    // Loads through the person-facing path and checks the one message against the catalogue.
    void ExpectRefusal(const std::string& content, CatalogueKey key,
                       const std::vector<Argument>& arguments) {
        const TemplateLoadResult result = Read(content);
        ASSERT_FALSE(result.loaded);
        ASSERT_TRUE(result.error.has_value());
        EXPECT_EQ(result.error->key, key.key);
        EXPECT_EQ(result.error->arguments, arguments);

        testing::FakeUserInterface ui;
        definition_ = Template{};
        definition_.name = Gbk("代发工资");
        EXPECT_FALSE(LoadTemplate(definition_, folder_.path().string() + "/t.cfg", ui));
        ASSERT_EQ(ui.Messages().size(), 1u);
        EXPECT_EQ(ui.Messages()[0].caption, Gbk("代发工资"));
        EXPECT_EQ(ui.Messages()[0].text, result.error->Text());
        EXPECT_FALSE(ui.Messages()[0].text.empty());
    }

    // A refusal for a limit: a catalogue text naming the limit.
    void ExpectLimit(const std::string& content, const std::string& mentioned) {
        const TemplateLoadResult result = Read(content);
        ASSERT_FALSE(result.loaded);
        ASSERT_TRUE(result.error.has_value());
        EXPECT_FALSE(result.error->key.empty());
        const std::string text = result.error->Text();
        EXPECT_NE(text.find(mentioned), std::string::npos) << GbkToUtf8ForDisplay(text);
        EXPECT_TRUE(GbkToUtf8(text).has_value());
    }

    testing::TempFolder folder_;
    Template definition_;
};

TEST_F(LoadTemplateTest, ReadsModeBlockAndOrdersFields) {
    const std::string content = std::string("any words before\n") + kModeBlock +
                                "between blocks\n$tableItem\n" + Field(Gbk("金额"), 3, "2\"M\"") +
                                Field("b", 1, "1\"X\"+1\"N\"") + Field("c", 2, "YYYYMMDD", false) +
                                "$End trailing words [x] index=1";
    const TemplateLoadResult result = Read(content);
    ASSERT_TRUE(result.loaded);
    EXPECT_FALSE(result.error.has_value());
    const Template& t = definition_;
    EXPECT_EQ(t.typeLens, 12);
    EXPECT_TRUE(t.inTxt);
    EXPECT_FALSE(t.inXls);
    EXPECT_TRUE(t.outXls);
    EXPECT_FALSE(t.outTxt);
    EXPECT_FALSE(t.inNeedDescrypt);
    EXPECT_TRUE(t.outNeedEncrypt);
    EXPECT_FALSE(t.needFill);
    EXPECT_TRUE(t.hasSplitter);
    EXPECT_EQ(t.splitter, "|");
    ASSERT_EQ(t.statistics.size(), 1u);
    EXPECT_EQ(t.statistics[0].fieldIndex, 2);
    ASSERT_EQ(t.FieldCount(), 3);
    EXPECT_EQ(t.fields[0].index, 1);
    EXPECT_EQ(t.fields[1].index, 2);
    EXPECT_EQ(t.fields[2].index, 3);
    EXPECT_EQ(t.fields[0].columnNumber, 1);
    EXPECT_EQ(t.fields[1].columnNumber, -1);
    EXPECT_EQ(t.fields[2].columnNumber, 2);
    EXPECT_EQ(t.fields[2].name, Gbk("金额"));
    EXPECT_EQ(t.fields[0].type, "1\"X\"+1\"N\"");
}

TEST_F(LoadTemplateTest, OnlyTheTokenSequenceCounts) {
    const TemplateLoadResult result = Read(
        "$MODE typeLens=3 in=xls out=txt inNeedDescrypt= outNeedEncrypt=no needFill=0\r\n"
        "splite=\"\" statistics=\r\n$TableItem [a]\tindex=-5\r\nvalue=A type=1\"X\"\n"
        "visible=FALSE isRequisite=x\n[b] index=7 value= type=2\"N\" visible=1 isRequisite=False");
    ASSERT_TRUE(result.loaded);
    EXPECT_TRUE(definition_.inNeedDescrypt);
    EXPECT_TRUE(definition_.outNeedEncrypt);
    EXPECT_TRUE(definition_.needFill);
    EXPECT_FALSE(definition_.hasSplitter);
    EXPECT_TRUE(definition_.statistics.empty());
    ASSERT_EQ(definition_.FieldCount(), 2);
    EXPECT_EQ(definition_.fields[0].index, -5);
    EXPECT_FALSE(definition_.fields[0].visible);
    EXPECT_TRUE(definition_.fields[0].isRequisite);
    EXPECT_EQ(definition_.fields[0].value, "A");
    EXPECT_FALSE(definition_.fields[1].isRequisite);
    EXPECT_EQ(definition_.fields[1].columnNumber, 1);
}

TEST_F(LoadTemplateTest, SeparatorAndFormatValues) {
    auto mode = [](const std::string& in, const std::string& splite) {
        return "$mode typeLens=0 in=" + in +
               " out=csv inNeedDescrypt=false outNeedEncrypt=false "
               "needFill=false splite=" +
               splite + " statistics= $tableItem";
    };
    ASSERT_TRUE(Read(mode("XLS,txt", "|")).loaded);
    EXPECT_TRUE(definition_.inXls);
    EXPECT_TRUE(definition_.inTxt);
    EXPECT_FALSE(definition_.outXls || definition_.outTxt);
    EXPECT_FALSE(definition_.hasSplitter);  // no double quote: unchanged
    ASSERT_TRUE(Read(mode("txt", "\",\"")).loaded);
    EXPECT_EQ(definition_.splitter, ",");
    ASSERT_TRUE(Read(mode("txt", "\"" + Gbk("丨") + "\"")).loaded);
    EXPECT_EQ(definition_.splitter, Gbk("丨"));
    ASSERT_TRUE(Read(mode("txt", "\"123456789\"")).loaded);
    EXPECT_EQ(definition_.splitter, "123456789");
}

TEST_F(LoadTemplateTest, FailsSilentlyWithoutAFieldBlockOrFile) {
    testing::FakeUserInterface ui;
    definition_.name = "t";
    EXPECT_FALSE(LoadTemplate(definition_, folder_.path().string() + "/missing.cfg", ui));
    EXPECT_FALSE(LoadTemplate(definition_, folder_.Write("a.cfg", kModeBlock), ui));
    EXPECT_FALSE(LoadTemplate(definition_, folder_.Write("b.cfg", ""), ui));
    EXPECT_TRUE(ui.Messages().empty());
}

TEST_F(LoadTemplateTest, FieldBlockWithoutModeBlockOrEnd) {
    EXPECT_TRUE(Read("$tableItem " + Field("a", 1, "0\"X\"")).loaded);
    EXPECT_TRUE(Read("$tableItem").loaded);
    ExpectRefusal("$tableItem " + Field("a", 1, "3\"X\""),
                  catalogue::DialogModelDlg::kLengthsDoNotAddUp, {0LL, 3LL});
}

TEST_F(LoadTemplateTest, ModeEntryErrors) {
    namespace keys = catalogue::DialogModelDlg;
    // Each entry with the message of its absence.
    const std::vector<CatalogueKey> missing = {keys::kModeWithoutTypeLens,
                                               keys::kInMissing,
                                               keys::kOutMissing,
                                               keys::kInNeedDescryptMissing,
                                               keys::kOutNeedEncryptMissing,
                                               keys::kNeedFillMissing,
                                               keys::kSpliteMissing,
                                               keys::kStatisticsMissing};
    const std::vector<std::string> entries = {"typeLens=0",       "in=txt",           "out=txt",
                                              "inNeedDescrypt=1", "outNeedEncrypt=1", "needFill=1",
                                              "splite=\"\"",      "statistics="};
    for (std::size_t wrong = 0; wrong < entries.size(); ++wrong) {
        std::string content = "$mode";
        for (std::size_t i = 0; i < entries.size(); ++i) {
            content += " " + (i == wrong ? std::string("other") : entries[i]);
        }
        SCOPED_TRACE(wrong);
        ExpectRefusal(content + " $tableItem", missing[wrong], {});
        // A file that ends at that entry gives the same message.
        std::string truncated = "$mode";
        for (std::size_t i = 0; i < wrong; ++i)
            truncated += " " + entries[i];
        ExpectRefusal(truncated, missing[wrong], {});
    }
    ExpectRefusal("$mode TypeLens=5", catalogue::DialogModelDlg::kModeWithoutTypeLens, {});
    ExpectRefusal(
        "$mode typeLens=0 in=txt out=txt inNeedDescrypt=1 outNeedEncrypt=1 needFill=1 splite= "
        "statistics=1|sum|0 $tableItem",
        catalogue::DialogModelDlg::kStatisticsMissing, {});
}

TEST_F(LoadTemplateTest, TypeLensWithoutDigitsIsZero) {
    ExpectRefusal(
        "$mode typeLens=abc in=txt out=txt inNeedDescrypt=1 outNeedEncrypt=1 needFill=1 splite= "
        "statistics= $tableItem " +
            Field("a", 1, "4\"N\""),
        catalogue::DialogModelDlg::kLengthsDoNotAddUp, {0LL, 4LL});
}

TEST_F(LoadTemplateTest, FieldEntryErrors) {
    const std::string head = std::string(kModeBlock) + "$tableItem ";
    const std::string name = Gbk("户名");
    ExpectRefusal(head + "name index=1", catalogue::DialogModelDlg::kFieldWithoutName,
                  {std::string("name")});
    ExpectRefusal(head + "[] index=1", catalogue::DialogModelDlg::kFieldWithoutName,
                  {std::string("[]")});
    ExpectRefusal(head + "[" + name + "] value=1", catalogue::DialogModelDlg::kFieldWithoutIndex,
                  {name, std::string("index")});
    ExpectRefusal(head + "[" + name + "]", catalogue::DialogModelDlg::kFieldWithoutIndex,
                  {name, std::string("index")});
    ExpectRefusal(head + "[" + name + "] index=1 type=1\"X\"",
                  catalogue::DialogModelDlg::kFieldWithoutValue, {name, std::string("value")});
    ExpectRefusal(head + "[" + name + "] index=1 value=",
                  catalogue::DialogModelDlg::kFieldWithoutType, {name, std::string("type")});
    ExpectRefusal(head + "[" + name + "] index=1 value= type=1\"X\" isRequisite=true",
                  catalogue::DialogModelDlg::kFieldWithoutVisible, {name, std::string("visible")});
    ExpectRefusal(head + "[" + name + "] index=1 value= type=1\"X\" visible=true $End",
                  catalogue::DialogModelDlg::kFieldWithoutIsRequisite,
                  {name, std::string("isRequisite")});
}

TEST_F(LoadTemplateTest, DuplicateIndexAndLengthSum) {
    const std::string head = std::string(kModeBlock) + "$tableItem ";
    ExpectRefusal(head + Field("a", 5, "6\"X\"") + Field("b", 5, "6\"X\""),
                  catalogue::DialogModelDlg::kDuplicateIndex,
                  {std::string("b"), std::string("index"), 5LL});
    ExpectRefusal(head + Field("a", 5, "6\"X\"") + Field("b", 6, "5\"X\""),
                  catalogue::DialogModelDlg::kLengthsDoNotAddUp, {12LL, 11LL});
    ExpectRefusal(head + Field("a", 5, "6\"X\"+7\"N\""),
                  catalogue::DialogModelDlg::kLengthsDoNotAddUp, {12LL, 13LL});
    // The message names the numbers in the catalogue's words.
    Read(head + Field("a", 5, "6\"X\"+7\"N\""));
}

TEST_F(LoadTemplateTest, RefusesDefinitionsBeyondTheLimits) {
    const std::string empty =
        "$mode typeLens=0 in=txt out=txt inNeedDescrypt=1 outNeedEncrypt=1 needFill=1 "
        "splite= statistics= $tableItem ";
    std::string fields;
    for (int i = 0; i < 1024; ++i)
        fields += Field("f" + std::to_string(i), i, "0\"X\"");
    EXPECT_TRUE(Read(empty + fields).loaded);
    EXPECT_EQ(definition_.FieldCount(), 1024);
    ExpectLimit(empty + fields + Field("f", 5000, "0\"X\""), "1024");

    EXPECT_TRUE(Read(std::string(2047, 'w') + " " + empty).loaded);
    ExpectLimit(std::string(2048, 'w') + " " + empty, "2047");
    ExpectLimit(empty + "[a] index=1 value=" + std::string(3000, 'v'), "2047");

    EXPECT_TRUE(Read(empty + Field(std::string(99, 'n'), 1, "0\"X\"")).loaded);
    ExpectLimit(empty + Field(std::string(100, 'n'), 1, "0\"X\""), "99");
    EXPECT_TRUE(Read(empty + Field("a", 1, "0\"X\"", true, std::string(1023, 'v'))).loaded);
    ExpectLimit(empty + Field("a", 1, "0\"X\"", true, std::string(1024, 'v')), "1023");
    EXPECT_TRUE(Read(empty + Field("a", 1, "0\"X\"+00000000000\"N\"")).loaded);
    ExpectLimit(empty + Field("a", 1, "0\"X\"+000000000000\"N\""), "19");

    // No value is longer than 2047 bytes, so no field may be: padding to a declared
    // 2000000000 bytes would make every record of a batch 2 GB long.
    const std::string longest =
        "$mode typeLens=2047 in=txt out=txt inNeedDescrypt=1 outNeedEncrypt=1 needFill=1 "
        "splite= statistics= $tableItem ";
    EXPECT_TRUE(Read(longest + Field("a", 1, "2047\"X\"")).loaded);
    EXPECT_TRUE(Read(longest + Field("a", 1, "2000\"N\"+47\"X\"")).loaded);
    ExpectLimit(empty + Field("a", 1, "2048\"X\""), "2047");
    ExpectLimit(empty + Field("a", 1, "2000000000\"X\""), "2047");
    ExpectLimit(empty + Field("a", 1, "2000\"N\"+48\"X\""), "2047");
    ExpectLimit(empty + Field("a", 1, "1\"X\"+2000000000\"N\""), "2047");

    ExpectLimit(
        "$mode typeLens=0 in=txt out=txt inNeedDescrypt=1 outNeedEncrypt=1 needFill=1 "
        "splite=\"1234567890\" statistics= $tableItem",
        "9");
    std::string many = "1|sum|0|x";
    for (int i = 0; i < 100; ++i)
        many += "-1|sum|0|x";
    ExpectLimit(
        "$mode typeLens=0 in=txt out=txt inNeedDescrypt=1 outNeedEncrypt=1 needFill=1 splite= "
        "statistics=" +
            many + " $tableItem",
        "100");
    ExpectLimit(
        "$mode typeLens=0 in=txt out=txt inNeedDescrypt=1 outNeedEncrypt=1 needFill=1 splite= "
        "statistics=1|sum|0|" +
            std::string(100, 'l') + " $tableItem",
        "99");
    // The limit messages are shown like the others.
    testing::FakeUserInterface ui;
    definition_ = Template{};
    definition_.name = "t";
    EXPECT_FALSE(LoadTemplate(
        definition_, folder_.Write("n.cfg", empty + Field(std::string(100, 'n'), 1, "0\"X\"")),
        ui));
    ASSERT_EQ(ui.Messages().size(), 1u);
    EXPECT_EQ(ui.Messages()[0].caption, "t");
}

TEST(FieldList, AddFindAndClear) {
    Template definition;
    FieldItem field;
    field.index = 4;
    field.name = Gbk("金额");
    EXPECT_TRUE(AddField(definition, field));
    field.name = "other";
    EXPECT_FALSE(AddField(definition, field));
    field.index = -2;
    EXPECT_TRUE(AddField(definition, field));
    EXPECT_EQ(definition.FieldCount(), 2);
    ASSERT_NE(FindFieldByIndex(definition, -2), nullptr);
    EXPECT_EQ(FindFieldByIndex(definition, -2)->name, "other");
    EXPECT_EQ(FindFieldByIndex(definition, 7), nullptr);
    ASSERT_NE(FindFieldByName(definition, Gbk("金额")), nullptr);
    EXPECT_EQ(FindFieldByName(definition, Gbk("金额"))->index, 4);
    EXPECT_EQ(FindFieldByName(definition, Gbk("金额") + " "), nullptr);
    EXPECT_EQ(FindFieldByName(definition, "Other"), nullptr);
    ClearFields(definition);
    EXPECT_EQ(definition.FieldCount(), 0);
}

class SampleTemplatesTest : public testing::CatalogueTest {};

TEST_F(SampleTemplatesTest, EveryShippedTemplateLoadsCleanly) {
    int samples = 0;
    for (const auto& entry :
         std::filesystem::directory_iterator(BRINDLECOT_SOURCE_DIR "/dist/conf")) {
        if (entry.path().extension() != ".cfg")
            continue;
        ++samples;
        SCOPED_TRACE(entry.path().string());
        testing::FakeUserInterface ui;
        Template definition;
        definition.name = Utf8ToGbk(entry.path().stem().string()).value_or("?");
        ASSERT_TRUE(LoadTemplate(definition, entry.path().string(), ui));
        EXPECT_TRUE(ui.Messages().empty());
        EXPECT_GT(definition.FieldCount(), 0);
        EXPECT_TRUE(definition.inXls || definition.inTxt);
        EXPECT_TRUE(definition.outXls || definition.outTxt);
        long long sum = 0;
        for (const FieldItem& field : definition.fields) {
            sum += TotalLength(field.type);
            EXPECT_TRUE(GbkToUtf8(field.name).has_value());
            // Defaults that export or import may use pass their own field's rules.
            if (!field.visible || !field.value.empty()) {
                std::string value = field.value;
                EXPECT_EQ(ValidateFieldValue(value, field.type, field.isRequisite), RuleOk)
                    << field.type;
            }
        }
        EXPECT_EQ(sum, definition.typeLens);
        for (const StatisticsEntry& statistic : definition.statistics) {
            const FieldItem* field = FindFieldByIndex(definition, statistic.fieldIndex);
            ASSERT_NE(field, nullptr);
            EXPECT_TRUE(field->visible);
        }
    }
    EXPECT_GE(samples, 3);
}

}  // namespace
}  // namespace brindlecot
