// Authenticators: MACCrypt (CBC-MAC and XOR-fold code under a wrapped key), MD5Crypt and
// CryptLmkMac (check value of the local master key).

#include <cstdio>
#include <cstring>

#include "cryptlib/include/kestrelvane.h"
#include "cryptlib/kestrelcore/master_key.h"
#include "cryptlib/md5/md5.h"

namespace kestrelvane {
namespace {

constexpr char kVersionLine[] = "V1.3\n";

// Block i of the data; a last partial block is completed with zero bytes.
void LoadBlock(const std::uint8_t* data, std::size_t length, std::size_t offset,
               std::uint8_t block[kDesBlockSize]) {
    const std::size_t take = length - offset < kDesBlockSize ? length - offset : kDesBlockSize;
    std::memset(block, 0, kDesBlockSize);
    std::memcpy(block, data + offset, take);
}

void CbcMac(const des3_context& key, const std::uint8_t* data, std::size_t length,
            std::uint8_t* output) {
    std::uint8_t chain[kDesBlockSize] = {};
    std::uint8_t block[kDesBlockSize];
    for (std::size_t offset = 0; offset < length; offset += kDesBlockSize) {
        LoadBlock(data, length, offset, block);
        for (std::size_t i = 0; i < kDesBlockSize; ++i)
            chain[i] ^= block[i];
        des3_encrypt(key, chain, chain);
    }
    std::memcpy(output, chain, kDesBlockSize);
    SecureWipe(block, sizeof(block));
}

void XorFoldMac(const des3_context& key, const std::uint8_t* data, std::size_t length,
                std::uint8_t* output) {
    std::uint8_t folded[2 * kDesBlockSize] = {};
    std::uint8_t block[kDesBlockSize];
    for (std::size_t offset = 0; offset < length; offset += kDesBlockSize) {
        LoadBlock(data, length, offset, block);
        for (std::size_t i = 0; i < kDesBlockSize; ++i)
            folded[i] ^= block[i];
    }
    std::memset(folded + kDesBlockSize, 8, kDesBlockSize);
    des3_ecb_encrypt(key, folded, output, sizeof(folded));
    SecureWipe(block, sizeof(block));
    SecureWipe(folded, sizeof(folded));
}

}  // namespace
}  // namespace kestrelvane

using namespace kestrelvane;

extern "C" KESTRELVANE_API int32_t MACCrypt(int32_t mode, const unsigned char* data,
                                            int32_t dataLength, const unsigned char* wrappedKey,
                                            int32_t wrappedKeyLength, unsigned char* output,
                                            int32_t* outputLength) {
    if (data == nullptr || wrappedKey == nullptr || output == nullptr || outputLength == nullptr) {
        return KESTRELVANE_E_NULL_ARGUMENT;
    }
    if (dataLength <= 0)
        return KESTRELVANE_E_DATA_LENGTH;
    if (mode == KESTRELVANE_MAC_CBC && *outputLength < KESTRELVANE_MAC_SIZE) {
        *outputLength = KESTRELVANE_MAC_SIZE;
        return KESTRELVANE_E_OUTPUT_TOO_SMALL;
    }
    if (mode == KESTRELVANE_MAC_XOR_FOLD && *outputLength < KESTRELVANE_XOR_MAC_SIZE) {
        *outputLength = KESTRELVANE_XOR_MAC_SIZE;
        return KESTRELVANE_E_OUTPUT_TOO_SMALL;
    }
    if (wrappedKeyLength != 16 && wrappedKeyLength != 24)
        return KESTRELVANE_E_KEY_LENGTH;
    des3_context master;
    const std::int32_t result = MasterKeySchedule(nullptr, 0, master);
    if (result != KESTRELVANE_OK)
        return result;
    des3_context working;
    UnwrapKeySchedule(master, wrappedKey, wrappedKeyLength, working);
    const std::size_t length = static_cast<std::size_t>(dataLength);
    if (mode == KESTRELVANE_MAC_CBC) {
        CbcMac(working, data, length, output);
        *outputLength = KESTRELVANE_MAC_SIZE;
    } else if (mode == KESTRELVANE_MAC_XOR_FOLD) {
        XorFoldMac(working, data, length, output);
        *outputLength = KESTRELVANE_XOR_MAC_SIZE;
    } else {
        return KESTRELVANE_E_MODE;
    }
    return KESTRELVANE_OK;
}

extern "C" KESTRELVANE_API int32_t MD5Crypt(const unsigned char* data, int32_t dataLength,
                                            unsigned char* output, int32_t* outputLength) {
    if (data == nullptr || output == nullptr || outputLength == nullptr) {
        return KESTRELVANE_E_NULL_ARGUMENT;
    }
    if (dataLength <= 0)
        return KESTRELVANE_E_DATA_LENGTH;
    if (*outputLength < KESTRELVANE_MD5_SIZE) {
        *outputLength = KESTRELVANE_MD5_SIZE;
        return KESTRELVANE_E_OUTPUT_TOO_SMALL;
    }
    MD5Digest(data, static_cast<std::size_t>(dataLength), output);
    *outputLength = KESTRELVANE_MD5_SIZE;
    return KESTRELVANE_OK;
}

extern "C" KESTRELVANE_API int32_t CryptLmkMac(unsigned char* output, int32_t* outputLength) {
    if (output == nullptr || outputLength == nullptr)
        return KESTRELVANE_E_NULL_ARGUMENT;
    if (*outputLength < KESTRELVANE_LMK_CHECK_SIZE) {
        *outputLength = KESTRELVANE_LMK_CHECK_SIZE;
        return KESTRELVANE_E_OUTPUT_TOO_SMALL;
    }
    des3_context master;
    const std::int32_t result = MasterKeySchedule(nullptr, 0, master);
    if (result != KESTRELVANE_OK)
        return result;
    const std::uint8_t zero_block[kDesBlockSize] = {};
    des3_encrypt(master, zero_block, output);
    std::fputs(kVersionLine, stdout);
    std::fflush(stdout);
    *outputLength = KESTRELVANE_LMK_CHECK_SIZE;
    return KESTRELVANE_OK;
}
