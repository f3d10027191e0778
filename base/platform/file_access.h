#pragma once

#include <string>

namespace brindlecot::platform {

// Makes the file at `path` readable and writable by its owner alone, whatever its folder
// grants. On Linux the mode the file was created with has done so already; on Windows its
// access list is replaced by one entry for the person running the program.
[[nodiscard]] bool RestrictToOwner(const std::string& path);

}  // namespace brindlecot::platform
