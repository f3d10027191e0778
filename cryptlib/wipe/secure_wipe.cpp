#include "cryptlib/wipe/secure_wipe.h"

#include <cstring>

namespace kestrelvane {

void SecureWipe(void* data, std::size_t size) {
    if (data != nullptr && size != 0) {
        explicit_bzero(data, size);
    }
}

}  // namespace kestrelvane
