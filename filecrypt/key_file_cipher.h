#pragma once

#include <cstdint>
#include <span>

#include "filecrypt/secret_bytes.h"

namespace brindlecot {

// The program's own cipher for keyConf: triple DES with three fixed keys (encrypt,
// decrypt, encrypt), ECB on 8-byte blocks. It is not the library's cipher and never
// touches exchanged files; a keyConf is read back only by a build with the same keys.

// Result codes of KeyFileEncrypt and KeyFileDecrypt (0 is success).
inline constexpr int kKeyFileEncryptEmpty = 718;
inline constexpr int kKeyFileEncryptNoMemory = 727;
inline constexpr int kKeyFileDecryptEmpty = 747;
inline constexpr int kKeyFileDecryptNoMemory = 756;

// Builds the three keys and their schedules. Start-up calls it once before the main
// dialog; the cipher also prepares itself on first use. The schedules are wiped at exit.
void PrepareKeyFileCipher();

// Wipes the keys and schedules now (the next use prepares them again).
void WipeKeyFileCipher();

// Pads `source` with zero bytes to a whole number of 8-byte blocks and encrypts each block
// into `output` (which is replaced). 0, kKeyFileEncryptEmpty for an empty source, or
// kKeyFileEncryptNoMemory.
[[nodiscard]] int KeyFileEncrypt(std::span<const std::uint8_t> source, SecretBytes& output);

// The same with decryption: a source that is not a whole number of blocks is padded with
// zero bytes first. 0, kKeyFileDecryptEmpty or kKeyFileDecryptNoMemory.
[[nodiscard]] int KeyFileDecrypt(std::span<const std::uint8_t> source, SecretBytes& output);

}  // namespace brindlecot
