#pragma once

// Triple-DES ECB over many blocks at once, bitsliced: a batch of blocks is turned into 64
// bit planes (plane i holds bit i of every block), the rounds run as Boolean gate circuits
// on whole planes, and the planes are turned back into blocks. No table is indexed by
// secret data, so the time taken does not depend on keys or data.
//
// Batches are 64 blocks (portable 64-bit code), 256 (AVX2) or 512 (AVX-512); the widest
// variant the processor runs is chosen on first use. Every variant gives the same bytes
// as des3_ecb_encrypt and des3_ecb_decrypt.

#include <cstddef>
#include <cstdint>

#include "cryptlib/des/des.h"
#include "cryptlib/wipe/secure_wipe.h"

namespace kestrelvane {

inline constexpr int kBitsliceRounds = 48;
inline constexpr int kBitsliceRoundKeyBits = 48;

// The round keys of one direction of a triple-DES key: the 96 subkey words for blocks
// done one at a time, and, for each of the 48 rounds, every subkey bit spread over a
// whole word (all zeros or all ones). Wiped when destroyed.
struct des3_bitslice_schedule {
    std::uint32_t subkeys[96];
    std::uint64_t masks[kBitsliceRounds][kBitsliceRoundKeyBits];
    ~des3_bitslice_schedule() { SecureWipe(this, sizeof(*this)); }
};

void des3_bitslice_set_encrypt(des3_bitslice_schedule& schedule, const des3_context& context);
void des3_bitslice_set_decrypt(des3_bitslice_schedule& schedule, const des3_context& context);

// ECB over length bytes (a multiple of 8; a trailing partial block is left untouched). in
// and out may be the same buffer, not otherwise overlapping.
void des3_bitslice_ecb(const des3_bitslice_schedule& schedule, const std::uint8_t* in,
                       std::uint8_t* out, std::size_t length);

// des3_ecb_encrypt and des3_ecb_decrypt for any length: long inputs go through the
// bitsliced engine (its schedule built and wiped within the call), short ones block by
// block, where building the schedule would cost more than it saves.
void des3_ecb_bulk_encrypt(const des3_context& context, const std::uint8_t* in, std::uint8_t* out,
                           std::size_t length);
void des3_ecb_bulk_decrypt(const des3_context& context, const std::uint8_t* in, std::uint8_t* out,
                           std::size_t length);

enum class BitsliceVariant { kPortable, kAvx2, kAvx512 };

// Blocks per batch of a variant.
std::size_t BitsliceBatchBlocks(BitsliceVariant variant);
bool CpuRunsBitsliceVariant(BitsliceVariant variant);
// The variant every call uses: the widest this processor runs, unless forced.
BitsliceVariant ActiveBitsliceVariant();
// For tests and benchmarks: every later call uses variant. Refused (false, nothing
// changes) when the processor cannot run it.
bool ForceBitsliceVariant(BitsliceVariant variant);

// Whole batches of one variant's width; masks are a schedule's masks.
using BitsliceBatchesFunction = void (*)(const std::uint64_t (*masks)[kBitsliceRoundKeyBits],
                                         const std::uint8_t* in, std::uint8_t* out,
                                         std::size_t batches);
// For tests on processors that lack a variant's instructions: every later call uses the
// variant's batch width and tail handling, with its batches done by `batches` (the same
// engine built for instructions this processor has). nullptr goes back to the real one.
void ForceBitsliceVariantForTesting(BitsliceVariant variant, BitsliceBatchesFunction batches);

}  // namespace kestrelvane
