#pragma once

#include <optional>
#include <string>
#include <vector>

namespace brindlecot::platform {

// The program writes UTF-8 to standard output and error; on Windows the console shows
// its own code page, so from here on both streams are converted to it (unchanged on
// Linux).
void UseConsoleCodePage();

#ifdef _WIN32
// The arguments of wmain in the ANSI code page that file names take here; an argument
// the code page cannot hold gives nothing and names itself in `refused` (as UTF-8).
std::optional<std::vector<std::string>> AnsiArguments(int argc, wchar_t** argv,
                                                      std::string& refused);
#endif

}  // namespace brindlecot::platform
