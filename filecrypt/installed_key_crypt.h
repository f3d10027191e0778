#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "cryptlib/include/kestrelvane.h"

namespace brindlecot {

// CryptFile modes the program uses, always with count-byte padding and the installed key.
inline constexpr std::int32_t kCryptModeSeal = KESTRELVANE_MODE_SEAL;
inline constexpr std::int32_t kCryptModeOpen = KESTRELVANE_MODE_OPEN;

// Answered when the library is not bound, so no call could be made.
inline constexpr std::int32_t kCryptLibraryMissing = -1000;

// One CryptFile call with the process's installed key (CurrentInstalledKey) as key.
// 0 on success, else the library's negative code or kCryptLibraryMissing. The library
// appends to an existing output; callers hand it an empty or new file.
// True when a CryptFile result says the output could not be written (a full disk, a
// folder that refuses the file): then neither the key nor the input is to blame.
bool IsCryptOutputFailure(std::int32_t result);

[[nodiscard]] std::int32_t CryptWithInstalledKey(std::int32_t mode, const std::string& inputPath,
                                                 const std::string& outputPath);

// The same with a key text taken from the installed key beforehand, for work on another
// thread while the installed key may be reloaded. Calls into the library are made one at
// a time, whichever thread makes them: its services are not reentrant.
[[nodiscard]] std::int32_t CryptWithKey(std::int32_t mode, std::string_view key,
                                        const std::string& inputPath,
                                        const std::string& outputPath);

}  // namespace brindlecot
