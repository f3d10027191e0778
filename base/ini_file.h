#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace brindlecot {

// INI reading with the semantics of the Windows private-profile calls: section and key
// names compare case-insensitively, blanks around names and values are trimmed, one pair
// of surrounding quotes is removed, the first match wins, a missing file, section or key
// gives the default. `iniName` is relative to the executable's folder (AppPath).

// The integer under section/key: an optional sign and leading decimal digits, trailing
// text ignored; the default when the key is missing or holds no digits.
int ReadIniInt(std::string_view section, std::string_view key, int defaultValue,
               std::string_view iniName);

// The text under section/key, cut so that it fits a buffer of `size` bytes including a
// terminator (at most size - 1 bytes), or the default cut the same way.
std::string ReadIniString(std::string_view section, std::string_view key,
                          std::string_view defaultValue, std::size_t size,
                          std::string_view iniName);

}  // namespace brindlecot
