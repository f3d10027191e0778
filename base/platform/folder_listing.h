#pragma once

#include <string>
#include <vector>

namespace brindlecot::platform {

// Names (not paths) of the regular files in `folder`, in the system's own encoding, in
// no particular order; empty when the folder cannot be read.
std::vector<std::string> RegularFileNames(const std::string& folder);

}  // namespace brindlecot::platform
