// The AVX2 variant: 256 blocks per batch. Only this file is compiled for AVX2; it runs
// only when the processor says it has it.

#include "cryptlib/des/des_bitslice_kernel.h"

namespace kestrelvane::bitslice {

namespace {
using Lanes4 = std::uint64_t __attribute__((vector_size(32)));
}  // namespace

void EcbBatchesAvx2(const std::uint64_t (*masks)[kBitsliceRoundKeyBits], const std::uint8_t* in,
                    std::uint8_t* out, std::size_t batches) {
    EcbBatches<Lanes4>(masks, in, out, batches);
}

}  // namespace kestrelvane::bitslice
