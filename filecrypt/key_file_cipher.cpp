#include "filecrypt/key_file_cipher.h"

#include <array>
#include <new>
#include <optional>

#include "cryptlib/des/des.h"

namespace brindlecot {
namespace {

using kestrelvane::kDesBlockSize;

// The three DES keys (K1, K2, K3) of the key-file cipher. Changing any byte makes every
// keyConf written so far unreadable, so they are fixed for the life of the product.
constexpr std::array<std::uint8_t, kestrelvane::kDes3KeySize3> kKeyFileKeys = {
    0xC0, 0xD6, 0xD3, 0x7A, 0x3A, 0x5C, 0xE9, 0xFC,  // K1
    0x64, 0x51, 0xF1, 0x13, 0x29, 0x75, 0x1A, 0xB0,  // K2
    0x9B, 0x73, 0x29, 0x00, 0x37, 0x4F, 0xEF, 0xE8,  // K3
};

// The schedules live in one place for the whole run; des3_context wipes itself when the
// optional is reset or destroyed at exit.
std::optional<kestrelvane::des3_context>& Cipher() {
    static std::optional<kestrelvane::des3_context> cipher;
    return cipher;
}

const kestrelvane::des3_context& PreparedCipher() {
    if (!Cipher())
        PrepareKeyFileCipher();
    return *Cipher();
}

std::size_t RoundUpToBlocks(std::size_t length) {
    return (length + kDesBlockSize - 1) / kDesBlockSize * kDesBlockSize;
}

using BlockFunction = void (*)(const kestrelvane::des3_context&, const std::uint8_t*, std::uint8_t*,
                               std::size_t);

int Transform(std::span<const std::uint8_t> source, SecretBytes& output, BlockFunction transform,
              int emptyCode, int noMemoryCode) {
    if (source.empty())
        return emptyCode;
    try {
        // The zero-padded work copy: the source itself need not extend to a block boundary.
        SecretBytes work(source.begin(), source.end());
        work.resize(RoundUpToBlocks(work.size()), 0);
        SecretBytes result(work.size(), 0);
        transform(PreparedCipher(), work.data(), result.data(), work.size());
        output = std::move(result);
    } catch (const std::bad_alloc&) {
        return noMemoryCode;
    }
    return 0;
}

}  // namespace

void PrepareKeyFileCipher() {
    Cipher().emplace();
    kestrelvane::des3_set_3keys(*Cipher(), kKeyFileKeys.data());
}

void WipeKeyFileCipher() {
    Cipher().reset();
}

int KeyFileEncrypt(std::span<const std::uint8_t> source, SecretBytes& output) {
    return Transform(source, output, kestrelvane::des3_ecb_encrypt, kKeyFileEncryptEmpty,
                     kKeyFileEncryptNoMemory);
}

int KeyFileDecrypt(std::span<const std::uint8_t> source, SecretBytes& output) {
    return Transform(source, output, kestrelvane::des3_ecb_decrypt, kKeyFileDecryptEmpty,
                     kKeyFileDecryptNoMemory);
}

}  // namespace brindlecot
