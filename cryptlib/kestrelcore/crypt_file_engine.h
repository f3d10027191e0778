#pragma once

// How CryptFile moves a file through the cipher. The bytes written do not depend on it:
// every engine reads, pads, checks and writes the same format; only the work is spread
// differently.

#include <cstddef>
#include <cstdint>

namespace kestrelvane {

struct CryptFileEngine {
    // Threads that cipher, the calling thread included; with one, everything runs on the
    // calling thread through one small buffer. With more, each takes whole chunks to read
    // and cipher, and the calling thread also writes them in order.
    unsigned threads = 1;
    // Bytes of one chunk of the threaded engine; a multiple of 8, at least 32.
    std::size_t chunk_size = 0;
    // Bytes of a chunk ciphered at a time, while they are in the nearest cache; a multiple
    // of 8.
    std::size_t piece_size = 0;
    // Inputs smaller than this stay on the calling thread: starting threads costs more
    // than they save.
    std::uint64_t threaded_from = 0;
    // Whether the threaded engine ciphers the input straight from a view of its pages,
    // where the system offers one, instead of reading it into the chunks first.
    bool view_input = false;
};

// The engine CryptFile uses: every core of the machine, up to a sensible cap.
CryptFileEngine DefaultCryptFileEngine();

// CryptFile with a chosen engine, for tests and measurements.
std::int32_t CryptFileWithEngine(const CryptFileEngine& engine, std::int32_t mode,
                                 const std::uint8_t* key, std::int32_t key_length,
                                 const char* input_path, const char* output_path,
                                 std::int32_t pad_mode);

}  // namespace kestrelvane
