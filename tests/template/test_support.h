#pragma once

#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "base/app_path.h"
#include "tests/support/gbk_literal.h"
#include "tests/support/scripted_user_interface.h"
#include "tests/support/test_files.h"

namespace brindlecot::testing {

using FakeUserInterface = ScriptedUserInterface;

// Texts come from the shipped catalogues.
class CatalogueTest : public ::testing::Test {
protected:
    void SetUp() override { SetAppFolder(BRINDLECOT_SOURCE_DIR "/dist"); }
};

}  // namespace brindlecot::testing
