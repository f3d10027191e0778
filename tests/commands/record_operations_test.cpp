#include <gtest/gtest.h>

#include "base/catalogue/dialog_model_dlg_keys.h"
#include "base/message_format.h"
#include "template/field_rules.h"
#include "tests/commands/app_folder.h"

namespace brindlecot {
namespace {

using testing::Gbk;
using testing_support::AppFolderTest;
using testing_support::PaymentSpec;
using testing_support::TemplateSpec;

class RecordOperationsTest : public AppFolderTest {
protected:
    std::string RuleText(int result, int fieldIndex) const {
        return RuleMessage(result, *FindFieldByIndex(editor_->Definition(), fieldIndex));
    }
    void SetUp() override {
        AppFolderTest::SetUp();
        editor_ = OpenEditor("payments", PaymentSpec());
        ASSERT_NE(editor_, nullptr);
    }
    std::unique_ptr<TemplateEditor> editor_;
};

TEST_F(RecordOperationsTest, NewRowIsEmptyAndMarkedByItsRequiredFieldAndLeftOutOfTheStatistics) {
    editor_->AddDefaultRow();
    const RecordTable& records = editor_->Records();
    ASSERT_EQ(records.RowCount(), 1);
    EXPECT_EQ(records.DisplayText(0, 0), "1");
    for (int column = 1; column < records.ErrorColumn(); ++column)
        EXPECT_EQ(records.Cell(0, column), "");
    EXPECT_EQ(records.ErrorText(0), RuleText(RuleRequiredEmpty, 1));
    EXPECT_EQ(records.Colour(0), kErrorRowColour);
    // The only row is broken, so the statistics part is the blank line after the count.
    EXPECT_EQ(
        editor_->StatisticsText(),
        FormatMessage(EditorText(catalogue::DialogModelDlg::kStatisticsRows), {1LL}) + "\r\n\r\n");
    EXPECT_TRUE(ui_.Messages().empty());
}

TEST_F(RecordOperationsTest, TemplateWithoutVisibleFieldsGetsRowsWithoutCellsOrErrors) {
    TemplateSpec spec;
    spec.typeLens = 5;
    spec.fields = {{"隐藏", 1, "5\"X\"", false, true, "AB"}};
    auto editor = OpenEditor("hidden", spec);
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->Records().ColumnCount(), 2);
    editor->AddDefaultRow();
    EXPECT_EQ(editor->Records().RowCount(), 1);
    EXPECT_FALSE(editor->Records().IsErrorRow(0));
}

TEST_F(RecordOperationsTest, UnusableTypeCodeStopsTheNewRowWithAMessageAndNoStatistics) {
    TemplateSpec spec;
    spec.typeLens = 5;
    spec.fields = {{"甲", 1, "5\"X\"", true, true}, {"乙", 2, "N", true, false}};
    auto editor = OpenEditor("badtype", spec);
    ASSERT_NE(editor, nullptr);
    editor->AddDefaultRow();
    ASSERT_EQ(ui_.Messages().size(), 1u);
    EXPECT_EQ(ui_.Messages()[0].caption, Gbk("badtype"));
    EXPECT_EQ(ui_.Messages()[0].text, RuleMessage(RuleBadType, editor->Definition().fields[1]));
    EXPECT_EQ(editor->Records().RowCount(), 1);  // the row stays as far as it got
    EXPECT_EQ(editor->Records().ErrorText(0),
              RuleMessage(RuleRequiredEmpty, editor->Definition().fields[0]));
    EXPECT_EQ(editor->StatisticsText(), "");
}

TEST_F(RecordOperationsTest,
       DeletingThreeSelectedRowsOfFourHundredKeepsTheOthersInOrderRenumbered) {
    RecordTable& records = editor_->Records();
    for (int row = 0; row < 400; ++row)
        AddRecord(*editor_, {"1", "r" + std::to_string(row)});
    for (const int row : {399, 5, 200})
        records.SetRowSelected(row, true);

    ui_.defaultAnswer = true;
    ASSERT_TRUE(editor_->DeleteSelectedRows());
    ASSERT_EQ(ui_.Questions().size(), 1u);
    EXPECT_EQ(ui_.Questions()[0].text, EditorText(catalogue::DialogModelDlg::kConfirmDeleteRows));
    EXPECT_EQ(ui_.Questions()[0].caption, Gbk("payments"));

    ASSERT_EQ(records.RowCount(), 397);
    std::vector<std::string> expected;
    for (int row = 0; row < 400; ++row) {
        if (row != 5 && row != 200 && row != 399)
            expected.push_back("r" + std::to_string(row));
    }
    for (int row = 0; row < 397; ++row) {
        EXPECT_EQ(records.Cell(row, 2), expected[static_cast<std::size_t>(row)]);
        EXPECT_EQ(records.DisplayText(row, 0), std::to_string(row + 1));
    }
    EXPECT_EQ(
        editor_->StatisticsText().rfind(
            FormatMessage(EditorText(catalogue::DialogModelDlg::kStatisticsRows), {397LL}), 0),
        0u);
}

TEST_F(RecordOperationsTest, DeletingNeedsASelectionAndAYes) {
    RecordTable& records = editor_->Records();
    for (int row = 0; row < 3; ++row)
        AddRecord(*editor_, {"1"});
    EXPECT_FALSE(editor_->DeleteSelectedRows());
    EXPECT_TRUE(ui_.Questions().empty());  // nothing selected: not even asked

    records.SetRowSelected(1, true);
    ui_.defaultAnswer = false;
    EXPECT_FALSE(editor_->DeleteSelectedRows());
    EXPECT_EQ(ui_.Questions().size(), 1u);
    EXPECT_EQ(records.RowCount(), 3);
}

TEST_F(RecordOperationsTest, RowNumberAndErrorColumnsCannotBeEdited) {
    editor_->AddDefaultRow();
    const int errorColumn = editor_->Records().ErrorColumn();
    EXPECT_FALSE(editor_->OnCellEditStart(0, 0));
    EXPECT_FALSE(editor_->OnCellEditStart(0, errorColumn));
    EXPECT_TRUE(editor_->OnCellEditStart(0, 1));
    EXPECT_TRUE(editor_->OnCellEditStart(0, errorColumn - 1));
    EXPECT_FALSE(editor_->OnCellEditStart(1, 1));  // no such row
}

TEST_F(RecordOperationsTest, EditBreakingItsRuleKeepsTheOldTextAndSaysWhy) {
    AddRecord(*editor_, {"42", "ok", "1.00"});
    EXPECT_EQ(editor_->OnCellEditCommit(0, 1, "12ab"), CellEditResult::Rejected);
    EXPECT_EQ(editor_->Records().Cell(0, 1), "42");
    ASSERT_EQ(ui_.Messages().size(), 1u);
    EXPECT_EQ(ui_.Messages()[0].text, RuleText(RuleNotNumeric, 1));
    EXPECT_EQ(ui_.Messages()[0].caption, Gbk("payments"));

    EXPECT_EQ(editor_->OnCellEditCommit(0, 2, "toolongtext"), CellEditResult::Rejected);
    EXPECT_EQ(editor_->Records().Cell(0, 2), "ok");
}

// A typed value is checked as the bytes it is: the length rule stops at a NUL or CR, the
// batch writer does not.
TEST_F(RecordOperationsTest, TypedValueHoldingALineBreakingByteIsRefused) {
    AddRecord(*editor_, {"42", "ok", "1.00"});
    for (const std::string& typed :
         {std::string("a\rb"), std::string("a\nb"), std::string("a\0b", 3), std::string("a\tb")}) {
        ui_.events.clear();
        EXPECT_EQ(editor_->OnCellEditCommit(0, 2, typed), CellEditResult::Rejected);
        EXPECT_EQ(editor_->Records().Cell(0, 2), "ok");
        ASSERT_EQ(ui_.Messages().size(), 1u);
        EXPECT_EQ(ui_.Messages()[0].text, RuleText(RuleControlCharacter, 2));
    }
}

TEST_F(RecordOperationsTest, PassingEditWhileAnotherCellIsBrokenRewritesTheErrorColumn) {
    RecordTable& records = editor_->Records();
    editor_->AddDefaultRow();        // account empty: required message
    records.SetCell(0, 3, "1,000");  // an amount the rules refuse, as an unchecked import leaves it
    ASSERT_EQ(records.ErrorText(0), RuleText(RuleRequiredEmpty, 1));

    EXPECT_EQ(editor_->OnCellEditCommit(0, 1, " 123 "), CellEditResult::RowStillBroken);
    EXPECT_EQ(records.Cell(0, 1), "123");  // stored as the check rewrote it
    EXPECT_EQ(records.ErrorText(0), RuleText(RuleBadAmount, 3));
    EXPECT_TRUE(ui_.Messages().empty());

    EXPECT_EQ(editor_->OnCellEditCommit(0, 3, "12.5"), CellEditResult::Stored);
    EXPECT_EQ(records.Cell(0, 3), "12.50");
    EXPECT_EQ(records.ErrorText(0), "");
    EXPECT_EQ(records.Colour(0), kNormalRowColour);
    EXPECT_NE(editor_->StatisticsText().find("12.50"), std::string::npos)
        << editor_->StatisticsText();
}

TEST_F(RecordOperationsTest, EditRevealingAnUncheckedBrokenRowTakesItOutOfTheTotals) {
    RecordTable& records = editor_->Records();
    AddRecord(*editor_, {"1", "a", "5.00"});
    AddRecord(*editor_, {"x", "b", "7.00"});  // never checked: looks clean, counts
    editor_->RefreshStatistics();
    ASSERT_NE(editor_->StatisticsText().find("12.00"), std::string::npos);

    EXPECT_EQ(editor_->OnCellEditCommit(1, 2, "bb"), CellEditResult::RowStillBroken);
    EXPECT_EQ(records.ErrorText(1), RuleText(RuleNotNumeric, 1));
    EXPECT_EQ(editor_->StatisticsText().find("12.00"), std::string::npos);
    EXPECT_NE(editor_->StatisticsText().find("5.00"), std::string::npos);
}

}  // namespace
}  // namespace brindlecot
