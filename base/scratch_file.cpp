#include "base/scratch_file.h"

#include "base/platform/file_identity.h"

#include <fcntl.h>
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

bool RemoveFileIfPresent(const std::string& path) {
    if (path.empty())
        return true;
    if (::unlink(path.c_str()) == 0)
        return true;
    return errno == ENOENT;
}

bool IsSameFile(const std::string& first, const std::string& second) {
    if (first == second)
        return true;
    return platform::NameSameFile(first, second);
}

ScratchFile::ScratchFile(std::string path) : path_(std::move(path)) {
    RemoveFileIfPresent(path_);
    // When the file cannot be made here, the step that writes it fails and says so.
    const int descriptor = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (descriptor >= 0)
        ::close(descriptor);
}

ScratchFile::~ScratchFile() {
    RemoveFileIfPresent(path_);
}

}  // namespace brindlecot
