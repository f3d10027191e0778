// Master-key assembly and the random key generator.

#include <gtest/gtest.h>

#include <cstring>
#include <set>

#include "cryptlib/base64/base64.h"
#include "cryptlib/config/config.h"
#include "cryptlib/kestrelcore/master_key.h"
#include "test_support.h"

namespace kestrelvane {
namespace {

using test::Bytes;

Bytes MasterKey(const std::uint8_t* key = nullptr, std::int32_t key_length = 0) {
    Bytes out(kMaxMasterKeyLength, 0);
    std::int32_t length = 0;
    EXPECT_EQ(getLMK(key, key_length, out.data(), length), 0);
    out.resize(static_cast<std::size_t>(length));
    return out;
}

TEST(MasterKey, AssembledFromTheStoredPiecesAsOpenSslComputesIt) {
    char text[kMasterKeyTextBufferSize] = {};
    std::int32_t selector = 0;
    ASSERT_EQ(ReadMKey(text, sizeof(text), selector, kMasterKeyAccessNumber), 0);
    EXPECT_EQ(std::strlen(text), kMasterKeyTextLength);
    EXPECT_EQ(selector, 7);

    Bytes decoded(64);
    std::int32_t decoded_length = static_cast<std::int32_t>(decoded.size());
    ASSERT_EQ(base64_decode(text, decoded.data(), &decoded_length), 0);
    decoded.resize(static_cast<std::size_t>(decoded_length));
    const Bytes transport(TransportKey(), TransportKey() + kTransportKeyLength);
    Bytes expected = test::OpenSslTdesEcb(transport, decoded, false);
    for (int component = 1; component <= 3; ++component) {
        for (std::size_t i = 0; i < expected.size(); ++i) {
            expected[i] ^= static_cast<std::uint8_t>(MaskingComponent(component)[i]);
        }
    }
    EXPECT_EQ(MasterKey(), expected);
    EXPECT_EQ(MasterKey(), MasterKey()) << "rebuilt identically on every call";
}

TEST(MasterKey, CallerKeyIsRepeatedAndCutToTheKeyLength) {
    const Bytes plain = MasterKey();
    ASSERT_EQ(plain.size(), 24U);
    const Bytes key8 = test::RandomBytes(8, 1);
    const Bytes mixed8 = MasterKey(key8.data(), 8);
    for (std::size_t i = 0; i < 24; ++i)
        EXPECT_EQ(mixed8[i], plain[i] ^ key8[i % 8]) << i;

    const Bytes key30 = test::RandomBytes(30, 2);
    const Bytes mixed30 = MasterKey(key30.data(), 30);
    for (std::size_t i = 0; i < 24; ++i)
        EXPECT_EQ(mixed30[i], plain[i] ^ key30[i]) << i;

    // A zero length mixes nothing in rather than dividing by it.
    EXPECT_EQ(MasterKey(key8.data(), 0), plain);
}

TEST(MasterKey, ReadMKeyRefusesAWrongAccessNumber) {
    char text[kMasterKeyTextBufferSize] = {};
    std::int32_t selector = -1;
    EXPECT_EQ(ReadMKey(text, sizeof(text), selector, kMasterKeyAccessNumber + 1), -29);
    EXPECT_EQ(text[0], 0);
    EXPECT_EQ(selector, -1);
    EXPECT_EQ(ReadMKey(text, kMasterKeyTextLength, selector, kMasterKeyAccessNumber), -5);
}

TEST(RandomKeys, OddParityFullRangeAndFreshOnEveryDraw) {
    Bytes first(4096);
    Bytes second(4096);
    ASSERT_EQ(RAND_seed(first.data(), 4096), 4096);
    ASSERT_EQ(RAND_seed(second.data(), 4096), 4096);
    std::set<std::uint8_t> seen;
    for (std::uint8_t b : first) {
        EXPECT_EQ(__builtin_popcount(b) % 2, 1) << int{b};
        seen.insert(b);
    }
    // Every odd-parity byte value (128 of them) can occur; a clock-seeded generator
    // confined to 0x02..0x7F would show at most 64.
    EXPECT_GT(seen.size(), 120U);
    EXPECT_NE(first, second);
    EXPECT_EQ(RAND_seed(first.data(), 0), 0);
}

}  // namespace
}  // namespace kestrelvane

namespace kestrelvane {
namespace {

TEST(KeyWiping, GuardWipesItsObjectWhenTheScopeEnds) {
    std::uint8_t key[24];
    std::memset(key, 0xA5, sizeof(key));
    {
        WipeOnExit<decltype(key)> guard(key);
        EXPECT_EQ(key[0], 0xA5) << "nothing wiped while the guard lives";
    }
    for (std::uint8_t b : key)
        EXPECT_EQ(b, 0);
    SecureWipe(nullptr, 8);  // harmless
}

}  // namespace
}  // namespace kestrelvane
