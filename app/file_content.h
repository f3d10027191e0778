#pragma once

#include <optional>
#include <string>

namespace brindlecot {

// The whole content of a regular file, byte for byte; nothing when it cannot be opened
// or read, or is not a regular file (a folder among them).
std::optional<std::string> ReadWholeFile(const std::string& path);

}  // namespace brindlecot
