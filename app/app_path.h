#pragma once

#include <string>
#include <string_view>

namespace brindlecot {

// Every relative file name of the program (conf/..., language/..., driver/..., keyConf)
// is resolved against the folder of the running executable, never the current directory.

// The folder of the running executable (from /proc/self/exe), or the folder set with
// SetAppFolder.
const std::string& AppFolder();

// Replaces the executable's folder; tests use it to point at a folder of their own.
void SetAppFolder(std::string folder);

// The folder joined with `name` by "/"; the folder alone when `name` is empty.
std::string AppPath(std::string_view name);

}  // namespace brindlecot
