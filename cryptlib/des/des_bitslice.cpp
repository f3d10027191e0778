// The portable variant, the choice of variant, round-key masks and the handling of what
// does not fill a batch.

#include "cryptlib/des/des_bitslice.h"

#include <atomic>

#include "cryptlib/des/des_bitslice_kernel.h"

namespace kestrelvane {
namespace bitslice {

void EcbBatchesPortable(const std::uint64_t (*masks)[kBitsliceRoundKeyBits], const std::uint8_t* in,
                        std::uint8_t* out, std::size_t batches) {
    EcbBatches<std::uint64_t>(masks, in, out, batches);
}

namespace {

// Each circuit, evaluated on the truth tables of its six inputs over all 64 input values,
// must give the published table's four output bits: a proof while compiling.
template <int S>
constexpr bool CircuitMatchesTable() {
    std::uint64_t x[6] = {};
    std::uint64_t expected[4] = {};
    for (int value = 0; value < 64; ++value) {
        for (int k = 0; k < 6; ++k)
            x[k] |= static_cast<std::uint64_t>((value >> (5 - k)) & 1) << value;
        const int row = ((value >> 4) & 2) | (value & 1);
        const int entry = des_tables::kSBoxes[S][row * 16 + ((value >> 1) & 15)];
        for (int t = 0; t < 4; ++t)
            expected[t] |= static_cast<std::uint64_t>((entry >> (3 - t)) & 1) << value;
    }
    std::uint64_t y[4] = {};
    SBox<S>(x[0], x[1], x[2], x[3], x[4], x[5], y[0], y[1], y[2], y[3]);
    return y[0] == expected[0] && y[1] == expected[1] && y[2] == expected[2] && y[3] == expected[3];
}

template <std::size_t... S>
constexpr bool AllCircuitsMatchTables(std::index_sequence<S...>) {
    return (CircuitMatchesTable<static_cast<int>(S)>() && ...);
}
static_assert(AllCircuitsMatchTables(std::make_index_sequence<8>{}));

}  // namespace
}  // namespace bitslice

namespace {

constexpr std::size_t kBlock = kDesBlockSize;
// Below this many blocks, a padded batch costs more than doing the blocks one by one:
// one batch of 64 (portable) or 256 (AVX2) blocks takes as long as 25 to 28 blocks
// through the table engine.
constexpr std::size_t kMinBatchBlocks = 26;
// Building and wiping the masks costs about as much as 15 to 20 blocks one by one, so
// with the first padded batch the bitsliced path pays from about 48 blocks (both measured
// by cryptlib_bench's BatchBreakEven).
constexpr std::size_t kMinBulkBlocks = 48;

constexpr int kUnchosen = -1;
// The variant in use: chosen on first use, or forced. Every thread that races to choose
// first chooses the same.
std::atomic<int> g_variant{kUnchosen};

// Test stand-ins for the wide variants (see ForceBitsliceVariantForTesting).
std::atomic<BitsliceBatchesFunction> g_stand_ins[2] = {nullptr, nullptr};
constexpr int kAvx2StandIn = 0;
constexpr int kAvx512StandIn = 1;

BitsliceBatchesFunction BatchesOrStandIn(int slot, BitsliceBatchesFunction real) {
    const BitsliceBatchesFunction stand_in = g_stand_ins[slot].load(std::memory_order_relaxed);
    return stand_in != nullptr ? stand_in : real;
}

bool CpuHas(BitsliceVariant variant) {
    __builtin_cpu_init();
    switch (variant) {
        case BitsliceVariant::kPortable:
            return true;
        case BitsliceVariant::kAvx2:
            return __builtin_cpu_supports("avx2");
        case BitsliceVariant::kAvx512:
            return __builtin_cpu_supports("avx512f");
    }
    return false;
}

BitsliceVariant WidestRunnable() {
    if (CpuHas(BitsliceVariant::kAvx512))
        return BitsliceVariant::kAvx512;
    if (CpuHas(BitsliceVariant::kAvx2))
        return BitsliceVariant::kAvx2;
    return BitsliceVariant::kPortable;
}

BitsliceBatchesFunction BatchesOf(BitsliceVariant variant) {
    switch (variant) {
        case BitsliceVariant::kAvx512:
            return BatchesOrStandIn(kAvx512StandIn, bitslice::EcbBatchesAvx512);
        case BitsliceVariant::kAvx2:
            return BatchesOrStandIn(kAvx2StandIn, bitslice::EcbBatchesAvx2);
        case BitsliceVariant::kPortable:
            break;
    }
    return bitslice::EcbBatchesPortable;
}

// Spreads every subkey bit of the 48 rounds over a word. The subkey words hold, per
// round, the six-bit groups of S-boxes 0, 2, 4, 6 (even word) and 1, 3, 5, 7 (odd word)
// at bits 0, 24, 16 and 8, first key bit highest.
void MakeMasks(const std::uint32_t* subkeys, std::uint64_t (*masks)[kBitsliceRoundKeyBits]) {
    constexpr int kGroupShift[8] = {0, 0, 24, 24, 16, 16, 8, 8};
    for (int round = 0; round < kBitsliceRounds; ++round) {
        for (int box = 0; box < 8; ++box) {
            const std::uint32_t word = subkeys[2 * round + box % 2];
            const std::uint32_t group = (word >> kGroupShift[box]) & 0x3FU;
            for (int j = 0; j < 6; ++j) {
                const std::uint64_t bit = (group >> (5 - j)) & 1U;
                masks[round][6 * box + j] = 0 - bit;
            }
        }
    }
}

void SetSchedule(des3_bitslice_schedule& schedule, const std::uint32_t* subkeys) {
    std::memcpy(schedule.subkeys, subkeys, sizeof(schedule.subkeys));
    MakeMasks(subkeys, schedule.masks);
}

// A last part shorter than a batch: padded into one batch of the narrowest variant that
// holds it, or block by block when it is too short for any batch to pay.
void EcbRemainder(const des3_bitslice_schedule& schedule, const std::uint8_t* in, std::uint8_t* out,
                  std::size_t blocks) {
    if (blocks < kMinBatchBlocks) {
        des3_ecb_subkeys(schedule.subkeys, in, out, blocks * kBlock);
        return;
    }
    // Every processor with AVX-512 also has AVX2.
    BitsliceVariant variant = BitsliceVariant::kPortable;
    if (blocks > BitsliceBatchBlocks(BitsliceVariant::kPortable)) {
        variant = blocks > BitsliceBatchBlocks(BitsliceVariant::kAvx2) ? BitsliceVariant::kAvx512
                                                                       : BitsliceVariant::kAvx2;
    }
    alignas(64) std::uint8_t batch[512 * kBlock];
    const std::size_t batch_bytes = BitsliceBatchBlocks(variant) * kBlock;
    std::memcpy(batch, in, blocks * kBlock);
    std::memset(batch + blocks * kBlock, 0, batch_bytes - blocks * kBlock);
    BatchesOf(variant)(schedule.masks, batch, batch, 1);
    std::memcpy(out, batch, blocks * kBlock);
    SecureWipe(batch, batch_bytes);
}

void EcbBulk(const std::uint32_t* subkeys, const std::uint8_t* in, std::uint8_t* out,
             std::size_t length) {
    if (length / kBlock < kMinBulkBlocks) {
        des3_ecb_subkeys(subkeys, in, out, length);
        return;
    }
    des3_bitslice_schedule schedule;
    SetSchedule(schedule, subkeys);
    des3_bitslice_ecb(schedule, in, out, length);
}

}  // namespace

std::size_t BitsliceBatchBlocks(BitsliceVariant variant) {
    switch (variant) {
        case BitsliceVariant::kAvx512:
            return 512;
        case BitsliceVariant::kAvx2:
            return 256;
        case BitsliceVariant::kPortable:
            break;
    }
    return 64;
}

bool CpuRunsBitsliceVariant(BitsliceVariant variant) {
    return CpuHas(variant);
}

BitsliceVariant ActiveBitsliceVariant() {
    int chosen = g_variant.load(std::memory_order_relaxed);
    if (chosen == kUnchosen) {
        chosen = static_cast<int>(WidestRunnable());
        g_variant.store(chosen, std::memory_order_relaxed);
    }
    return static_cast<BitsliceVariant>(chosen);
}

bool ForceBitsliceVariant(BitsliceVariant variant) {
    if (!CpuHas(variant))
        return false;
    g_variant.store(static_cast<int>(variant), std::memory_order_relaxed);
    return true;
}

void ForceBitsliceVariantForTesting(BitsliceVariant variant, BitsliceBatchesFunction batches) {
    if (variant == BitsliceVariant::kAvx2)
        g_stand_ins[kAvx2StandIn].store(batches, std::memory_order_relaxed);
    if (variant == BitsliceVariant::kAvx512)
        g_stand_ins[kAvx512StandIn].store(batches, std::memory_order_relaxed);
    if (batches != nullptr || CpuHas(variant))
        g_variant.store(static_cast<int>(variant), std::memory_order_relaxed);
}

void des3_bitslice_set_encrypt(des3_bitslice_schedule& schedule, const des3_context& context) {
    SetSchedule(schedule, context.esk);
}

void des3_bitslice_set_decrypt(des3_bitslice_schedule& schedule, const des3_context& context) {
    SetSchedule(schedule, context.dsk);
}

void des3_bitslice_ecb(const des3_bitslice_schedule& schedule, const std::uint8_t* in,
                       std::uint8_t* out, std::size_t length) {
    const BitsliceVariant active = ActiveBitsliceVariant();
    const std::size_t width = BitsliceBatchBlocks(active);
    const std::size_t blocks = length / kBlock;
    const std::size_t batches = blocks / width;
    if (batches > 0)
        BatchesOf(active)(schedule.masks, in, out, batches);
    const std::size_t done = batches * width * kBlock;
    if (blocks % width != 0)
        EcbRemainder(schedule, in + done, out + done, blocks % width);
}

void des3_ecb_bulk_encrypt(const des3_context& context, const std::uint8_t* in, std::uint8_t* out,
                           std::size_t length) {
    EcbBulk(context.esk, in, out, length);
}

void des3_ecb_bulk_decrypt(const des3_context& context, const std::uint8_t* in, std::uint8_t* out,
                           std::size_t length) {
    EcbBulk(context.dsk, in, out, length);
}

}  // namespace kestrelvane
