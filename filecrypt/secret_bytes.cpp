#include "filecrypt/secret_bytes.h"

#include "cryptlib/wipe/secure_wipe.h"

namespace brindlecot {

void WipeSecret(void* data, std::size_t size) {
    kestrelvane::SecureWipe(data, size);
}

}  // namespace brindlecot
