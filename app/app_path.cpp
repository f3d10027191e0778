#include "app/app_path.h"

#include <filesystem>
#include <optional>
#include <system_error>

namespace brindlecot {
namespace {

std::string ExecutableFolder() {
    std::error_code error;
    const std::filesystem::path executable = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error)
        return ".";
    return executable.parent_path().string();
}

std::optional<std::string>& FolderOverride() {
    static std::optional<std::string> folder;
    return folder;
}

}  // namespace

const std::string& AppFolder() {
    if (const auto& folder = FolderOverride())
        return *folder;
    static const std::string executableFolder = ExecutableFolder();
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

}  // namespace brindlecot
