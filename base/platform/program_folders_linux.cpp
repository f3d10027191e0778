#include "base/platform/program_folders.h"

#include <fcntl.h>
#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <vector>

namespace brindlecot::platform {
namespace {

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

}  // namespace

std::string ExecutableFolder() {
    std::error_code error;
    const std::filesystem::path executable = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error)
        return ".";
    return executable.parent_path().string();
}

bool FolderWritable(const std::string& folder) {
    // The effective ids decide what this process may create, as they do for open().
    return ::faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) == 0;
}

std::string UserConfigBase() {
    if (std::string base = AbsoluteFromEnvironment("XDG_CONFIG_HOME"); !base.empty())
        return base;
    const std::string home = HomeFolder();
    return home.empty() ? std::string() : home + "/.config";
}

std::string UserStateBase() {
    if (std::string base = AbsoluteFromEnvironment("XDG_STATE_HOME"); !base.empty())
        return base;
    const std::string home = HomeFolder();
    return home.empty() ? std::string() : home + "/.local/state";
}

}  // namespace brindlecot::platform
