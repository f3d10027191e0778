#include "filecrypt/installed_key_crypt.h"

#include <mutex>

#include "base/crypto_binding.h"
#include "cryptlib/include/kestrelvane.h"
#include "filecrypt/installed_key.h"

namespace brindlecot {

bool IsCryptOutputFailure(std::int32_t result) {
    return result == KESTRELVANE_E_OUTPUT_OPEN || result == KESTRELVANE_E_WRITE_ENCRYPT ||
           result == KESTRELVANE_E_WRITE_DECRYPT;
}

std::int32_t CryptWithKey(std::int32_t mode, std::string_view key, const std::string& inputPath,
                          const std::string& outputPath) {
    static std::mutex oneCallAtATime;
    const std::lock_guard lock(oneCallAtATime);
    const CryptFileFunction cryptFile = BoundCryptFile();
    if (cryptFile == nullptr)
        return kCryptLibraryMissing;
    // The library takes an absent key as "mix nothing in"; an empty one must not reach it.
    const auto* keyBytes =
        key.empty() ? nullptr : reinterpret_cast<const unsigned char*>(key.data());
    return cryptFile(mode, keyBytes, static_cast<std::int32_t>(key.size()), inputPath.c_str(),
                     outputPath.c_str(), KESTRELVANE_PAD_COUNT);
}

std::int32_t CryptWithInstalledKey(std::int32_t mode, const std::string& inputPath,
                                   const std::string& outputPath) {
    return CryptWithKey(mode, CurrentInstalledKey().Text(), inputPath, outputPath);
}

}  // namespace brindlecot
