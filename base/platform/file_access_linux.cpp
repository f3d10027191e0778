#include "base/platform/file_access.h"

namespace brindlecot::platform {

bool RestrictToOwner(const std::string&) {
    return true;
}

}  // namespace brindlecot::platform
