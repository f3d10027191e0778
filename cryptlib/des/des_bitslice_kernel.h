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
// next cancel out, leaving only the exchange of the halves. Meanwhile the next batch, when
// there is one, is fetched into the cache a few lines per pair of rounds: a batch of the
// wide variants is a whole page or more, and the processor's own prefetching stops at the
// page's end, so each batch would otherwise begin by waiting for memory.
template <typename V>
[[gnu::noinline]] void Rounds(V* state, const std::uint64_t (*masks)[kBitsliceRoundKeyBits],
                              const std::uint8_t* next) {
    // A batch is 64 rows of V: sizeof(V) lines of 64 bytes.
    constexpr int kLines = static_cast<int>(sizeof(V));
    constexpr int kLinesPerPair = (kLines + 23) / 24;
    V* left = state;
    V* right = state + 32;
    for (int pass = 0; pass < 3; ++pass) {
        for (int pair = 0; pair < 8; ++pair) {
            if (next != nullptr) {
                for (int i = 0; i < kLinesPerPair; ++i) {
                    const int line = (8 * pass + pair) * kLinesPerPair + i;
                    if (line < kLines)
                        __builtin_prefetch(next + 64 * line);
                }
            }
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

// Where each word bit's plane sits in the state: the inverse of kStatePlane.
constexpr std::array<std::uint8_t, 64> kPlaneState = [] {
    std::array<std::uint8_t, 64> state{};
    for (int j = 0; j < 64; ++j)
        state[kStatePlane[j]] = static_cast<std::uint8_t>(j);
    return state;
}();

// The 64 x 64 bit transposition of every lane (row i, bit c to row c, bit i) is six
// exchanges of off-diagonal blocks, of widths 32 down to 1; they commute. Rows k + 8a
// (a = 0..7) meet only each other in the exchanges of widths 32, 16 and 8, and rows
// 8b + c (c = 0..7) only each other in those of widths 4, 2 and 1: the transposition is
// two passes over eight rows at a time, each held in registers, and the first and last
// passes read and write the blocks and the state directly.
constexpr std::uint64_t ExchangeMask(int width) {
    std::uint64_t mask = 0;
    for (int bit = 0; bit < 64; ++bit) {
        if ((bit & width) == 0)
            mask |= std::uint64_t{1} << bit;
    }
    return mask;
}

template <int Width, typename V>
[[gnu::always_inline]] inline void Exchange(V& low, V& high) {
    const V t = ((low >> Width) ^ high) & ExchangeMask(Width);
    high ^= t;
    low ^= t << Width;
}

// The three exchanges among eight rows r[a] whose row numbers differ by Width4 * a / 4.
template <int Width4, typename V>
[[gnu::always_inline]] inline void ExchangeEight(V (&r)[8]) {
    Exchange<Width4>(r[0], r[4]);
    Exchange<Width4>(r[1], r[5]);
    Exchange<Width4>(r[2], r[6]);
    Exchange<Width4>(r[3], r[7]);
    Exchange<Width4 / 2>(r[0], r[2]);
    Exchange<Width4 / 2>(r[1], r[3]);
    Exchange<Width4 / 2>(r[4], r[6]);
    Exchange<Width4 / 2>(r[5], r[7]);
    Exchange<Width4 / 4>(r[0], r[1]);
    Exchange<Width4 / 4>(r[2], r[3]);
    Exchange<Width4 / 4>(r[4], r[5]);
    Exchange<Width4 / 4>(r[6], r[7]);
}

template <typename V>
[[gnu::always_inline]] inline void BlocksToState(const std::uint8_t* in, V* scratch, V* state) {
#pragma GCC unroll 8
    for (int k = 0; k < 8; ++k) {
        V r[8];
#pragma GCC unroll 8
        for (int a = 0; a < 8; ++a)
            std::memcpy(&r[a], in + (k + 8 * a) * sizeof(V), sizeof(V));
        ExchangeEight<32>(r);
#pragma GCC unroll 8
        for (int a = 0; a < 8; ++a)
            scratch[k + 8 * a] = r[a];
    }
#pragma GCC unroll 8
    for (int b = 0; b < 8; ++b) {
        V r[8];
#pragma GCC unroll 8
        for (int c = 0; c < 8; ++c)
            r[c] = scratch[8 * b + c];
        ExchangeEight<4>(r);
#pragma GCC unroll 8
        for (int c = 0; c < 8; ++c)
            state[kPlaneState[8 * b + c]] = r[c];
    }
}

template <typename V>
[[gnu::always_inline]] inline void StateToBlocks(const V* state, V* scratch, std::uint8_t* out) {
#pragma GCC unroll 8
    for (int k = 0; k < 8; ++k) {
        V r[8];
#pragma GCC unroll 8
        for (int a = 0; a < 8; ++a)
            r[a] = state[kPlaneState[k + 8 * a]];
        ExchangeEight<32>(r);
#pragma GCC unroll 8
        for (int a = 0; a < 8; ++a)
            scratch[k + 8 * a] = r[a];
    }
#pragma GCC unroll 8
    for (int b = 0; b < 8; ++b) {
        V r[8];
#pragma GCC unroll 8
        for (int c = 0; c < 8; ++c)
            r[c] = scratch[8 * b + c];
        ExchangeEight<4>(r);
#pragma GCC unroll 8
        for (int c = 0; c < 8; ++c)
            std::memcpy(out + (8 * b + c) * sizeof(V), &r[c], sizeof(V));
    }
}

template <typename V>
void EcbBatches(const std::uint64_t (*masks)[kBitsliceRoundKeyBits], const std::uint8_t* in,
                std::uint8_t* out, std::size_t batches) {
    constexpr std::size_t kBatchBytes = 64 * sizeof(V);
    V scratch[64];
    V state[64];
    for (std::size_t batch = 0; batch < batches; ++batch) {
        BlocksToState(in + batch * kBatchBytes, scratch, state);
        Rounds(state, masks, batch + 1 < batches ? in + (batch + 1) * kBatchBytes : nullptr);
        StateToBlocks(state, scratch, out + batch * kBatchBytes);
    }
    // Plaintext and intermediate rounds stay on the stack otherwise.
    SecureWipe(scratch, sizeof(scratch));
    SecureWipe(state, sizeof(state));
}

}  // namespace
}  // namespace kestrelvane::bitslice
