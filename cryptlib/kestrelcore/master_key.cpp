#include "cryptlib/kestrelcore/master_key.h"

#include <cstring>

#include "cryptlib/base64/base64.h"
#include "cryptlib/config/config.h"
#include "cryptlib/include/kestrelvane.h"
#include "cryptlib/platform/system_services.h"

namespace kestrelvane {
namespace {

bool HasOddParity(std::uint8_t byte) {
    return __builtin_parity(byte) == 1;
}

}  // namespace

std::int32_t RAND_seed(std::uint8_t* buffer, std::int32_t length) {
    if (buffer == nullptr || length <= 0)
        return 0;
    // The bytes come from the kernel's generator: a clock-seeded rand() would make session
    // keys guessable and repeat them for seals started in the same second.
    if (!FillFromSystemRandom(buffer, static_cast<std::size_t>(length))) {
        SecureWipe(buffer, static_cast<std::size_t>(length));
        return KESTRELVANE_E_NO_RANDOM;
    }
    for (std::int32_t i = 0; i < length; ++i) {
        if (!HasOddParity(buffer[i]))
            buffer[i] ^= 1U;
    }
    return length;
}

std::int32_t getLMK(const std::uint8_t* key, std::int32_t key_length, std::uint8_t* output,
                    std::int32_t& output_length) {
    // The text and selector live in this call only (wiped on return), so calls from
    // different threads cannot disturb each other.
    struct Work {
        char text[kMasterKeyTextBufferSize] = {};
        std::uint8_t decoded[kMasterKeyTextBufferSize] = {};
        std::uint8_t master[kMaxMasterKeyLength] = {};
        std::int32_t selector = 0;
        des3_context transport;
    } work;
    WipeOnExit<Work> wipe_work(work);

    std::int32_t result =
        ReadMKey(work.text, sizeof(work.text), work.selector, kMasterKeyAccessNumber);
    if (result != KESTRELVANE_OK)
        return result;

    std::int32_t decoded_length = sizeof(work.decoded);
    result = base64_decode(work.text, work.decoded, &decoded_length);
    if (result != KESTRELVANE_OK)
        return result;
    if (decoded_length != 16 && decoded_length != 24)
        return KESTRELVANE_E_MKEY_DECODED_LENGTH;

    des3_set_3keys(work.transport, reinterpret_cast<const std::uint8_t*>(TransportKey()));
    des3_ecb_decrypt(work.transport, work.decoded, work.master,
                     static_cast<std::size_t>(decoded_length));

    for (int component = 1; component <= kMaskingComponentCount; ++component) {
        if ((static_cast<std::uint32_t>(work.selector) >> (component - 1) & 1U) == 0)
            continue;
        const char* mask = MaskingComponent(component);
        for (std::int32_t i = 0; i < decoded_length; ++i) {
            work.master[i] ^= static_cast<std::uint8_t>(mask[i]);
        }
    }
    if (key != nullptr && key_length > 0) {
        for (std::int32_t i = 0; i < decoded_length; ++i)
            work.master[i] ^= key[i % key_length];
    }
    std::memcpy(output, work.master, static_cast<std::size_t>(decoded_length));
    output_length = decoded_length;
    return KESTRELVANE_OK;
}

void ExtendKey(const std::uint8_t* source, std::int32_t length, TripleDesKey& key) {
    if (length == static_cast<std::int32_t>(kDes3KeySize2)) {
        std::memcpy(key.bytes, source, kDes3KeySize2);
        std::memcpy(key.bytes + kDes3KeySize2, source, kDesKeySize);
    } else {
        std::memcpy(key.bytes, source, kDes3KeySize3);
    }
}

std::int32_t MasterKeySchedule(const std::uint8_t* key, std::int32_t key_length,
                               des3_context& schedule) {
    TripleDesKey master;
    std::int32_t master_length = 0;
    const std::int32_t result = getLMK(key, key_length, master.bytes, master_length);
    if (result != KESTRELVANE_OK)
        return result;
    TripleDesKey extended;
    ExtendKey(master.bytes, master_length, extended);
    des3_set_3keys(schedule, extended.bytes);
    return KESTRELVANE_OK;
}

void UnwrapKeySchedule(const des3_context& key_encryption, const std::uint8_t* wrapped,
                       std::int32_t wrapped_length, des3_context& schedule) {
    TripleDesKey clear;
    des3_ecb_decrypt(key_encryption, wrapped, clear.bytes,
                     static_cast<std::size_t>(wrapped_length));
    TripleDesKey extended;
    ExtendKey(clear.bytes, wrapped_length, extended);
    des3_set_3keys(schedule, extended.bytes);
}

}  // namespace kestrelvane
