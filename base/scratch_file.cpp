#include "base/scratch_file.h"

#include "base/platform/file_identity.h"

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
    return platform::NameSameFile(first, second);
}

}  // namespace brindlecot
