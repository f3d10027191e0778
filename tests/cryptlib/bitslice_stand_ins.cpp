#include "bitslice_stand_ins.h"

#include "cryptlib/des/des_bitslice_kernel.h"

namespace kestrelvane::test {
namespace {
using Lanes4 = std::uint64_t __attribute__((vector_size(32)));
using Lanes8 = std::uint64_t __attribute__((vector_size(64)));
}  // namespace

void EcbBatchesLanes4StandIn(const std::uint64_t (*masks)[kBitsliceRoundKeyBits],
                             const std::uint8_t* in, std::uint8_t* out, std::size_t batches) {
    bitslice::EcbBatches<Lanes4>(masks, in, out, batches);
}

void EcbBatchesLanes8StandIn(const std::uint64_t (*masks)[kBitsliceRoundKeyBits],
                             const std::uint8_t* in, std::uint8_t* out, std::size_t batches) {
    bitslice::EcbBatches<Lanes8>(masks, in, out, batches);
}

}  // namespace kestrelvane::test
