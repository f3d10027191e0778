#pragma once

#include <cstddef>
#include <cstdint>

// The two services of the operating system that the library needs beyond the C runtime's
// file calls: random bytes for session keys, and whether two open files are one.
namespace kestrelvane {

// Fills `buffer` from the system's cryptographic random source; false when it fails.
bool FillFromSystemRandom(std::uint8_t* buffer, std::size_t length);

// True when the descriptors `a` and `b` are open on the same file; false when either
// cannot be asked.
bool SameOpenFile(int a, int b);

}  // namespace kestrelvane
