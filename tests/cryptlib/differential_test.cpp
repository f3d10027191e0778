// DES, triple DES and MD5 against OpenSSL over random keys and data.

#include <gtest/gtest.h>

#include "cryptlib/des/des.h"
#include "cryptlib/md5/md5.h"
#include "test_support.h"

namespace kestrelvane {
namespace {

using test::Bytes;
using test::RandomBytes;

constexpr int kRounds = 200;

TEST(DesAgainstOpenSsl, EcbAndCbcOverRandomKeysAndData) {
    for (int round = 0; round < kRounds; ++round) {
        const Bytes key = RandomBytes(8, 1000 + round);
        const Bytes iv = RandomBytes(8, 2000 + round);
        const Bytes data = RandomBytes(8 * (1 + round % 9), 3000 + round);
        des_context context;
        des_set_key(context, key.data());

        Bytes ecb(data.size());
        for (std::size_t i = 0; i < data.size(); i += 8)
            des_encrypt(context, &data[i], &ecb[i]);
        ASSERT_EQ(ecb, test::OpenSslDesEcb(key, data, true)) << round;
        Bytes plain(data.size());
        for (std::size_t i = 0; i < data.size(); i += 8)
            des_decrypt(context, &ecb[i], &plain[i]);
        ASSERT_EQ(plain, data);

        Bytes chain = iv;
        Bytes cbc(data.size());
        des_cbc_encrypt(context, chain.data(), data.data(), cbc.data(), data.size());
        ASSERT_EQ(cbc, test::OpenSslDesCbc(key, iv, data, true)) << round;
        chain = iv;
        des_cbc_decrypt(context, chain.data(), cbc.data(), plain.data(), cbc.size());
        ASSERT_EQ(plain, data);
    }
}

TEST(TripleDesAgainstOpenSsl, TwoAndThreeKeyEcbAndCbc) {
    for (int round = 0; round < kRounds; ++round) {
        for (std::size_t key_size : {16U, 24U}) {
            const Bytes key = RandomBytes(key_size, 4000 + round);
            const Bytes iv = RandomBytes(8, 5000 + round);
            const Bytes data = RandomBytes(8 * (1 + round % 17), 6000 + round);
            des3_context context;
            if (key_size == 16) {
                des3_set_2keys(context, key.data());
            } else {
                des3_set_3keys(context, key.data());
            }
            Bytes ecb(data.size());
            des3_ecb_encrypt(context, data.data(), ecb.data(), data.size());
            ASSERT_EQ(ecb, test::OpenSslTdesEcb(key, data, true)) << round << " " << key_size;
            Bytes plain(data.size());
            des3_ecb_decrypt(context, ecb.data(), plain.data(), ecb.size());
            ASSERT_EQ(plain, data);

            Bytes chain = iv;
            Bytes cbc(data.size());
            des3_cbc_encrypt(context, chain.data(), data.data(), cbc.data(), data.size());
            ASSERT_EQ(cbc, test::OpenSslTdesCbc(key, iv, data, true)) << round << " " << key_size;
            Bytes decrypted = test::OpenSslTdesCbc(key, iv, cbc, false);
            ASSERT_EQ(decrypted, data);
            chain = iv;
            des3_cbc_decrypt(context, chain.data(), cbc.data(), plain.data(), cbc.size());
            ASSERT_EQ(plain, data);
        }
    }
}

TEST(TripleDes, KeyingOptionsReduceAsTheStandardSays) {
    const Bytes key8 = RandomBytes(8, 7);
    const Bytes block = RandomBytes(8, 8);
    Bytes key24;
    for (int i = 0; i < 3; ++i)
        key24.insert(key24.end(), key8.begin(), key8.end());
    des_context single;
    des_set_key(single, key8.data());
    des3_context triple;
    des3_set_3keys(triple, key24.data());
    Bytes a(8), b(8);
    des_encrypt(single, block.data(), a.data());
    des3_encrypt(triple, block.data(), b.data());
    EXPECT_EQ(a, b) << "K1 = K2 = K3 must be single DES";

    const Bytes key16 = RandomBytes(16, 9);
    Bytes extended = key16;
    extended.insert(extended.end(), key16.begin(), key16.begin() + 8);
    des3_context two;
    des3_context three;
    des3_set_2keys(two, key16.data());
    des3_set_3keys(three, extended.data());
    des3_encrypt(two, block.data(), a.data());
    des3_encrypt(three, block.data(), b.data());
    EXPECT_EQ(a, b);
}

TEST(TripleDes, BlockFunctionsWorkInPlace) {
    const Bytes key = RandomBytes(24, 10);
    Bytes block = RandomBytes(8, 11);
    const Bytes original = block;
    des3_context context;
    des3_set_3keys(context, key.data());
    des3_encrypt(context, block.data(), block.data());
    EXPECT_EQ(block, test::OpenSslTdesEcb(key, original, true));
    des3_decrypt(context, block.data(), block.data());
    EXPECT_EQ(block, original);
}

TEST(Md5AgainstOpenSsl, RandomLengthsAndPieces) {
    for (int round = 0; round < kRounds; ++round) {
        const Bytes data = RandomBytes(static_cast<std::size_t>(round * 7 % 1000), 8000 + round);
        Bytes digest(kMd5DigestSize);
        MD5Digest(data.data(), data.size(), digest.data());
        ASSERT_EQ(digest, test::OpenSslMd5(data)) << data.size();

        MD5_CTX context;
        MD5Init(context);
        const std::size_t piece = 1 + static_cast<std::size_t>(round % 70);
        for (std::size_t offset = 0; offset < data.size(); offset += piece) {
            MD5Update(context, data.data() + offset, std::min(piece, data.size() - offset));
        }
        Bytes pieces(kMd5DigestSize);
        MD5Final(pieces.data(), context);
        ASSERT_EQ(pieces, digest) << "pieces of " << piece;
    }
}

}  // namespace
}  // namespace kestrelvane
