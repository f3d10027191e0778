#include "commands/record_draft.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <array>
#include <cstdlib>

#include "base/app_path.h"
#include "base/crypto_binding.h"
#include "base/scratch_file.h"
#include "filecrypt/installed_key_crypt.h"
#include "tests/support/gbk_literal.h"
#include "tests/support/test_files.h"

namespace brindlecot {
namespace {

using testing::Gbk;

RecordTable TableOf(const std::vector<std::array<std::string, 2>>& rows) {
    RecordTable table;
    table.SetColumns({{"#", 50}, {"name", 120}, {"amount", 120}, {"error", 300}});
    for (const auto& cells : rows)
        table.AppendRow(cells, cells[1].empty() ? "broken" : "");
    return table;
}

// The plain draft a person reads: the template's file, then one GBK line per row, error
// rows included; cells that would break a line are quoted and read back whole.
TEST(RecordDraft, TextNamesTheTemplateAndKeepsEveryRowAsTyped) {
    const RecordTable table =
        TableOf({{Gbk("张三"), "12.00"}, {"", ""}, {"a\tb", "\"1"}, {"x\"y", "line\r\nend"}});
    const std::string text = DraftText(Gbk("代发工资.cfg"), table);
    EXPECT_EQ(text, Gbk("代发工资.cfg\r\n张三\t12.00\r\n") +
                        "\t\r\n\"a\tb\"\t\"\"\"1\"\r\nx\"y\t\"line\r\nend\"\r\n");
    const std::optional<DraftContent> read = ParseDraftText(text);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->templateName, Gbk("代发工资.cfg"));
    ASSERT_EQ(read->rows.size(), 4u);
    for (int row = 0; row < 4; ++row)
        EXPECT_EQ(read->rows[static_cast<std::size_t>(row)], table.FieldCells(row));

    EXPECT_EQ(DraftText("t.cfg", TableOf({})), "t.cfg\r\n");
    EXPECT_TRUE(ParseDraftText("t.cfg\r\n")->rows.empty());
    for (const char* broken : {"", "t.cfg", "\r\nrow\r\n", "t.cfg\r\nrow without end",
                               "t.cfg\r\n\"open quote\r\n", "t.cfg\r\na\nb\r\n"})
        EXPECT_FALSE(ParseDraftText(broken)) << broken;
}

TEST(RecordDraft, FolderFollowsXdgStateHomeOrHome) {
    testing::TempFolder home;
    ::setenv("HOME", home.path().c_str(), 1);
    ::unsetenv("XDG_STATE_HOME");
    EXPECT_EQ(DraftPathFor("/opt/x/conf/a.cfg"),
              (home.path() / ".local/state/brindlecot/drafts/a.cfg.draft").string());
    ::setenv("XDG_STATE_HOME", "/var/state", 1);
    EXPECT_EQ(DraftFolder(), "/var/state/brindlecot/drafts");
    ::setenv("XDG_STATE_HOME", "relative", 1);  // not absolute: ignored
    EXPECT_EQ(DraftFolder(), (home.path() / ".local/state/brindlecot/drafts").string());
    ::unsetenv("XDG_STATE_HOME");
}

// Sealed through memory into an owner-only folder; a later write replaces it whole, and
// the plain text never lies in the folder, not even on the way.
TEST(RecordDraft, WritesSealedOwnerOnlyAndReplacesWhole) {
    testing::TempFolder folder;
    folder.Copy(KESTRELVANE_LIBRARY, "driver/libKestrelvane.so");
    SetAppFolder(folder.path().string());
    ASSERT_TRUE(BindCryptoLibrary());
    const std::string draft = (folder.path() / "state/drafts/t.cfg.draft").string();
    const std::string key = "1234567A";
    const std::string plain = DraftText("t.cfg", TableOf({{"SECRETNAME", "1.00"}}));
    ASSERT_TRUE(WriteDraft(draft, plain, key));
    struct stat status {};
    ASSERT_EQ(::stat(draft.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0600u);
    ASSERT_EQ(::stat((folder.path() / "state/drafts").c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0700u);
    EXPECT_EQ(testing::ReadFileBytes(draft).find("SECRETNAME"), std::string::npos);
    EXPECT_EQ(OpenDraft(draft, key), plain);
    EXPECT_FALSE(OpenDraft(draft, "7654321B"));

    const std::string longer = DraftText("t.cfg", TableOf({{"A", "1.00"}, {"B", "2.00"}}));
    ASSERT_TRUE(WriteDraft(draft, longer, key));
    EXPECT_EQ(OpenDraft(draft, key), longer);
    EXPECT_FALSE(WriteDraft(draft, longer, ""));  // never unsealed
    EXPECT_EQ(OpenDraft(draft, key), longer);
    // Only the draft is in the folder: no staged or plain file is left beside it.
    int files = 0;
    for ([[maybe_unused]] const auto& entry :
         std::filesystem::directory_iterator(folder.path() / "state/drafts"))
        ++files;
    EXPECT_EQ(files, 1);

    const std::string aside = SetDraftAside(draft);
    EXPECT_FALSE(aside.empty());
    EXPECT_FALSE(FileExists(draft));
    EXPECT_EQ(OpenDraft(aside, key), longer);
    UnbindCryptoLibrary();
}

}  // namespace
}  // namespace brindlecot
