// The bitsliced triple-DES engine in every variant the processor runs, each one forced
// in turn: against OpenSSL on random keys and data over every tail length around its
// batch size, on published known answers, and, through CryptFile and DesCrypt2, against
// files and buffers made by the block-at-a-time engine.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <new>
#include <string>

#include "bitslice_stand_ins.h"
#include "cryptlib/des/des.h"
#include "cryptlib/des/des_bitslice.h"
#include "cryptlib/include/kestrelvane.h"
#include "cryptlib/kestrelcore/master_key.h"
#include "test_support.h"
#include "tests/support/test_files.h"

namespace kestrelvane {
namespace {

namespace fs = std::filesystem;
using brindlecot::testing::TempFolder;
using test::Bytes;

BitsliceVariant WidestRunnable() {
    for (BitsliceVariant v : {BitsliceVariant::kAvx512, BitsliceVariant::kAvx2}) {
        if (CpuRunsBitsliceVariant(v))
            return v;
    }
    return BitsliceVariant::kPortable;
}

std::string VariantName(const ::testing::TestParamInfo<BitsliceVariant>& info) {
    switch (info.param) {
        case BitsliceVariant::kAvx512:
            return "Avx512";
        case BitsliceVariant::kAvx2:
            return "Avx2";
        case BitsliceVariant::kPortable:
            break;
    }
    return "Portable";
}

// A variant this processor lacks runs with its engine built for plain x86-64 instead: its
// layout, tails and dispatch are still tested, only not its own instructions.
class EveryVariant : public ::testing::TestWithParam<BitsliceVariant> {
protected:
    void SetUp() override {
        if (CpuRunsBitsliceVariant(GetParam())) {
            ASSERT_TRUE(ForceBitsliceVariant(GetParam()));
        } else if (GetParam() == BitsliceVariant::kAvx2) {
            ForceBitsliceVariantForTesting(GetParam(), test::EcbBatchesLanes4StandIn);
        } else {
            ForceBitsliceVariantForTesting(GetParam(), test::EcbBatchesLanes8StandIn);
        }
        ASSERT_EQ(ActiveBitsliceVariant(), GetParam());
    }
    void TearDown() override {
        ForceBitsliceVariantForTesting(BitsliceVariant::kAvx2, nullptr);
        ForceBitsliceVariantForTesting(BitsliceVariant::kAvx512, nullptr);
        ASSERT_TRUE(ForceBitsliceVariant(WidestRunnable()));
    }
    std::size_t Width() const { return BitsliceBatchBlocks(GetParam()); }
};

INSTANTIATE_TEST_SUITE_P(Bitslice, EveryVariant,
                         ::testing::Values(BitsliceVariant::kPortable, BitsliceVariant::kAvx2,
                                           BitsliceVariant::kAvx512),
                         VariantName);

Bytes Prefix(const Bytes& bytes, std::size_t size) {
    return Bytes(bytes.begin(), bytes.begin() + static_cast<long>(size));
}

// Lengths of 0 to one batch, then two batches plus every possible tail: whole batches,
// padded batches of each narrower width and single blocks all get their turn.
TEST_P(EveryVariant, MatchesOpenSslOnEveryTailLength) {
    const std::size_t width = Width();
    const Bytes key = test::RandomBytes(24, 1 + static_cast<std::uint32_t>(width));
    const Bytes data = test::RandomBytes((3 * width) * 8, 2 + static_cast<std::uint32_t>(width));
    const Bytes encrypted = test::OpenSslTdesEcb(key, data, true);
    const Bytes decrypted = test::OpenSslTdesEcb(key, data, false);
    des3_context context;
    des3_set_3keys(context, key.data());
    des3_bitslice_schedule encrypt;
    des3_bitslice_schedule decrypt;
    des3_bitslice_set_encrypt(encrypt, context);
    des3_bitslice_set_decrypt(decrypt, context);

    Bytes out(data.size() + 8);
    for (std::size_t base : {std::size_t{0}, 2 * width}) {
        for (std::size_t tail = 0; tail < width; ++tail) {
            const std::size_t size = (base + tail) * 8;
            SCOPED_TRACE(size);
            // A partial block at the end is left alone.
            std::fill(out.begin(), out.end(), 0xA5);
            des3_bitslice_ecb(encrypt, data.data(), out.data(), size + 3);
            ASSERT_EQ(Prefix(out, size), Prefix(encrypted, size));
            ASSERT_EQ(out[size], 0xA5);
            des3_bitslice_ecb(decrypt, data.data(), out.data(), size);
            ASSERT_EQ(Prefix(out, size), Prefix(decrypted, size));
        }
    }
    // In place, and back.
    Bytes buffer = data;
    des3_bitslice_ecb(encrypt, buffer.data(), buffer.data(), buffer.size());
    EXPECT_EQ(buffer, encrypted);
    des3_bitslice_ecb(decrypt, buffer.data(), buffer.data(), buffer.size());
    EXPECT_EQ(buffer, data);
}

TEST_P(EveryVariant, ReproducesPublishedKnownAnswersInEveryLane) {
    // NIST SP 800-67, Appendix B, and a single-DES answer of SP 800-20 (K1 = K2 = K3).
    struct Case {
        const char* key;
        const char* plain;
        const char* cipher;
    };
    const Case cases[] = {
        {"0123456789abcdef23456789abcdef01456789abcdef0123", "5468652071756663",
         "a826fd8ce53b855f"},
        {"010101010101010101010101010101010101010101010101", "8000000000000000",
         "95f8a5e5dd31d900"},
    };
    for (const Case& c : cases) {
        des3_context context;
        des3_set_3keys(context, test::FromHex(c.key).data());
        des3_bitslice_schedule encrypt;
        des3_bitslice_schedule decrypt;
        des3_bitslice_set_encrypt(encrypt, context);
        des3_bitslice_set_decrypt(decrypt, context);
        Bytes blocks;
        Bytes expected;
        for (std::size_t i = 0; i < Width(); ++i) {
            const Bytes plain = test::FromHex(c.plain);
            const Bytes cipher = test::FromHex(c.cipher);
            blocks.insert(blocks.end(), plain.begin(), plain.end());
            expected.insert(expected.end(), cipher.begin(), cipher.end());
        }
        const Bytes plain = blocks;
        des3_bitslice_ecb(encrypt, blocks.data(), blocks.data(), blocks.size());
        EXPECT_EQ(blocks, expected) << c.key;
        des3_bitslice_ecb(decrypt, blocks.data(), blocks.data(), blocks.size());
        EXPECT_EQ(blocks, plain) << c.key;
    }
}

TEST_P(EveryVariant, BulkCallsAgreeWithTheBlockEngineOnEitherSideOfTheThreshold) {
    const Bytes key = test::RandomBytes(16, 40);
    des3_context context;
    des3_set_2keys(context, key.data());
    for (std::size_t blocks : {1U, 25U, 26U, 47U, 48U, 49U, 1000U, 4099U}) {
        SCOPED_TRACE(blocks);
        const Bytes data = test::RandomBytes(blocks * 8, static_cast<std::uint32_t>(blocks));
        Bytes expected(data.size());
        Bytes out(data.size());
        des3_ecb_encrypt(context, data.data(), expected.data(), data.size());
        des3_ecb_bulk_encrypt(context, data.data(), out.data(), data.size());
        ASSERT_EQ(out, expected);
        des3_ecb_bulk_decrypt(context, out.data(), out.data(), out.size());
        ASSERT_EQ(out, data);
    }
}

TEST(BitsliceSchedule, RoundKeysAreWipedWhenTheScheduleEnds) {
    des3_context context;
    des3_set_3keys(context, test::RandomBytes(24, 50).data());
    alignas(des3_bitslice_schedule) unsigned char storage[sizeof(des3_bitslice_schedule)];
    auto* schedule = new (storage) des3_bitslice_schedule;
    des3_bitslice_set_encrypt(*schedule, context);
    const bool holds_keys =
        std::any_of(storage, storage + sizeof(storage), [](unsigned char b) { return b != 0; });
    schedule->~des3_bitslice_schedule();
    EXPECT_TRUE(holds_keys);
    EXPECT_TRUE(
        std::all_of(storage, storage + sizeof(storage), [](unsigned char b) { return b == 0; }));
}

// ---- the services that use the engine ----

const Bytes kInstalledKey = {'1', 'A', '2', 'B', '3', 'C', '4', 'D'};

std::int32_t Crypt(std::int32_t mode, const Bytes& key, const fs::path& in, const fs::path& out) {
    return CryptFile(mode, key.empty() ? nullptr : key.data(),
                     static_cast<std::int32_t>(key.size()), in.c_str(), out.c_str(), 1);
}

Bytes Encrypt(const des3_context& context, const Bytes& data) {
    Bytes out(data.size());
    des3_ecb_encrypt(context, data.data(), out.data(), data.size());
    return out;
}

// The sealed file the block-at-a-time engine makes of plain under this session key.
Bytes SealWithBlockEngine(const Bytes& key_encryption, const Bytes& session, const Bytes& plain) {
    des3_context kek;
    des3_set_3keys(kek, key_encryption.data());
    des3_context data_key;
    des3_set_3keys(data_key, session.data());
    Bytes body = plain;
    body.resize(plain.size() / 8 * 8 + 8, static_cast<std::uint8_t>(8 - plain.size() % 8));
    Bytes check(8, 0);
    for (std::size_t i = 0; i < body.size(); ++i)
        check[i % 8] ^= body[i];
    body.insert(body.end(), check.begin(), check.end());
    Bytes file = Encrypt(kek, session);
    const Bytes encrypted = Encrypt(data_key, body);
    file.insert(file.end(), encrypted.begin(), encrypted.end());
    return file;
}

TEST_P(EveryVariant, SealedFilesAreByteIdenticalToTheBlockEnginesBothWays) {
    TempFolder folder;
    Bytes key_encryption(24);
    std::int32_t length = 0;
    ASSERT_EQ(getLMK(kInstalledKey.data(), 8, key_encryption.data(), length), 0);
    des3_context kek;
    des3_set_3keys(kek, key_encryption.data());
    const std::size_t width_bytes = Width() * 8;
    const std::size_t sizes[] = {
        0,     7,     8,     16 * 8 + 5, width_bytes - 1, width_bytes + 8, 3 * width_bytes + 100,
        65496, 65504, 200003};
    for (std::size_t size : sizes) {
        SCOPED_TRACE(size);
        const Bytes plain = test::RandomBytes(size, 300 + static_cast<std::uint32_t>(size));
        test::WriteFile(folder / "plain", plain);

        // Sealed by the library: the session key it drew, re-sealed by the block engine,
        // gives the very same file.
        fs::remove(folder / "sealed");
        ASSERT_EQ(Crypt(2, kInstalledKey, folder / "plain", folder / "sealed"), 0);
        const Bytes sealed = test::ReadFile(folder / "sealed");
        ASSERT_GE(sealed.size(), 24U);
        Bytes session(24);
        des3_ecb_decrypt(kek, sealed.data(), session.data(), 24);
        EXPECT_EQ(sealed, SealWithBlockEngine(key_encryption, session, plain));

        // Sealed by the block engine under a fixed session key: the library opens it.
        const Bytes fixed_session = test::RandomBytes(24, 9);
        test::WriteFile(folder / "old", SealWithBlockEngine(key_encryption, fixed_session, plain));
        fs::remove(folder / "opened");
        ASSERT_EQ(Crypt(3, kInstalledKey, folder / "old", folder / "opened"), 0);
        EXPECT_EQ(test::ReadFile(folder / "opened"), plain);
    }
}

Bytes Wrap(const Bytes& clear) {
    Bytes wrapped(clear.size());
    std::int32_t length = static_cast<std::int32_t>(clear.size());
    EXPECT_EQ(CryptKey(0, clear.data(), length, wrapped.data(), &length), 0);
    return wrapped;
}

TEST_P(EveryVariant, HeaderlessFilesAreEcbUnderTheWorkingKey) {
    TempFolder folder;
    const Bytes clear = test::RandomBytes(24, 12);
    const Bytes wrapped = Wrap(clear);
    const std::size_t size = 5 * Width() * 8 + 77;
    const Bytes plain = test::RandomBytes(size, 13);
    test::WriteFile(folder / "plain", plain);
    ASSERT_EQ(Crypt(0, wrapped, folder / "plain", folder / "encrypted"), 0);
    Bytes padded = plain;
    padded.resize(size / 8 * 8 + 8, static_cast<std::uint8_t>(8 - size % 8));
    EXPECT_EQ(test::ReadFile(folder / "encrypted"), test::OpenSslTdesEcb(clear, padded, true));
    ASSERT_EQ(Crypt(1, wrapped, folder / "encrypted", folder / "decrypted"), 0);
    EXPECT_EQ(test::ReadFile(folder / "decrypted"), plain);
}

TEST_P(EveryVariant, DesCrypt2MatchesOpenSsl) {
    const Bytes clear = test::RandomBytes(16, 14);
    const Bytes wrapped = Wrap(clear);
    const Bytes data = test::RandomBytes((3 * Width() + 5) * 8, 15);
    const std::int32_t size = static_cast<std::int32_t>(data.size());
    Bytes out(data.size());
    std::int32_t length = size;
    ASSERT_EQ(DesCrypt2(0, data.data(), size, out.data(), &length, wrapped.data(), 16), 0);
    EXPECT_EQ(out, test::OpenSslTdesEcb(clear, data, true));
    ASSERT_EQ(DesCrypt2(1, out.data(), size, out.data(), &length, wrapped.data(), 16), 0);
    EXPECT_EQ(out, data);
}

}  // namespace
}  // namespace kestrelvane
