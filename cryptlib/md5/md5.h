#pragma once

// MD5 message digest.

#include <cstddef>
#include <cstdint>

namespace kestrelvane {

inline constexpr std::size_t kMd5DigestSize = 16;

struct MD5_CTX {
    std::uint32_t state[4];
    std::uint32_t count[2];  // message length in bits, low word first
    std::uint8_t buffer[64];
};

void MD5Init(MD5_CTX& context);
void MD5Update(MD5_CTX& context, const std::uint8_t* input, std::size_t length);
// Pads, writes the digest and clears the whole context.
void MD5Final(std::uint8_t digest[kMd5DigestSize], MD5_CTX& context);
void MD5Digest(const std::uint8_t* input, std::size_t length, std::uint8_t digest[kMd5DigestSize]);

}  // namespace kestrelvane
