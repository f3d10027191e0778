#pragma once

#include <cstdint>

namespace kestrelvane {

// The low 8 bits of value, shifted left by left_shift keeping 8 bits, then shifted right
// (zero-filling) by right_shift; returned as a signed 8-bit value widened to 32 bits.
// Shift counts outside 0..31 give 0.
std::int32_t cmove_bits(std::int32_t value, std::int32_t left_shift, std::int32_t right_shift);

// Decodes a zero-terminated base64 text (RFC 4648 alphabet, '=' padding). On entry
// *output_length is the capacity of output, which must hold three quarters of the text
// length plus one byte (a zero byte is written after the decoded bytes); on success it
// receives the number of decoded bytes.
// Results: 0; -1 text, output or length absent; -2 text empty; -3 text length not a
// multiple of 4; -4 a byte outside the alphabet and '='; -11 capacity too small.
std::int32_t base64_decode(const char* text, std::uint8_t* output, std::int32_t* output_length);

}  // namespace kestrelvane
