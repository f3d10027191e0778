#include "base/app_path.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <system_error>
#include <vector>

namespace brindlecot {
namespace {

std::string ExecutableFolder() {
    std::error_code error;
    const std::filesystem::path executable = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error)
        return ".";
    return executable.parent_path().string();
}

constexpr std::string_view kProgramFolderName = "brindlecot";

std::string AbsoluteFromEnvironment(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr || value[0] != '/')
        return {};
    return value;
}

std::string HomeFolder() {
    if (std::string home = AbsoluteFromEnvironment("HOME"); !home.empty())
        return home;
    // A session started without HOME (a service, sudo -i variants) still has an owner.
    long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? static_cast<std::size_t>(size) : 16384);
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(::geteuid(), &entry, buffer.data(), buffer.size(), &found) != 0 ||
        found == nullptr || found->pw_dir == nullptr || found->pw_dir[0] != '/')
        return {};
    return found->pw_dir;
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

bool AppFolderWritable() {
    // The effective ids decide what this process may create, as they do for open().
    return ::faccessat(AT_FDCWD, AppFolder().c_str(), W_OK | X_OK, AT_EACCESS) == 0;
}

namespace {

std::string UserFolder(const char* variable, const char* underHome) {
    std::string base = AbsoluteFromEnvironment(variable);
    if (base.empty()) {
        const std::string home = HomeFolder();
        if (home.empty())
            return {};
        base = home + underHome;
    }
    return base + "/" + std::string(kProgramFolderName);
}

}  // namespace

std::string UserConfigFolder() {
    return UserFolder("XDG_CONFIG_HOME", "/.config");
}

std::string UserStateFolder() {
    return UserFolder("XDG_STATE_HOME", "/.local/state");
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
