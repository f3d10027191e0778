#include "app/file_content.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace brindlecot {

std::optional<std::string> ReadWholeFile(const std::string& path) {
    const int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0)
        return std::nullopt;
    struct stat status {};
    std::optional<std::string> bytes;
    if (::fstat(descriptor, &status) == 0 && S_ISREG(status.st_mode)) {
        bytes.emplace();
        bytes->reserve(static_cast<std::size_t>(status.st_size));
        char buffer[1 << 16];
        for (;;) {
            const ssize_t count = ::read(descriptor, buffer, sizeof buffer);
            if (count == 0)
                break;
            if (count < 0) {
                if (errno == EINTR)
                    continue;
                bytes.reset();
                break;
            }
            bytes->append(buffer, static_cast<std::size_t>(count));
        }
    }
    ::close(descriptor);
    return bytes;
}

}  // namespace brindlecot
