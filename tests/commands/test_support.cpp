#include "tests/commands/test_support.h"

#include "base/staged_file.h"

namespace brindlecot::testing_support {

std::vector<std::string> LeftoverScratchFiles(const std::filesystem::path& folder) {
    // The staged names, and "_temp" for the fixed names scratch files once had.
    std::vector<std::string> leftovers;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (IsStagedFileName(name) || name.find("_temp") != std::string::npos) {
            leftovers.push_back(entry.path().string());
        }
    }
    return leftovers;
}

}  // namespace brindlecot::testing_support
