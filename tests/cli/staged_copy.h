#pragma once

#include <filesystem>

namespace brindlecot::testing {

// Copies what brindlecot-cli needs of the staged folder (the executable, driver/, conf/,
// language/) to `root`, so that a test's keyConf and outputs stay out of the build.
inline void CopyStagedCli(const std::filesystem::path& root) {
    namespace fs = std::filesystem;
    const fs::path stage(BRINDLECOT_STAGE_DIR);
    fs::create_directories(root / "driver");
    fs::copy_file(stage / "brindlecot-cli", root / "brindlecot-cli");
    fs::copy_file(stage / "driver" / "libKestrelvane.so", root / "driver" / "libKestrelvane.so");
    fs::copy(stage / "conf", root / "conf", fs::copy_options::recursive);
    fs::copy(stage / "language", root / "language", fs::copy_options::recursive);
}

}  // namespace brindlecot::testing
