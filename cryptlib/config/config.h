#pragma once

// The stored master-key material of this build. A sealed file or wrapped key made by one
// build opens only with a build that holds the same pieces.

#include <cstddef>
#include <cstdint>

namespace kestrelvane {

inline constexpr std::size_t kMasterKeyTextLength = 32;
inline constexpr std::size_t kMasterKeyTextBufferSize = 128;
inline constexpr std::size_t kTransportKeyLength = 24;
inline constexpr std::size_t kMaskingComponentLength = 32;
inline constexpr int kMaskingComponentCount = 4;

// Guards ReadMKey against callers other than the master-key assembly.
inline constexpr std::int32_t kMasterKeyAccessNumber = 5817;

// Copies the stored master-key text (without terminator) into text, which must hold at
// least kMasterKeyTextLength + 1 bytes and has been cleared by the caller, and stores the
// selector word. Returns 0, -29 for a wrong access number (nothing written), -5 for an
// absent or too small buffer.
std::int32_t ReadMKey(char* text, std::size_t capacity, std::int32_t& selector,
                      std::int32_t access_number);

// The three DES keys, as printable text, under which the stored text is encrypted.
const char* TransportKey();

// Masking component 1..4: kMaskingComponentLength printable characters.
const char* MaskingComponent(int number);

}  // namespace kestrelvane
