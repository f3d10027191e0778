#include "base/app_path.h"

#include <sys/stat.h>

#include <cerrno>
#include <optional>

#include "base/platform/program_folders.h"

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

namespace {

std::string ProgramFolderUnder(const std::string& base) {
    if (base.empty())
        return {};
    return base + "/" + std::string(kProgramFolderName);
}

}  // namespace

std::string UserConfigFolder() {
    return ProgramFolderUnder(platform::UserConfigBase());
}

std::string UserStateFolder() {
    return ProgramFolderUnder(platform::UserStateBase());
}

bool MakeOwnerOnlyFolders(const std::string& folder) {
    constexpr mode_t kOwnerOnlyFolder = 0700;
    for (std::size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
        const std::string prefix = folder.substr(0, slash);
        if (::mkdir(prefix.c_str(), kOwnerOnlyFolder) != 0 && errno != EEXIST)
            return false;
        if (slash == std::string::npos)
            return true;
    }
}

}  // namespace brindlecot
