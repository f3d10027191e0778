#include "filecrypt/installed_key_crypt.h"

#include "base/crypto_binding.h"
#include "filecrypt/installed_key.h"

namespace brindlecot {

std::int32_t CryptWithInstalledKey(std::int32_t mode, const std::string& inputPath,
                                   const std::string& outputPath) {
    const CryptFileFunction cryptFile = BoundCryptFile();
    if (cryptFile == nullptr)
        return kCryptLibraryMissing;
    const InstalledKey& key = CurrentInstalledKey();
    // The library takes an absent key as "mix nothing in"; an empty one must not reach it.
    const unsigned char* keyBytes = key.Empty() ? nullptr : key.Data();
    return cryptFile(mode, keyBytes, key.Length(), inputPath.c_str(), outputPath.c_str(),
                     KESTRELVANE_PAD_COUNT);
}

}  // namespace brindlecot
