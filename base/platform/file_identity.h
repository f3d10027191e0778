#pragma once

#include <sys/stat.h>

#include <string>

// File operations whose system calls differ between Linux and Windows.
namespace brindlecot::platform {

// True when both names lead to one existing file (hard links, other spellings).
bool NameSameFile(const std::string& first, const std::string& second);

// Renames `from` over `to` in one step: `to` is the old file or the new one, never
// neither; the rename is on disk when this returns true.
bool ReplaceFileAtomically(const std::string& from, const std::string& to);

// The latest moment, in nanoseconds since 1970, at which the file of `status` may last
// have been changed (Windows' runtime keeps whole seconds only).
long long LatestModification(const struct stat& status);

}  // namespace brindlecot::platform
