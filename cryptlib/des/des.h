#pragma once

// DES and triple DES (3-key and 2-key EDE), ECB and CBC.
//
// Blocks are 8 bytes, the first byte the most significant. Every block function accepts
// the same buffer as input and output. Key bytes carry a parity bit that the key schedule
// ignores. Schedules hold key material: they wipe themselves when destroyed, and callers
// that keep raw keys wipe them with SecureWipe.

#include <cstddef>
#include <cstdint>

#include "cryptlib/wipe/secure_wipe.h"

namespace kestrelvane {

inline constexpr std::size_t kDesBlockSize = 8;
inline constexpr std::size_t kDesKeySize = 8;
inline constexpr std::size_t kDes3KeySize2 = 16;
inline constexpr std::size_t kDes3KeySize3 = 24;

// Two subkey words per round: the encryption words of the 16 rounds, then the same pairs
// in reverse round order for decryption.
struct des_context {
    std::uint32_t esk[32];
    std::uint32_t dsk[32];
    ~des_context() { SecureWipe(this, sizeof(*this)); }
};

// Encryption runs E(K1) D(K2) E(K3), decryption D(K3) E(K2) D(K1); each direction is one
// run of 48 rounds, so the initial and final permutations are done once per block.
// esk = E-schedule K1, D-schedule K2, E-schedule K3;
// dsk = D-schedule K3, E-schedule K2, D-schedule K1.
struct des3_context {
    std::uint32_t esk[96];
    std::uint32_t dsk[96];
    ~des3_context() { SecureWipe(this, sizeof(*this)); }
};

void des_set_key(des_context& context, const std::uint8_t* key8);
void des_encrypt(const des_context& context, const std::uint8_t* in8, std::uint8_t* out8);
void des_decrypt(const des_context& context, const std::uint8_t* in8, std::uint8_t* out8);

// CBC over length bytes (a multiple of 8; a trailing partial block is left untouched).
// iv8 is updated in place to the last ciphertext block, so a following call continues
// the chain.
void des_cbc_encrypt(const des_context& context, std::uint8_t* iv8, const std::uint8_t* in,
                     std::uint8_t* out, std::size_t length);
void des_cbc_decrypt(const des_context& context, std::uint8_t* iv8, const std::uint8_t* in,
                     std::uint8_t* out, std::size_t length);

// K1 = key[0..7], K2 = key[8..15], K3 = K1.
void des3_set_2keys(des3_context& context, const std::uint8_t* key16);
// K1, K2, K3 = key[0..7], key[8..15], key[16..23].
void des3_set_3keys(des3_context& context, const std::uint8_t* key24);

void des3_encrypt(const des3_context& context, const std::uint8_t* in8, std::uint8_t* out8);
void des3_decrypt(const des3_context& context, const std::uint8_t* in8, std::uint8_t* out8);

// ECB over length bytes (a multiple of 8; a trailing partial block is left untouched).
void des3_ecb_encrypt(const des3_context& context, const std::uint8_t* in, std::uint8_t* out,
                      std::size_t length);
void des3_ecb_decrypt(const des3_context& context, const std::uint8_t* in, std::uint8_t* out,
                      std::size_t length);

// ECB under the 96 subkey words of one direction of a triple-DES context (its esk or dsk).
void des3_ecb_subkeys(const std::uint32_t* subkeys, const std::uint8_t* in, std::uint8_t* out,
                      std::size_t length);

// CBC with triple DES; same chaining contract as the single-DES pair.
void des3_cbc_encrypt(const des3_context& context, std::uint8_t* iv8, const std::uint8_t* in,
                      std::uint8_t* out, std::size_t length);
void des3_cbc_decrypt(const des3_context& context, std::uint8_t* iv8, const std::uint8_t* in,
                      std::uint8_t* out, std::size_t length);

}  // namespace kestrelvane
