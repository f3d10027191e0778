// The AVX-512 variant: 512 blocks per batch. Only this file is compiled for AVX-512; it
// runs only when the processor says it has it.

#include "cryptlib/des/des_bitslice_kernel.h"

namespace kestrelvane::bitslice {

namespace {
using Lanes8 = std::uint64_t __attribute__((vector_size(64)));
}  // namespace

void EcbBatchesAvx512(const std::uint64_t (*masks)[kBitsliceRoundKeyBits], const std::uint8_t* in,
                      std::uint8_t* out, std::size_t batches) {
    EcbBatches<Lanes8>(masks, in, out, batches);
}

}  // namespace kestrelvane::bitslice
