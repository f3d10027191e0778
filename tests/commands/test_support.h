#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/scripted_user_interface.h"

namespace brindlecot::testing_support {

using ScriptedUserInterface = testing::ScriptedUserInterface;

// Files anywhere under `folder` that a command staged and left, or that carry "_temp".
std::vector<std::string> LeftoverScratchFiles(const std::filesystem::path& folder);

}  // namespace brindlecot::testing_support
