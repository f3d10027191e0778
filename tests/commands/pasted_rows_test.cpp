#include "commands/pasted_rows.h"

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
using Rows = std::vector<std::vector<std::string>>;
using Cells = std::vector<std::string>;
namespace keys = catalogue::DialogModelDlg;

// What Calc and Excel put on the clipboard for a block of cells.
TEST(SplitClipboardRows, LinesOfTabSeparatedCellsWithQuotedCellsAndNoTrailingRow) {
    EXPECT_EQ(SplitClipboardRows(""), Rows{});
    EXPECT_EQ(SplitClipboardRows("one"), (Rows{{"one"}}));
    EXPECT_EQ(SplitClipboardRows("a\tb\r\nc\td\r\n"), (Rows{{"a", "b"}, {"c", "d"}}));
    EXPECT_EQ(SplitClipboardRows("a\tb\nc\td"), (Rows{{"a", "b"}, {"c", "d"}}));
    // Empty cells keep their places; an empty line inside the block is an empty row.
    EXPECT_EQ(SplitClipboardRows("\tb\t\n\n"), (Rows{{"", "b", ""}, {""}}));
    // A quoted cell holds tabs, line breaks and doubled quotes.
    EXPECT_EQ(SplitClipboardRows("\"x\ty\"\t\"say \"\"hi\"\"\"\n\"two\nlines\"\tz\n"),
              (Rows{{"x\ty", "say \"hi\""}, {"two\nlines", "z"}}));
    // A quote that does not close a cell is part of it.
    EXPECT_EQ(SplitClipboardRows("\"5\" disk\tq"), (Rows{{"\"5\" disk", "q"}}));
    EXPECT_EQ(SplitClipboardRows("\"open"), (Rows{{"\"open"}}));
    // A lone CR is no line end.
    EXPECT_EQ(SplitClipboardRows("a\rb"), (Rows{{"a\rb"}}));
}

class PasteRowsTest : public AppFolderTest {
protected:
    void SetUp() override {
        AppFolderTest::SetUp();
        editor_ = OpenEditor("payments", PaymentSpec());
        ASSERT_NE(editor_, nullptr);
    }
    Rows Table() const {
        Rows rows;
        for (int row = 0; row < editor_->Records().RowCount(); ++row)
            rows.push_back(editor_->Records().FieldCells(row));
        return rows;
    }
    std::string Rule(int result, int fieldIndex) const {
        return RuleMessage(result, *FindFieldByIndex(editor_->Definition(), fieldIndex));
    }
    std::unique_ptr<TemplateEditor> editor_;
};

TEST_F(PasteRowsTest, ValuesGoInAsTypedEditsRowsAreAddedAndTheStatisticsFollow) {
    AddRecord(*editor_, {"1", "a", "1.00"});
    AddRecord(*editor_, {"2", "b", "2.00"});
    // From the name of the second row: two rows pasted, one of them new.
    const PasteResult result =
        PasteRows(*editor_, 1, 2, "张三\t12\r\n李四\t3.5\r\n");  // UTF-8, as on the clipboard
    EXPECT_EQ(result.storedValues, 4);
    EXPECT_EQ(result.addedRows, 1);
    EXPECT_TRUE(result.refused.empty());
    // Each amount rewritten by its check, as after typing it.
    EXPECT_EQ(Table(),
              (Rows{{"1", "a", "1.00"}, {"2", Gbk("张三"), "12.00"}, {"", Gbk("李四"), "3.50"}}));
    // The new row misses its required account, as a row added by hand would.
    EXPECT_EQ(editor_->Records().ErrorText(2), Rule(RuleRequiredEmpty, 1));
    EXPECT_EQ(editor_->Records().DisplayText(2, 0), "3");
    EXPECT_NE(editor_->StatisticsText().find("13.00"), std::string::npos);
    EXPECT_TRUE(ui_.Messages().empty());  // nothing refused, nothing said
}

TEST_F(PasteRowsTest, RefusedValuesKeepTheOldTextAndOneMessageListsThem) {
    AddRecord(*editor_, {"1", "a", "1.00"});
    // Not digits; too long; a character GBK cannot hold; a line break; one value too many.
    const std::string pasted =
        "12x\tfine\t5\n"
        "22\t123456789\t\xF0\x9F\x98\x80\n"
        "\"3\n4\"\tok\t1\tspare\n";
    const PasteResult result = PasteRows(*editor_, 0, 1, pasted);
    EXPECT_EQ(result.storedValues, 5);
    EXPECT_EQ(result.beyondLastColumn, 1);
    ASSERT_EQ(result.refused.size(), 4u);
    EXPECT_EQ(Table(), (Rows{{"1", "fine", "5.00"}, {"22", "", ""}, {"", "ok", "1.00"}}));
    // Row 1 was clean and stays clean: the refused value never went in.
    EXPECT_FALSE(editor_->Records().IsErrorRow(0));
    EXPECT_TRUE(editor_->Records().IsErrorRow(2));

    EXPECT_EQ(result.refused[0].message, Rule(RuleNotNumeric, 1));
    EXPECT_EQ(result.refused[1].message, Rule(RuleTooLong, 2));
    EXPECT_EQ(result.refused[2].message,
              FormatMessage(EditorText(keys::kUnencodableCharacters), {"U+1F600"}));
    EXPECT_EQ(result.refused[3].message, EditorText(keys::kPastedValueBreaksLine));
    ASSERT_EQ(ui_.Messages().size(), 1u);
    const std::string said = ui_.Messages()[0].text;
    EXPECT_EQ(said.find(FormatMessage(EditorText(keys::kPasteNotStored), {5LL})), 0u);
    EXPECT_NE(said.find(FormatMessage(EditorText(keys::kPasteRefusedValue),
                                      {2LL, Gbk("姓名"), Rule(RuleTooLong, 2)})),
              std::string::npos);
    EXPECT_NE(said.find(FormatMessage(EditorText(keys::kPasteBeyondLastColumn), {1LL})),
              std::string::npos);
}

TEST_F(PasteRowsTest, AGoodPasteMendsABrokenRowAndLongListsAreCut) {
    editor_->AddDefaultRow();
    ASSERT_TRUE(editor_->Records().IsErrorRow(0));
    PasteRows(*editor_, 0, 1, "7\tn\t1");
    EXPECT_FALSE(editor_->Records().IsErrorRow(0));

    std::string pasted;
    for (int row = 0; row < 30; ++row)
        pasted += "bad\n";
    const PasteResult result = PasteRows(*editor_, 0, 1, pasted);
    EXPECT_EQ(result.refused.size(), 30u);
    EXPECT_EQ(result.addedRows, 29);
    const std::string said = ui_.Messages().back().text;
    EXPECT_NE(said.find(FormatMessage(EditorText(keys::kPasteMoreRefused), {20LL})),
              std::string::npos);
    EXPECT_EQ(said.find(FormatMessage(EditorText(keys::kPasteRefusedValue),
                                      {11LL, Gbk("账号"), Rule(RuleNotNumeric, 1)})),
              std::string::npos);
}

}  // namespace
}  // namespace brindlecot
