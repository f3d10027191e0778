#pragma once

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "base/gbk_text.h"
#include "base/text_table.h"
#include "tests/support/gbk_literal.h"
#include "tests/support/scripted_user_interface.h"
#include "tests/support/test_files.h"
#include "workbook/workbook.h"

namespace brindlecot::workbook_test {

inline std::string FixturePath(const std::string& name) {
    return std::string(BRINDLECOT_SOURCE_DIR) + "/tests/workbook/fixtures/" + name;
}

// Shows UTF-8 tables in failure messages instead of GBK bytes.
inline std::string Show(const TextTable& table) {
    std::string out;
    for (const auto& row : table) {
        out += "[";
        for (std::size_t c = 0; c < row.size(); ++c)
            out += (c ? "|" : "") + GbkToUtf8ForDisplay(row[c]);
        out += "]\n";
    }
    return out;
}

using RecordingInterface = testing::ScriptedUserInterface;

// Reads a workbook that must be refused: the error, after checking that a refusal
// leaves no stale rows and says what went wrong.
inline WorkbookError ReadError(const std::string& path) {
    TextTable table{{"stale"}};
    const WorkbookStatus status = ReadWorkbook(path, table);
    if (!status.ok()) {
        EXPECT_TRUE(table.empty());
        EXPECT_FALSE(status.detail.empty());
    }
    return status.error;
}

}  // namespace brindlecot::workbook_test
