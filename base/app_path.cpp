#include "base/app_path.h"

#include "base/platform/program_folders.h"

#include <optional>

namespace brindlecot {
namespace {

constexpr std::string_view kProgramFolderName = "brindlecot";

std::optional<std::string>& FolderOverride() {
    static std::optional<std::string> folder;
    return folder;
}

}  // namespace

const std::string& AppFolder() {
    if (const auto& folder = FolderOverride())
        return *folder;
    static const std::string executableFolder = platform::ExecutableFolder();
    return executableFolder;
}

void SetAppFolder(std::string folder) {
    FolderOverride() = std::move(folder);
}

std::string AppPath(std::string_view name) {
    std::string path = AppFolder();
    if (name.empty())
        return path;
    path += '/';
    path += name;
    return path;
}

bool AppFolderWritable() {
    return platform::FolderWritable(AppFolder());
}

std::string UserConfigFolder() {
    const std::string base = platform::UserConfigBase();
    if (base.empty())
        return {};
    return base + "/" + std::string(kProgramFolderName);
}

}  // namespace brindlecot
