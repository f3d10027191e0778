// Opening arbitrary messages with DesCrypt1, with an output buffer of every interesting
// size: too small, exact and larger than the message.
#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

#include "cryptlib/include/kestrelvane.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()))
        return 0;
    const auto length = static_cast<std::int32_t>(size);
    static const unsigned char key[4] = {0x12, 0x34, 0x56, 0x78};
    for (const std::int32_t capacity : {0, length / 2, length}) {
        std::vector<unsigned char> output(static_cast<std::size_t>(capacity) + 1);
        std::int32_t outputLength = capacity;
        (void)DesCrypt1(KESTRELVANE_MODE_DECRYPT, data, length, output.data(), &outputLength, key,
                        sizeof key);
    }
    return 0;
}
