#include "cryptlib/base64/base64.h"

#include <array>
#include <cstring>

#include "cryptlib/include/kestrelvane.h"

namespace kestrelvane {
namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr std::uint8_t kInvalid = 0xFF;

constexpr std::array<std::uint8_t, 256> MakeReverseTable() {
    std::array<std::uint8_t, 256> table{};
    table.fill(kInvalid);
    for (std::uint8_t value = 0; value < 64; ++value) {
        table[static_cast<unsigned char>(kAlphabet[value])] = value;
    }
    // Padding passes the character test and counts as zero bits.
    table['='] = 0;
    return table;
}

constexpr std::array<std::uint8_t, 256> kReverse = MakeReverseTable();

}  // namespace

std::int32_t cmove_bits(std::int32_t value, std::int32_t left_shift, std::int32_t right_shift) {
    if (left_shift < 0 || left_shift > 31 || right_shift < 0 || right_shift > 31)
        return 0;
    const std::uint32_t byte = (static_cast<std::uint32_t>(value) & 0xFFU) << left_shift & 0xFFU;
    return static_cast<std::int8_t>(static_cast<std::uint8_t>(byte >> right_shift));
}

std::int32_t base64_decode(const char* text, std::uint8_t* output, std::int32_t* output_length) {
    if (text == nullptr || output == nullptr || output_length == nullptr) {
        return KESTRELVANE_E_MKEY_ABSENT;
    }
    const std::size_t length = std::strlen(text);
    if (length == 0)
        return KESTRELVANE_E_MKEY_EMPTY;
    if (length % 4 != 0)
        return KESTRELVANE_E_MKEY_LENGTH;
    for (std::size_t i = 0; i < length; ++i) {
        if (kReverse[static_cast<unsigned char>(text[i])] == kInvalid) {
            return KESTRELVANE_E_MKEY_CHARACTER;
        }
    }
    const std::size_t padding = text[length - 1] != '=' ? 0 : (text[length - 2] == '=' ? 2 : 1);
    const std::size_t decoded = length / 4 * 3 - padding;
    if (*output_length < 0 || static_cast<std::size_t>(*output_length) < length / 4 * 3 + 1) {
        return KESTRELVANE_E_OUTPUT_TOO_SMALL;
    }

    std::size_t written = 0;
    for (std::size_t group = 0; group < length; group += 4) {
        std::int32_t v[4];
        for (int i = 0; i < 4; ++i)
            v[i] = kReverse[static_cast<unsigned char>(text[group + i])];
        const std::uint8_t bytes[3] = {
            static_cast<std::uint8_t>(cmove_bits(v[0], 2, 0) | cmove_bits(v[1], 0, 4)),
            static_cast<std::uint8_t>(cmove_bits(v[1], 4, 0) | cmove_bits(v[2], 0, 2)),
            static_cast<std::uint8_t>(cmove_bits(v[2], 6, 0) | v[3])};
        const std::size_t take = group + 4 < length ? 3 : 3 - padding;
        std::memcpy(output + written, bytes, take);
        written += take;
    }
    output[written] = 0;
    *output_length = static_cast<std::int32_t>(decoded);
    return KESTRELVANE_OK;
}

}  // namespace kestrelvane
