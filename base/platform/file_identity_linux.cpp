#include "base/platform/file_identity.h"

#include <sys/stat.h>

#include <cstdio>

namespace brindlecot::platform {

bool NameSameFile(const std::string& first, const std::string& second) {
    struct stat a {};
    struct stat b {};
    if (::stat(first.c_str(), &a) != 0 || ::stat(second.c_str(), &b) != 0)
        return false;
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

bool ReplaceFileAtomically(const std::string& from, const std::string& to) {
    return std::rename(from.c_str(), to.c_str()) == 0;
}

long long LatestModification(const struct stat& status) {
    return status.st_mtim.tv_sec * 1'000'000'000LL + status.st_mtim.tv_nsec;
}

}  // namespace brindlecot::platform
