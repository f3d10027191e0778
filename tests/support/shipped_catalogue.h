#pragma once

#include <filesystem>
#include <string>

#include "base/app_path.h"
#include "base/message_catalogue.h"
#include "tests/support/test_files.h"

namespace brindlecot::testing {

// Makes `folder` the program's folder with the shipped catalogues in language/ and selects
// the catalogue of `mode` (0 simplified, 1 traditional), as config.ini would at start-up.
inline void UseShippedCatalogue(TempFolder& folder, int mode) {
    std::filesystem::copy(BRINDLECOT_SOURCE_DIR "/dist/language", folder.path() / "language",
                          std::filesystem::copy_options::recursive |
                              std::filesystem::copy_options::overwrite_existing);
    folder.Write("language/config.ini", "[language]\nmode=" + std::to_string(mode) + "\n");
    SetAppFolder(folder.path().string());
    SelectMessageCatalogue();
}

}  // namespace brindlecot::testing
