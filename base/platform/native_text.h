#pragma once

#include <optional>
#include <string>
#include <string_view>

// File names as the system hands them over. Linux names are UTF-8 bytes already; Windows
// programs of this family pass names in the ANSI code page (the library's paths too).
namespace brindlecot::platform {

// A file name of the system, as UTF-8 for the console; unchanged on Linux.
std::string FileNameToUtf8(std::string_view name);

#ifdef _WIN32
// `wide` in the ANSI code page; nothing when a character has no exact form there (the
// system would substitute a look-alike and name a different file).
std::optional<std::string> WideToAnsi(std::wstring_view wide);
// `text` (in code page `codePage`) as UTF-16; nothing when it is not valid there.
std::optional<std::wstring> ToWide(unsigned codePage, std::string_view text);
// UTF-16 in code page `codePage`; nothing when a character has no exact form there.
std::optional<std::string> FromWide(unsigned codePage, std::wstring_view wide);
#endif

}  // namespace brindlecot::platform
