// In-memory services: DesCrypt1 (messages sealed under a password-like key), DesCrypt2
// (blocks under a wrapped key) and CryptKey (wrapping, unwrapping, generation).

#include <cstring>
#include <limits>

#include "cryptlib/des/des_bitslice.h"
#include "cryptlib/include/kestrelvane.h"
#include "cryptlib/kestrelcore/master_key.h"
#include "cryptlib/kestrelcore/modes.h"
#include "cryptlib/kestrelcore/service_support.h"
#include "cryptlib/md5/md5.h"

namespace kestrelvane {
namespace {

constexpr std::size_t kHeader = kDes3KeySize3;
constexpr std::size_t kDigestPrefix = 8;
// The largest message that still fits an int32 length once sealed.
constexpr std::int64_t kMaxSealInput = std::numeric_limits<std::int32_t>::max() - 48;

std::int32_t SealMessage(const des3_context& key_encryption, const std::uint8_t* input,
                         std::int32_t input_length, std::uint8_t* output,
                         std::int32_t* output_length) {
    if (input_length > kMaxSealInput)
        return KESTRELVANE_E_DATA_LENGTH;
    const std::size_t length = static_cast<std::size_t>(input_length);
    const std::size_t body = length / 8 * 8 + 16;
    const std::int32_t required = static_cast<std::int32_t>(body + kHeader);
    if (*output_length < required) {
        *output_length = required;
        return KESTRELVANE_E_OUTPUT_TOO_SMALL;
    }
    WorkBuffer work(length + 16);
    if (!work.valid())
        return KESTRELVANE_E_NO_MEMORY;

    TripleDesKey session_key;
    if (RAND_seed(session_key.bytes, kDes3KeySize3) != static_cast<std::int32_t>(kDes3KeySize3)) {
        return KESTRELVANE_E_NO_RANDOM;
    }
    des3_ecb_encrypt(key_encryption, session_key.bytes, output, kHeader);

    std::uint8_t digest[kMd5DigestSize];
    MD5Digest(input, length, digest);
    std::memcpy(work.data(), digest, kDigestPrefix);
    SecureWipe(digest, sizeof(digest));
    std::memcpy(work.data() + kDigestPrefix, input, length);
    const std::size_t pad = 8 - length % 8;
    std::memset(work.data() + kDigestPrefix + length, static_cast<int>(pad), pad);

    des3_context session;
    des3_set_3keys(session, session_key.bytes);
    des3_ecb_encrypt(session, work.data(), output + kHeader, body);
    *output_length = required;
    return KESTRELVANE_OK;
}

std::int32_t OpenMessage(const des3_context& key_encryption, const std::uint8_t* input,
                         std::int32_t input_length, std::uint8_t* output,
                         std::int32_t* output_length) {
    if (input_length < 40 || input_length % 8 != 0)
        return KESTRELVANE_E_MESSAGE_LENGTH;
    WorkBuffer work(static_cast<std::size_t>(input_length));
    if (!work.valid())
        return KESTRELVANE_E_NO_MEMORY;

    const std::size_t body = static_cast<std::size_t>(input_length) - kHeader;
    {
        TripleDesKey session_key;
        des3_ecb_decrypt(key_encryption, input, session_key.bytes, kHeader);
        des3_context session;
        des3_set_3keys(session, session_key.bytes);
        des3_ecb_decrypt(session, input + kHeader, work.data(), body);
    }
    const std::int8_t pad = static_cast<std::int8_t>(work.data()[body - 1]);
    const std::int32_t data_length = input_length - 32 - pad;
    if (pad < 1 || pad > 8 || data_length < 0)
        return KESTRELVANE_E_MESSAGE_CHECK;
    if (*output_length < data_length) {
        *output_length = data_length;
        return KESTRELVANE_E_OUTPUT_TOO_SMALL;
    }
    std::memcpy(output, work.data() + kDigestPrefix, static_cast<std::size_t>(data_length));
    *output_length = data_length;
    std::uint8_t digest[kMd5DigestSize];
    MD5Digest(output, static_cast<std::size_t>(data_length), digest);
    const bool matches = std::memcmp(digest, work.data(), kDigestPrefix) == 0;
    SecureWipe(digest, sizeof(digest));
    return matches ? KESTRELVANE_OK : KESTRELVANE_E_MESSAGE_CHECK;
}

std::int32_t GenerateWrappedKey(const des3_context& master, std::uint8_t* output,
                                std::int32_t capacity) {
    WorkBuffer clear(static_cast<std::size_t>(capacity));
    if (!clear.valid())
        return KESTRELVANE_E_NO_MEMORY;
    if (capacity > 0 && RAND_seed(clear.data(), capacity) != capacity) {
        return KESTRELVANE_E_NO_RANDOM;
    }
    des3_ecb_encrypt(master, clear.data(), output, static_cast<std::size_t>(capacity));
    return KESTRELVANE_OK;
}

}  // namespace
}  // namespace kestrelvane

using namespace kestrelvane;

extern "C" KESTRELVANE_API int32_t DesCrypt1(int32_t mode, const unsigned char* input,
                                             int32_t inputLength, unsigned char* output,
                                             int32_t* outputLength, const unsigned char* key,
                                             int32_t keyLength) {
    if (input == nullptr || output == nullptr || outputLength == nullptr) {
        return KESTRELVANE_E_NULL_ARGUMENT;
    }
    if (inputLength <= 0)
        return KESTRELVANE_E_DATA_LENGTH;
    des3_context key_encryption;
    const std::int32_t result =
        MasterKeySchedule(key, key == nullptr ? 0 : keyLength, key_encryption);
    if (result != KESTRELVANE_OK)
        return result;
    switch (ClassifyMode(mode, kKeyPrefixForTwo).base) {
        case BaseMode::kEncrypt:
            return SealMessage(key_encryption, input, inputLength, output, outputLength);
        case BaseMode::kDecrypt:
            return OpenMessage(key_encryption, input, inputLength, output, outputLength);
        default:
            return KESTRELVANE_E_MODE;
    }
}

extern "C" KESTRELVANE_API int32_t DesCrypt2(int32_t mode, const unsigned char* input,
                                             int32_t inputLength, unsigned char* output,
                                             int32_t* outputLength, const unsigned char* wrappedKey,
                                             int32_t wrappedKeyLength) {
    if (input == nullptr || output == nullptr || outputLength == nullptr || wrappedKey == nullptr) {
        return KESTRELVANE_E_NULL_ARGUMENT;
    }
    if (!IsWholeBlocks(inputLength))
        return KESTRELVANE_E_DATA_LENGTH;
    if (wrappedKeyLength != 16 && wrappedKeyLength != 24)
        return KESTRELVANE_E_KEY_LENGTH;
    if (*outputLength < inputLength) {
        *outputLength = inputLength;
        return KESTRELVANE_E_OUTPUT_TOO_SMALL;
    }
    des3_context master;
    const std::int32_t result = MasterKeySchedule(nullptr, 0, master);
    if (result != KESTRELVANE_OK)
        return result;
    des3_context working;
    UnwrapKeySchedule(master, wrappedKey, wrappedKeyLength, working);
    const std::size_t length = static_cast<std::size_t>(inputLength);
    switch (ClassifyMode(mode, kKeyPrefixForTwo).base) {
        case BaseMode::kEncrypt:
            des3_ecb_bulk_encrypt(working, input, output, length);
            break;
        case BaseMode::kDecrypt:
            des3_ecb_bulk_decrypt(working, input, output, length);
            break;
        default:
            return KESTRELVANE_E_MODE;
    }
    *outputLength = inputLength;
    return KESTRELVANE_OK;
}

extern "C" KESTRELVANE_API int32_t CryptKey(int32_t mode, const unsigned char* input,
                                            int32_t inputLength, unsigned char* output,
                                            int32_t* outputLength) {
    const bool plain_generation = mode == KESTRELVANE_MODE_GENERATE;
    if ((input == nullptr && !plain_generation) || output == nullptr || outputLength == nullptr) {
        return KESTRELVANE_E_NULL_ARGUMENT;
    }
    if (!plain_generation) {
        if (!IsWholeBlocks(inputLength))
            return KESTRELVANE_E_DATA_LENGTH;
        if (*outputLength < inputLength) {
            *outputLength = inputLength;
            return KESTRELVANE_E_OUTPUT_TOO_SMALL;
        }
    } else if (*outputLength < 0 || *outputLength % 8 != 0) {
        return KESTRELVANE_E_GENERATE_LENGTH;
    }
    des3_context master;
    const std::int32_t result = MasterKeySchedule(nullptr, 0, master);
    if (result != KESTRELVANE_OK)
        return result;
    switch (ClassifyMode(mode, kKeyPrefixForTwo).base) {
        case BaseMode::kEncrypt:
            des3_ecb_encrypt(master, input, output, static_cast<std::size_t>(inputLength));
            *outputLength = inputLength;
            return KESTRELVANE_OK;
        case BaseMode::kDecrypt:
            des3_ecb_decrypt(master, input, output, static_cast<std::size_t>(inputLength));
            *outputLength = inputLength;
            return KESTRELVANE_OK;
        case BaseMode::kSealOrGenerate:
            // The output length already states the generated size and is left as it is.
            return GenerateWrappedKey(master, output, *outputLength);
        default:
            return KESTRELVANE_E_MODE;
    }
}
