#include "base/platform/file_access.h"

#include <fcntl.h>

namespace brindlecot::platform {

bool RestrictToOwner(const std::string&) {
    return true;
}

void StartWriteBack(int descriptor, std::uint64_t offset, std::uint64_t length) {
    // A hint: a file system without it still gets everything written at the fsync.
    (void)::sync_file_range(descriptor, static_cast<off_t>(offset), static_cast<off_t>(length),
                            SYNC_FILE_RANGE_WRITE);
}

}  // namespace brindlecot::platform
