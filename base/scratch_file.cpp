#include "base/scratch_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace brindlecot {

bool FileExists(const std::string& path) {
    struct stat status {};
    return !path.empty() && ::stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode);
}

bool IsOccupiedByNonRegularFile(const std::string& path) {
    struct stat status {};
    return !path.empty() && ::stat(path.c_str(), &status) == 0 && !S_ISREG(status.st_mode);
}

bool IsSameFile(const std::string& first, const std::string& second) {
    if (first == second)
        return true;
    struct stat a {};
    struct stat b {};
    if (::stat(first.c_str(), &a) != 0 || ::stat(second.c_str(), &b) != 0)
        return false;
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

}  // namespace brindlecot
