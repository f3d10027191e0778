#include "cryptlib/md5/md5.h"

#include <cstring>

#include "cryptlib/wipe/secure_wipe.h"

namespace kestrelvane {
namespace {

// floor(abs(sin(i + 1)) * 2^32) for i = 0..63.
constexpr std::uint32_t kSineTable[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391};

constexpr int kShifts[4][4] = {{7, 12, 17, 22}, {5, 9, 14, 20}, {4, 11, 16, 23}, {6, 10, 15, 21}};

constexpr std::uint8_t kPadding[64] = {0x80};

constexpr std::uint32_t RotateLeft(std::uint32_t value, int count) {
    return (value << count) | (value >> (32 - count));
}

void Encode(std::uint8_t* output, const std::uint32_t* input, std::size_t length) {
    for (std::size_t i = 0; i < length; ++i) {
        output[i] = static_cast<std::uint8_t>(input[i / 4] >> (8 * (i % 4)));
    }
}

void Decode(std::uint32_t* output, const std::uint8_t* input, std::size_t length) {
    for (std::size_t i = 0; i < length / 4; ++i) {
        output[i] = std::uint32_t{input[4 * i]} | (std::uint32_t{input[4 * i + 1]} << 8) |
                    (std::uint32_t{input[4 * i + 2]} << 16) |
                    (std::uint32_t{input[4 * i + 3]} << 24);
    }
}

void Transform(std::uint32_t state[4], const std::uint8_t block[64]) {
    std::uint32_t x[16];
    Decode(x, block, 64);
    std::uint32_t a = state[0];
    std::uint32_t b = state[1];
    std::uint32_t c = state[2];
    std::uint32_t d = state[3];
    for (int i = 0; i < 64; ++i) {
        const int round = i / 16;
        std::uint32_t f = 0;
        int g = 0;
        switch (round) {
            case 0:
                f = (b & c) | (~b & d);
                g = i;
                break;
            case 1:
                f = (d & b) | (~d & c);
                g = (5 * i + 1) % 16;
                break;
            case 2:
                f = b ^ c ^ d;
                g = (3 * i + 5) % 16;
                break;
            default:
                f = c ^ (b | ~d);
                g = (7 * i) % 16;
                break;
        }
        const std::uint32_t rotated =
            RotateLeft(a + f + x[g] + kSineTable[i], kShifts[round][i % 4]);
        a = d;
        d = c;
        c = b;
        b += rotated;
    }
    state[0] += a;
    state[1] += b;
    state[2] += c;
    state[3] += d;
    SecureWipe(x, sizeof(x));
}

}  // namespace

void MD5Init(MD5_CTX& context) {
    context.count[0] = context.count[1] = 0;
    context.state[0] = 0x67452301;
    context.state[1] = 0xefcdab89;
    context.state[2] = 0x98badcfe;
    context.state[3] = 0x10325476;
}

void MD5Update(MD5_CTX& context, const std::uint8_t* input, std::size_t length) {
    if (length == 0)
        return;
    std::size_t index = (context.count[0] >> 3) & 0x3F;
    const std::uint64_t bits = (std::uint64_t{context.count[1]} << 32 | context.count[0]) +
                               (static_cast<std::uint64_t>(length) << 3);
    context.count[0] = static_cast<std::uint32_t>(bits);
    context.count[1] = static_cast<std::uint32_t>(bits >> 32);

    const std::size_t part = 64 - index;
    std::size_t i = 0;
    if (length >= part) {
        std::memcpy(context.buffer + index, input, part);
        Transform(context.state, context.buffer);
        for (i = part; i + 63 < length; i += 64)
            Transform(context.state, input + i);
        index = 0;
    }
    std::memcpy(context.buffer + index, input + i, length - i);
}

void MD5Final(std::uint8_t digest[kMd5DigestSize], MD5_CTX& context) {
    std::uint8_t bits[8];
    Encode(bits, context.count, 8);
    const std::size_t index = (context.count[0] >> 3) & 0x3F;
    const std::size_t pad_length = index < 56 ? 56 - index : 120 - index;
    MD5Update(context, kPadding, pad_length);
    MD5Update(context, bits, 8);
    Encode(digest, context.state, kMd5DigestSize);
    SecureWipe(&context, sizeof(context));
}

void MD5Digest(const std::uint8_t* input, std::size_t length, std::uint8_t digest[kMd5DigestSize]) {
    MD5_CTX context;
    MD5Init(context);
    MD5Update(context, input, length);
    MD5Final(digest, context);
}

}  // namespace kestrelvane
