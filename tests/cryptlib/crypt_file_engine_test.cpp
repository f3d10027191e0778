// The threaded engine, reading its chunks or ciphering them from a view of the file,
// against the one-thread engine: files made by either open with the other, for sizes
// around every block, piece and chunk edge, and failures found while reading reach the
// caller after the chunks before them, as with one thread.

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <set>

#include "bitslice_stand_ins.h"
#include "cryptlib/des/des_bitslice.h"
#include "cryptlib/include/kestrelvane.h"
#include "cryptlib/kestrelcore/crypt_file_engine.h"
#include "test_support.h"
#include "tests/support/test_files.h"

namespace kestrelvane {
namespace {

namespace fs = std::filesystem;
using brindlecot::testing::TempFolder;
using test::Bytes;
using test::ReadFile;
using test::WriteFile;

const Bytes kInstalledKey = {'1', 'A', '2', 'B', '3', 'C', '4', 'D'};

CryptFileEngine OneThread() {
    return CryptFileEngine{};
}

// Small chunks and pieces that are no multiple of a cipher batch, so that short files
// cross many edges; three workers, so chunks finish out of order.
CryptFileEngine SmallThreaded(bool view_input) {
    CryptFileEngine engine;
    engine.threads = 3;
    engine.chunk_size = 8192;
    engine.piece_size = 1000;
    engine.threaded_from = 0;
    engine.view_input = view_input;
    return engine;
}

class CryptFileThreaded : public ::testing::TestWithParam<bool> {
protected:
    CryptFileEngine Engine() const { return SmallThreaded(GetParam()); }
};

INSTANTIATE_TEST_SUITE_P(CryptFileEngines, CryptFileThreaded, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return info.param ? "FromAView" : "Reading";
                         });

std::int32_t Crypt(const CryptFileEngine& engine, std::int32_t mode, const Bytes& key,
                   const fs::path& in, const fs::path& out, std::int32_t pad_mode = 1) {
    fs::remove(out);
    return CryptFileWithEngine(engine, mode, key.data(), static_cast<std::int32_t>(key.size()),
                               in.c_str(), out.c_str(), pad_mode);
}

// Plaintext sizes around the edges of the small engine's pieces and chunks, for sealing
// (plaintext offsets) and for opening (the sealed body follows a 24-byte header and ends
// with two blocks that must arrive together).
std::set<std::size_t> EdgeSizes() {
    std::set<std::size_t> sizes = {0, 1, 7, 8, 9, 15, 16, 17, 999, 1000, 1001, 4095, 4096, 4097};
    const CryptFileEngine engine = SmallThreaded(false);
    for (std::size_t k = 1; k <= 3; ++k) {
        for (std::size_t shift : {std::size_t{0}, std::size_t{24}, std::size_t{40}}) {
            for (int d = -18; d <= 18; ++d) {
                const std::size_t edge = k * engine.chunk_size - shift;
                sizes.insert(static_cast<std::size_t>(static_cast<long>(edge) + d));
            }
        }
    }
    return sizes;
}

TEST_P(CryptFileThreaded, SealedFilesOpenWithTheOtherEngineAtEveryEdge) {
    TempFolder folder;
    const CryptFileEngine one = OneThread();
    const CryptFileEngine threaded = Engine();
    for (std::size_t size : EdgeSizes()) {
        SCOPED_TRACE(size);
        const Bytes plain = test::RandomBytes(size, static_cast<std::uint32_t>(size) + 3);
        WriteFile(folder / "plain", plain);
        ASSERT_EQ(Crypt(threaded, 2, kInstalledKey, folder / "plain", folder / "by_threads"), 0);
        ASSERT_EQ(fs::file_size(folder / "by_threads"), size / 8 * 8 + 40);
        ASSERT_EQ(Crypt(one, 3, kInstalledKey, folder / "by_threads", folder / "opened"), 0);
        ASSERT_EQ(ReadFile(folder / "opened"), plain);

        ASSERT_EQ(Crypt(one, 2, kInstalledKey, folder / "plain", folder / "by_one"), 0);
        ASSERT_EQ(Crypt(threaded, 3, kInstalledKey, folder / "by_one", folder / "opened"), 0);
        ASSERT_EQ(ReadFile(folder / "opened"), plain);
    }
}

// Headerless encryption has no random part, so the threaded output can be compared with
// OpenSSL byte for byte.
TEST_P(CryptFileThreaded, HeaderlessFilesMatchOpenSslAndRoundTrip) {
    TempFolder folder;
    const Bytes clear = test::RandomBytes(24, 21);
    Bytes wrapped(24);
    std::int32_t length = 24;
    ASSERT_EQ(CryptKey(0, clear.data(), length, wrapped.data(), &length), 0);
    const CryptFileEngine threaded = Engine();
    for (std::size_t size : {std::size_t{1}, std::size_t{8191}, std::size_t{8192},
                             std::size_t{8193}, std::size_t{3 * 8192 + 5}}) {
        SCOPED_TRACE(size);
        const Bytes plain = test::RandomBytes(size, static_cast<std::uint32_t>(size) + 5);
        WriteFile(folder / "plain", plain);
        ASSERT_EQ(Crypt(threaded, 0, wrapped, folder / "plain", folder / "enc"), 0);
        Bytes padded = plain;
        padded.insert(padded.end(), 8 - size % 8, static_cast<std::uint8_t>(8 - size % 8));
        EXPECT_EQ(ReadFile(folder / "enc"), test::OpenSslTdesEcb(clear, padded, true));
        ASSERT_EQ(Crypt(threaded, 1, wrapped, folder / "enc", folder / "dec"), 0);
        EXPECT_EQ(ReadFile(folder / "dec"), plain);
    }
}

TEST_P(CryptFileThreaded, FailuresComeAfterTheChunksBeforeThem) {
    TempFolder folder;
    const CryptFileEngine threaded = Engine();
    const Bytes plain = test::RandomBytes(5 * 8192 + 3, 31);
    WriteFile(folder / "plain", plain);
    ASSERT_EQ(Crypt(threaded, 2, kInstalledKey, folder / "plain", folder / "sealed"), 0);

    Bytes tampered = ReadFile(folder / "sealed");
    tampered[tampered.size() - 3] ^= 1;  // in the check block, read as the last chunk
    WriteFile(folder / "tampered", tampered);
    EXPECT_EQ(Crypt(threaded, 3, kInstalledKey, folder / "tampered", folder / "out"), -18);
    // Every chunk but the last was written, in order.
    const Bytes written = ReadFile(folder / "out");
    ASSERT_EQ(written.size(), 5U * 8192);
    EXPECT_TRUE(std::equal(written.begin(), written.end(), plain.begin()));

    const Bytes other_key = {'9', '9', '9', '9', '0', '0', '0', '0'};
    EXPECT_EQ(Crypt(threaded, 3, other_key, folder / "sealed", folder / "out"), -18);

    // A pad mode the headerless encryption does not know is found at the last chunk.
    Bytes wrapped(24);
    std::int32_t length = 24;
    ASSERT_EQ(CryptKey(0, test::RandomBytes(24, 32).data(), length, wrapped.data(), &length), 0);
    EXPECT_EQ(Crypt(threaded, 0, wrapped, folder / "plain", folder / "out", 7), -30);
    EXPECT_EQ(fs::file_size(folder / "out"), 5U * 8192);

    if (fs::exists("/dev/full")) {
        EXPECT_EQ(CryptFileWithEngine(threaded, 2, kInstalledKey.data(), 8,
                                      (folder / "plain").c_str(), "/dev/full", 1),
                  -31);
        EXPECT_EQ(CryptFileWithEngine(threaded, 3, kInstalledKey.data(), 8,
                                      (folder / "sealed").c_str(), "/dev/full", 1),
                  -32);
    }
}

// The first batch handed to the cipher cuts the input file short, then is ciphered as the
// widest variant would: the engine reads through a view of that file at that moment.
std::atomic<bool> g_input_cut{false};
std::string g_input_path;

void CutInputThenCipher(const std::uint64_t (*masks)[kBitsliceRoundKeyBits], const std::uint8_t* in,
                        std::uint8_t* out, std::size_t batches) {
    if (!g_input_cut.exchange(true)) {
        EXPECT_EQ(::truncate(g_input_path.c_str(), 0), 0);
    }
    test::EcbBatchesLanes8StandIn(masks, in, out, batches);
}

TEST(CryptFileEngines, AnInputCutShortUnderTheViewFailsTheCallNotTheProcess) {
    TempFolder folder;
    WriteFile(folder / "plain", test::RandomBytes(64 * 1024, 51));
    CryptFileEngine engine = SmallThreaded(true);
    // Pieces of whole wide batches, so that the batches go through the stand-in.
    engine.chunk_size = 16384;
    engine.piece_size = 8192;
    g_input_path = (folder / "plain").string();
    g_input_cut = false;
    ForceBitsliceVariantForTesting(BitsliceVariant::kAvx512, CutInputThenCipher);
    const std::int32_t result =
        Crypt(engine, 2, kInstalledKey, folder / "plain", folder / "sealed");
    ForceBitsliceVariantForTesting(BitsliceVariant::kAvx512, nullptr);
    for (BitsliceVariant variant : {BitsliceVariant::kAvx512, BitsliceVariant::kAvx2}) {
        if (ForceBitsliceVariant(variant))
            break;
    }

    EXPECT_TRUE(g_input_cut);
    EXPECT_EQ(result, KESTRELVANE_E_NOTHING_READ);
    // The first chunk failed, and the header goes out only with it.
    EXPECT_EQ(fs::file_size(folder / "sealed"), 0U);
}

TEST(CryptFileEngines, TheDefaultEngineUsesTheCoresOnlyForLargeFiles) {
    const CryptFileEngine engine = DefaultCryptFileEngine();
    EXPECT_GE(engine.threads, 1U);
    EXPECT_EQ(engine.chunk_size % 8, 0U);
    EXPECT_EQ(engine.piece_size % 8, 0U);
    EXPECT_GT(engine.threaded_from, 64U * 1024);

    // Large enough for the default engine's threads, opened by the one-thread engine.
    TempFolder folder;
    const Bytes plain = test::RandomBytes(engine.threaded_from + 3 * engine.chunk_size + 11, 41);
    WriteFile(folder / "plain", plain);
    ASSERT_EQ(Crypt(engine, 2, kInstalledKey, folder / "plain", folder / "sealed"), 0);
    ASSERT_EQ(Crypt(OneThread(), 3, kInstalledKey, folder / "sealed", folder / "opened"), 0);
    EXPECT_EQ(ReadFile(folder / "opened"), plain);
}

}  // namespace
}  // namespace kestrelvane
