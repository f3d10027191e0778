#pragma once

#include <cstddef>
#include <cstdint>

#include "cryptlib/des/des_bitslice.h"

namespace kestrelvane::test {

// The wide variants' engine (four or eight 64-bit lanes per word) built for the
// instructions every x86-64 processor has: on a processor without AVX2 or AVX-512 the
// tests still run those variants' batch layout, tails and dispatch through them.
void EcbBatchesLanes4StandIn(const std::uint64_t (*masks)[kBitsliceRoundKeyBits],
                             const std::uint8_t* in, std::uint8_t* out, std::size_t batches);
void EcbBatchesLanes8StandIn(const std::uint64_t (*masks)[kBitsliceRoundKeyBits],
                             const std::uint8_t* in, std::uint8_t* out, std::size_t batches);

}  // namespace kestrelvane::test
