#include "tests/commands/test_support.h"

namespace brindlecot::testing_support {

std::vector<std::string> LeftoverScratchFiles(const std::filesystem::path& folder) {
    // "_temp", "_temp.txt", "_temp.xls" and the staged names "<output>_tempXXXXXX".
    std::vector<std::string> leftovers;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
        if (entry.path().filename().string().find("_temp") != std::string::npos) {
            leftovers.push_back(entry.path().string());
        }
    }
    return leftovers;
}

}  // namespace brindlecot::testing_support
