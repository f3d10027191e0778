#pragma once

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "app/gbk_text.h"
#include "template/text_table.h"
#include "tests/support/gbk_literal.h"
#include "tests/support/scripted_user_interface.h"
#include "tests/support/test_files.h"

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

}  // namespace brindlecot::workbook_test
