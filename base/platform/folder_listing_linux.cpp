#include "base/platform/folder_listing.h"

#include <filesystem>
#include <system_error>

namespace brindlecot::platform {

std::vector<std::string> RegularFileNames(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code error;
    std::filesystem::directory_iterator entries(folder, error);
    if (error)
        return names;
    for (const auto& entry : entries) {
        std::error_code typeError;
        if (entry.is_regular_file(typeError))
            names.push_back(entry.path().filename().string());
    }
    return names;
}

}  // namespace brindlecot::platform
