#pragma once

#include <cstdint>

namespace kestrelvane {

// Decodes a zero-terminated base64 text (RFC 4648 alphabet, '=' padding). On entry
// *output_length is the capacity of output, which must hold three quarters of the text
// length plus one byte (a zero byte is written after the decoded bytes); on success it
// receives the number of decoded bytes.
// Results: 0; -1 text, output or length absent; -2 text empty; -3 text length not a
// multiple of 4; -4 a byte outside the alphabet and '='; -11 capacity too small.
std::int32_t base64_decode(const char* text, std::uint8_t* output, std::int32_t* output_length);

}  // namespace kestrelvane
