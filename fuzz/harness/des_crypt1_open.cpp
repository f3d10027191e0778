// Opening arbitrary messages with DesCrypt1, with an output buffer too small, of half
// the message and of the whole message.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <vector>

#include "cryptlib/include/kestrelvane.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()))
        return 0;
    const auto length = static_cast<std::int32_t>(size);
    static const unsigned char key[4] = {0x12, 0x34, 0x56, 0x78};
    for (const std::int32_t capacity : {0, length / 2, length}) {
        // Exactly the room given, so that a write past it is caught.
        std::vector<unsigned char> output(static_cast<std::size_t>(std::max(capacity, 1)));
        std::int32_t outputLength = capacity;
        const std::int32_t result = DesCrypt1(KESTRELVANE_MODE_DECRYPT, data, length, output.data(),
                                              &outputLength, key, sizeof key);
        // A message of L data bytes is 8 * (L / 8) + 40 bytes: an opened length outside
        // that, or beyond the room given, is data made up or written past the buffer.
        if (result == KESTRELVANE_OK &&
            (outputLength > capacity || outputLength + 40 < length || outputLength + 33 > length))
            std::abort();
    }
    return 0;
}
