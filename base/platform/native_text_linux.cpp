#include "base/platform/native_text.h"

namespace brindlecot::platform {

std::string FileNameToUtf8(std::string_view name) {
    return std::string(name);
}

}  // namespace brindlecot::platform
