#pragma once

// The bitsliced triple-DES engine, written once over a word type V of kLanes 64-bit lanes
// (std::uint64_t, or a GCC vector of 4 or 8 of them). Each variant's translation unit
// includes this header and is compiled for its own instruction set; the engine sits in
// an unnamed namespace so that no copy made for a wide instruction set can stand in, at
// link time, for the copy of another unit.
//
// A batch is 64 rows of V read straight from memory: lane k of row i is block
// kLanes * i + k, loaded as a little-endian 64-bit word. Transposing the 64 x 64 bit
// matrix of every lane gives 64 planes: bit i of lane k of plane c is bit c of that
// block's word. The standard numbers block bits from the most significant bit of the
// first byte; WordBit maps its numbering onto the word. The initial and final
// permutations, the expansion and the round permutation are then only a choice of which
// plane to read or write, fixed at compile time.

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <utility>

#include "cryptlib/des/des_bitslice.h"
#include "cryptlib/des/des_sbox_circuits.h"
#include "cryptlib/des/des_tables.h"
#include "cryptlib/wipe/secure_wipe.h"

namespace kestrelvane::bitslice {

// Whole batches of each variant.
void EcbBatchesPortable(const std::uint64_t (*masks)[kBitsliceRoundKeyBits], const std::uint8_t* in,
                        std::uint8_t* out, std::size_t batches);
void EcbBatchesAvx2(const std::uint64_t (*masks)[kBitsliceRoundKeyBits], const std::uint8_t* in,
                    std::uint8_t* out, std::size_t batches);
void EcbBatchesAvx512(const std::uint64_t (*masks)[kBitsliceRoundKeyBits], const std::uint8_t* in,
                      std::uint8_t* out, std::size_t batches);

namespace {

// Bit n (1..64, the standard's numbering) of a block, as a bit of its little-endian word.
constexpr int WordBit(int n) {
    return 8 * ((n - 1) / 8) + 7 - (n - 1) % 8;
}

// State plane j (0..31 the left half, 32..63 the right half after the initial
// permutation) is word bit kStatePlane[j] of the block. The final permutation is the
// inverse of the initial one, so the same table also says where each state plane goes
// back.
constexpr std::array<std::uint8_t, 64> kStatePlane = [] {
    std::array<std::uint8_t, 64> planes{};
    for (int j = 0; j < 64; ++j)
        planes[j] = static_cast<std::uint8_t>(WordBit(des_tables::kInitialPermutation[j]));
    return planes;
}();

// S-box output bit q (0..31: box q / 4, bit q % 4 from the most significant) lands on
// bit kRoundTarget[q] of the round function's result, through the round permutation.
constexpr std::array<std::uint8_t, 32> kRoundTarget = [] {
    std::array<std::uint8_t, 32> target{};
    for (int i = 0; i < 32; ++i)
        target[des_tables::kRoundPermutation[i] - 1] = static_cast<std::uint8_t>(i);
    return target;
}();

// Input j (0..5) of S-box s reads half bit (4s - 1 + j) mod 32: the expansion.
constexpr int ExpansionSource(int s, int j) {
    return (4 * s + 31 + j) % 32;
}

template <int S, typename V>
[[gnu::always_inline]] constexpr void SBox(V x1, V x2, V x3, V x4, V x5, V x6, V& y1, V& y2, V& y3,
                                           V& y4) {
    if constexpr (S == 0)
        SBox1(x1, x2, x3, x4, x5, x6, y1, y2, y3, y4);
    else if constexpr (S == 1)
        SBox2(x1, x2, x3, x4, x5, x6, y1, y2, y3, y4);
    else if constexpr (S == 2)
        SBox3(x1, x2, x3, x4, x5, x6, y1, y2, y3, y4);
    else if constexpr (S == 3)
        SBox4(x1, x2, x3, x4, x5, x6, y1, y2, y3, y4);
    else if constexpr (S == 4)
        SBox5(x1, x2, x3, x4, x5, x6, y1, y2, y3, y4);
    else if constexpr (S == 5)
        SBox6(x1, x2, x3, x4, x5, x6, y1, y2, y3, y4);
    else if constexpr (S == 6)
        SBox7(x1, x2, x3, x4, x5, x6, y1, y2, y3, y4);
    else
        SBox8(x1, x2, x3, x4, x5, x6, y1, y2, y3, y4);
}

template <int S, typename V>
[[gnu::always_inline]] inline void SBoxInto(const V* in, V* out, const std::uint64_t* key) {
    V y1, y2, y3, y4;
    SBox<S>(V(in[ExpansionSource(S, 0)] ^ key[6 * S + 0]),
            V(in[ExpansionSource(S, 1)] ^ key[6 * S + 1]),
            V(in[ExpansionSource(S, 2)] ^ key[6 * S + 2]),
            V(in[ExpansionSource(S, 3)] ^ key[6 * S + 3]),
            V(in[ExpansionSource(S, 4)] ^ key[6 * S + 4]),
            V(in[ExpansionSource(S, 5)] ^ key[6 * S + 5]), y1, y2, y3, y4);
    out[kRoundTarget[4 * S + 0]] ^= y1;
    out[kRoundTarget[4 * S + 1]] ^= y2;
    out[kRoundTarget[4 * S + 2]] ^= y3;
    out[kRoundTarget[4 * S + 3]] ^= y4;
}

// One round: out ^= f(in, key).
template <typename V, std::size_t... S>
[[gnu::always_inline]] inline void Round(const V* in, V* out, const std::uint64_t* key,
                                         std::index_sequence<S...>) {
    (SBoxInto<static_cast<int>(S)>(in, out, key), ...);
}

// Three passes of 16 rounds; the final permutation of one pass and the initial one of the
// next cancel out, leaving only the exchange of the halves.
template <typename V>
[[gnu::noinline]] void Rounds(V* state, const std::uint64_t (*masks)[kBitsliceRoundKeyBits]) {
    V* left = state;
    V* right = state + 32;
    for (int pass = 0; pass < 3; ++pass) {
        for (int pair = 0; pair < 8; ++pair) {
            const int round = 16 * pass + 2 * pair;
            Round(right, left, masks[round], std::make_index_sequence<8>{});
            Round(left, right, masks[round + 1], std::make_index_sequence<8>{});
        }
        V* const exchanged = left;
        left = right;
        right = exchanged;
    }
    // After an odd number of exchanges the left half lives in the upper 32 planes: put
    // both halves back in order for the final permutation.
    for (int i = 0; i < 32; ++i) {
        const V t = state[i];
        state[i] = state[32 + i];
        state[32 + i] = t;
    }
}

// Transposes the 64 x 64 bit matrix held in every lane of rows[0..63] (row i, bit c) in
// place: six rounds of exchanging off-diagonal blocks of halving size.
template <typename V>
[[gnu::always_inline]] inline void Transpose(V* rows) {
    constexpr std::uint64_t kMasks[6] = {0x00000000FFFFFFFFULL, 0x0000FFFF0000FFFFULL,
                                         0x00FF00FF00FF00FFULL, 0x0F0F0F0F0F0F0F0FULL,
                                         0x3333333333333333ULL, 0x5555555555555555ULL};
#pragma GCC unroll 6
    for (int stage = 0; stage < 6; ++stage) {
        const int width = 32 >> stage;
        const std::uint64_t mask = kMasks[stage];
#pragma GCC unroll 64
        for (int k = 0; k < 64; ++k) {
            if ((k & width) != 0)
                continue;
            const V t = ((rows[k] >> width) ^ rows[k + width]) & mask;
            rows[k + width] ^= t;
            rows[k] ^= t << width;
        }
    }
}

template <typename V>
void EcbBatches(const std::uint64_t (*masks)[kBitsliceRoundKeyBits], const std::uint8_t* in,
                std::uint8_t* out, std::size_t batches) {
    constexpr std::size_t kBatchBytes = 64 * sizeof(V);
    V rows[64];
    V state[64];
    for (std::size_t batch = 0; batch < batches; ++batch) {
        std::memcpy(rows, in + batch * kBatchBytes, kBatchBytes);
        Transpose(rows);
        for (int j = 0; j < 64; ++j)
            state[j] = rows[kStatePlane[j]];
        Rounds(state, masks);
        for (int j = 0; j < 64; ++j)
            rows[kStatePlane[j]] = state[j];
        Transpose(rows);
        std::memcpy(out + batch * kBatchBytes, rows, kBatchBytes);
    }
    // Plaintext and intermediate rounds stay on the stack otherwise.
    SecureWipe(rows, sizeof(rows));
    SecureWipe(state, sizeof(state));
}

}  // namespace
}  // namespace kestrelvane::bitslice
