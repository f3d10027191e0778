#pragma once

// The local master key, the random key generator and the small helpers the services
// share for key handling.

#include <cstddef>
#include <cstdint>

#include "cryptlib/des/des.h"

namespace kestrelvane {

inline constexpr std::int32_t kMaxMasterKeyLength = 24;

// Fills buffer with length random key bytes, every byte of odd parity as DES keys
// require. Returns length, or KESTRELVANE_E_NO_RANDOM when the system's random source
// fails (the buffer is then wiped).
std::int32_t RAND_seed(std::uint8_t* buffer, std::int32_t length);

// Assembles the local master key into output (24 bytes of room) and stores its length,
// 16 or 24. With a key given, key[i % key_length] is XOR-ed into byte i; a key_length of
// 0 or less mixes nothing in. Returns 0 or a master-key code.
std::int32_t getLMK(const std::uint8_t* key, std::int32_t key_length, std::uint8_t* output,
                    std::int32_t& output_length);

// A triple-DES key extended to 24 bytes (K3 = K1 for a 16-byte key); wiped on destruction.
struct TripleDesKey {
    std::uint8_t bytes[kDes3KeySize3] = {};
    ~TripleDesKey() { SecureWipe(bytes, sizeof(bytes)); }
};

// Copies a 16- or 24-byte key into key, extending a 16-byte one.
void ExtendKey(const std::uint8_t* source, std::int32_t length, TripleDesKey& key);

// Builds the schedule of the local master key (with key/key_length mixed in as getLMK
// does). Returns 0 or a master-key code.
std::int32_t MasterKeySchedule(const std::uint8_t* key, std::int32_t key_length,
                               des3_context& schedule);

// Decrypts a 16- or 24-byte wrapped key under key_encryption and builds its schedule.
void UnwrapKeySchedule(const des3_context& key_encryption, const std::uint8_t* wrapped,
                       std::int32_t wrapped_length, des3_context& schedule);

}  // namespace kestrelvane
