#include "cryptlib/platform/system_services.h"

#include <sys/random.h>
#include <sys/stat.h>

#include <cerrno>

namespace kestrelvane {

bool FillFromSystemRandom(std::uint8_t* buffer, std::size_t length) {
    std::size_t filled = 0;
    while (filled < length) {
        const ssize_t got = getrandom(buffer + filled, length - filled, 0);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        filled += static_cast<std::size_t>(got);
    }
    return true;
}

bool SameOpenFile(int a, int b) {
    struct stat sa {};
    struct stat sb {};
    return ::fstat(a, &sa) == 0 && ::fstat(b, &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

}  // namespace kestrelvane
