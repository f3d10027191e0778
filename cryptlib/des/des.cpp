#include "cryptlib/des/des.h"

#include <cstring>
#include <utility>

#include "cryptlib/des/des_tables.h"

namespace kestrelvane {
namespace {

using des_tables::kSpTables;

constexpr std::uint32_t RotateLeft(std::uint32_t value, int count) {
    return (value << count) | (value >> (32 - count));
}

inline std::uint32_t LoadBigEndian(const std::uint8_t* bytes) {
    return (std::uint32_t{bytes[0]} << 24) | (std::uint32_t{bytes[1]} << 16) |
           (std::uint32_t{bytes[2]} << 8) | std::uint32_t{bytes[3]};
}

inline void StoreBigEndian(std::uint32_t value, std::uint8_t* bytes) {
    bytes[0] = static_cast<std::uint8_t>(value >> 24);
    bytes[1] = static_cast<std::uint8_t>(value >> 16);
    bytes[2] = static_cast<std::uint8_t>(value >> 8);
    bytes[3] = static_cast<std::uint8_t>(value);
}

// The initial permutation as a network of bit-group exchanges; each exchange is its own
// inverse, so the final permutation runs the same network backwards.
constexpr void SwapBits(std::uint32_t& a, std::uint32_t& b, int shift, std::uint32_t mask) {
    const std::uint32_t t = ((a >> shift) ^ b) & mask;
    b ^= t;
    a ^= t << shift;
}

constexpr void InitialPermutation(std::uint32_t& l, std::uint32_t& r) {
    SwapBits(l, r, 4, 0x0F0F0F0FU);
    SwapBits(l, r, 16, 0x0000FFFFU);
    SwapBits(r, l, 2, 0x33333333U);
    SwapBits(r, l, 8, 0x00FF00FFU);
    SwapBits(l, r, 1, 0x55555555U);
}

constexpr void FinalPermutation(std::uint32_t& l, std::uint32_t& r) {
    SwapBits(l, r, 1, 0x55555555U);
    SwapBits(r, l, 8, 0x00FF00FFU);
    SwapBits(r, l, 2, 0x33333333U);
    SwapBits(l, r, 16, 0x0000FFFFU);
    SwapBits(l, r, 4, 0x0F0F0F0FU);
}

// Reference form of the initial permutation, straight from the published table, used
// only to prove the exchange network right while compiling.
constexpr std::pair<std::uint32_t, std::uint32_t> TableInitialPermutation(std::uint32_t hi,
                                                                          std::uint32_t lo) {
    auto bit = [&](int k) {
        return k <= 32 ? (hi >> (32 - k)) & 1U : (lo >> (64 - k)) & 1U;
    };
    std::uint32_t l = 0;
    std::uint32_t r = 0;
    for (int j = 1; j <= 64; ++j) {
        const std::uint32_t b = bit(des_tables::kInitialPermutation[j - 1]);
        if (j <= 32) {
            l |= b << (32 - j);
        } else {
            r |= b << (64 - j);
        }
    }
    return {l, r};
}

constexpr bool PermutationNetworksMatchTable() {
    // Both forms are linear over bits, so agreeing on every single-bit input proves them
    // equal on all inputs.
    for (int k = 0; k < 64; ++k) {
        const std::uint32_t hi = k < 32 ? (1U << k) : 0U;
        const std::uint32_t lo = k >= 32 ? (1U << (k - 32)) : 0U;
        std::uint32_t l = hi;
        std::uint32_t r = lo;
        InitialPermutation(l, r);
        if (std::pair{l, r} != TableInitialPermutation(hi, lo))
            return false;
        FinalPermutation(l, r);
        if (l != hi || r != lo)
            return false;
    }
    return true;
}
static_assert(PermutationNetworksMatchTable());

// The round function. The expansion takes, for box i, the six bits of R starting one
// before its nibble (wrapping around); rotating R left by 5 lines up boxes 0, 2, 4, 6 on
// bytes 0, 3, 2, 1 and by 9 does the same for boxes 1, 3, 5, 7. The subkey words carry
// the 6-bit key groups in those same places.
__attribute__((always_inline)) inline std::uint32_t RoundFunction(std::uint32_t r,
                                                                  std::uint32_t key_even,
                                                                  std::uint32_t key_odd) {
    const std::uint32_t a = RotateLeft(r, 5) ^ key_even;
    const std::uint32_t b = RotateLeft(r, 9) ^ key_odd;
    return kSpTables[0][a & 0x3F] ^ kSpTables[2][(a >> 24) & 0x3F] ^
           kSpTables[4][(a >> 16) & 0x3F] ^ kSpTables[6][(a >> 8) & 0x3F] ^ kSpTables[1][b & 0x3F] ^
           kSpTables[3][(b >> 24) & 0x3F] ^ kSpTables[5][(b >> 16) & 0x3F] ^
           kSpTables[7][(b >> 8) & 0x3F];
}

// Runs Stages single-DES passes of 16 rounds (32 subkey words each) over one block. The
// final permutation of one pass and the initial permutation of the next cancel out, so
// only the half swap between passes remains.
template <int Stages>
__attribute__((always_inline)) inline void CryptBlock(const std::uint32_t* subkeys,
                                                      const std::uint8_t* in, std::uint8_t* out) {
    std::uint32_t l = LoadBigEndian(in);
    std::uint32_t r = LoadBigEndian(in + 4);
    InitialPermutation(l, r);
#pragma GCC unroll 3
    for (int stage = 0; stage < Stages; ++stage) {
#pragma GCC unroll 8
        for (int pair = 0; pair < 8; ++pair) {
            l ^= RoundFunction(r, subkeys[0], subkeys[1]);
            r ^= RoundFunction(l, subkeys[2], subkeys[3]);
            subkeys += 4;
        }
        std::swap(l, r);
    }
    FinalPermutation(l, r);
    StoreBigEndian(l, out);
    StoreBigEndian(r, out + 4);
}

// Two independent blocks through the same rounds: their round functions interleave, so
// the processor overlaps the table lookups of one block with those of the other.
template <int Stages>
__attribute__((always_inline)) inline void CryptTwoBlocks(const std::uint32_t* subkeys,
                                                          const std::uint8_t* in,
                                                          std::uint8_t* out) {
    std::uint32_t l0 = LoadBigEndian(in);
    std::uint32_t r0 = LoadBigEndian(in + 4);
    std::uint32_t l1 = LoadBigEndian(in + 8);
    std::uint32_t r1 = LoadBigEndian(in + 12);
    InitialPermutation(l0, r0);
    InitialPermutation(l1, r1);
#pragma GCC unroll 3
    for (int stage = 0; stage < Stages; ++stage) {
#pragma GCC unroll 8
        for (int pair = 0; pair < 8; ++pair) {
            l0 ^= RoundFunction(r0, subkeys[0], subkeys[1]);
            l1 ^= RoundFunction(r1, subkeys[0], subkeys[1]);
            r0 ^= RoundFunction(l0, subkeys[2], subkeys[3]);
            r1 ^= RoundFunction(l1, subkeys[2], subkeys[3]);
            subkeys += 4;
        }
        std::swap(l0, r0);
        std::swap(l1, r1);
    }
    FinalPermutation(l0, r0);
    FinalPermutation(l1, r1);
    StoreBigEndian(l0, out);
    StoreBigEndian(r0, out + 4);
    StoreBigEndian(l1, out + 8);
    StoreBigEndian(r1, out + 12);
}

template <int Stages>
void EcbBlocks(const std::uint32_t* subkeys, const std::uint8_t* in, std::uint8_t* out,
               std::size_t length) {
    std::size_t offset = 0;
    for (; offset + 2 * kDesBlockSize <= length; offset += 2 * kDesBlockSize) {
        CryptTwoBlocks<Stages>(subkeys, in + offset, out + offset);
    }
    if (offset + kDesBlockSize <= length)
        CryptBlock<Stages>(subkeys, in + offset, out + offset);
}

void MakeEncryptionSchedule(const std::uint8_t* key8, std::uint32_t* esk) {
    using namespace des_tables;
    auto key_bit = [key8](int k) -> std::uint32_t {
        return (key8[(k - 1) / 8] >> (7 - (k - 1) % 8)) & 1U;
    };
    // C in bits 27..0 of c, D likewise in d; the bit for position 1 is the highest.
    std::uint32_t c = 0;
    std::uint32_t d = 0;
    for (int j = 0; j < 28; ++j) {
        c |= key_bit(kPermutedChoice1[j]) << (27 - j);
        d |= key_bit(kPermutedChoice1[28 + j]) << (27 - j);
    }
    for (std::size_t round = 0; round < 16; ++round) {
        const int shift = kKeyRotations[round];
        c = ((c << shift) | (c >> (28 - shift))) & 0x0FFFFFFFU;
        d = ((d << shift) | (d >> (28 - shift))) & 0x0FFFFFFFU;
        auto cd_bit = [c, d](int k) -> std::uint32_t {
            return k <= 28 ? (c >> (28 - k)) & 1U : (d >> (56 - k)) & 1U;
        };
        std::uint32_t groups[8] = {};
        for (int j = 0; j < 48; ++j) {
            groups[j / 6] |= cd_bit(kPermutedChoice2[j]) << (5 - j % 6);
        }
        esk[2 * round] = groups[0] | (groups[2] << 24) | (groups[4] << 16) | (groups[6] << 8);
        esk[2 * round + 1] = groups[1] | (groups[3] << 24) | (groups[5] << 16) | (groups[7] << 8);
        SecureWipe(groups, sizeof(groups));
    }
    SecureWipe(&c, sizeof(c));
    SecureWipe(&d, sizeof(d));
}

void ReverseRounds(const std::uint32_t* esk, std::uint32_t* dsk) {
    for (std::size_t round = 0; round < 16; ++round) {
        dsk[2 * round] = esk[30 - 2 * round];
        dsk[2 * round + 1] = esk[31 - 2 * round];
    }
}

void XorBlock(std::uint8_t* target, const std::uint8_t* source) {
    for (std::size_t i = 0; i < kDesBlockSize; ++i)
        target[i] ^= source[i];
}

template <int Stages>
void CbcEncrypt(const std::uint32_t* esk, std::uint8_t* iv8, const std::uint8_t* in,
                std::uint8_t* out, std::size_t length) {
    for (std::size_t offset = 0; offset + kDesBlockSize <= length; offset += kDesBlockSize) {
        XorBlock(iv8, in + offset);
        CryptBlock<Stages>(esk, iv8, iv8);
        std::memcpy(out + offset, iv8, kDesBlockSize);
    }
}

template <int Stages>
void CbcDecrypt(const std::uint32_t* dsk, std::uint8_t* iv8, const std::uint8_t* in,
                std::uint8_t* out, std::size_t length) {
    std::uint8_t kept[kDesBlockSize];
    for (std::size_t offset = 0; offset + kDesBlockSize <= length; offset += kDesBlockSize) {
        std::memcpy(kept, in + offset, kDesBlockSize);
        CryptBlock<Stages>(dsk, kept, out + offset);
        XorBlock(out + offset, iv8);
        std::memcpy(iv8, kept, kDesBlockSize);
    }
    SecureWipe(kept, sizeof(kept));
}

}  // namespace

void des_set_key(des_context& context, const std::uint8_t* key8) {
    MakeEncryptionSchedule(key8, context.esk);
    ReverseRounds(context.esk, context.dsk);
}

void des_encrypt(const des_context& context, const std::uint8_t* in8, std::uint8_t* out8) {
    CryptBlock<1>(context.esk, in8, out8);
}

void des_decrypt(const des_context& context, const std::uint8_t* in8, std::uint8_t* out8) {
    CryptBlock<1>(context.dsk, in8, out8);
}

void des_cbc_encrypt(const des_context& context, std::uint8_t* iv8, const std::uint8_t* in,
                     std::uint8_t* out, std::size_t length) {
    CbcEncrypt<1>(context.esk, iv8, in, out, length);
}

void des_cbc_decrypt(const des_context& context, std::uint8_t* iv8, const std::uint8_t* in,
                     std::uint8_t* out, std::size_t length) {
    CbcDecrypt<1>(context.dsk, iv8, in, out, length);
}

void des3_set_3keys(des3_context& context, const std::uint8_t* key24) {
    des_context k1;
    des_context k2;
    des_context k3;
    des_set_key(k1, key24);
    des_set_key(k2, key24 + 8);
    des_set_key(k3, key24 + 16);
    constexpr std::size_t kPass = sizeof(k1.esk);
    std::memcpy(context.esk, k1.esk, kPass);
    std::memcpy(context.esk + 32, k2.dsk, kPass);
    std::memcpy(context.esk + 64, k3.esk, kPass);
    std::memcpy(context.dsk, k3.dsk, kPass);
    std::memcpy(context.dsk + 32, k2.esk, kPass);
    std::memcpy(context.dsk + 64, k1.dsk, kPass);
}

void des3_set_2keys(des3_context& context, const std::uint8_t* key16) {
    std::uint8_t key24[kDes3KeySize3];
    std::memcpy(key24, key16, kDes3KeySize2);
    std::memcpy(key24 + kDes3KeySize2, key16, kDesKeySize);
    des3_set_3keys(context, key24);
    SecureWipe(key24, sizeof(key24));
}

void des3_encrypt(const des3_context& context, const std::uint8_t* in8, std::uint8_t* out8) {
    CryptBlock<3>(context.esk, in8, out8);
}

void des3_decrypt(const des3_context& context, const std::uint8_t* in8, std::uint8_t* out8) {
    CryptBlock<3>(context.dsk, in8, out8);
}

void des3_ecb_encrypt(const des3_context& context, const std::uint8_t* in, std::uint8_t* out,
                      std::size_t length) {
    EcbBlocks<3>(context.esk, in, out, length);
}

void des3_ecb_decrypt(const des3_context& context, const std::uint8_t* in, std::uint8_t* out,
                      std::size_t length) {
    EcbBlocks<3>(context.dsk, in, out, length);
}

void des3_ecb_subkeys(const std::uint32_t* subkeys, const std::uint8_t* in, std::uint8_t* out,
                      std::size_t length) {
    EcbBlocks<3>(subkeys, in, out, length);
}

void des3_cbc_encrypt(const des3_context& context, std::uint8_t* iv8, const std::uint8_t* in,
                      std::uint8_t* out, std::size_t length) {
    CbcEncrypt<3>(context.esk, iv8, in, out, length);
}

void des3_cbc_decrypt(const des3_context& context, std::uint8_t* iv8, const std::uint8_t* in,
                      std::uint8_t* out, std::size_t length) {
    CbcDecrypt<3>(context.dsk, iv8, in, out, length);
}

}  // namespace kestrelvane
