#pragma once

#include <cstdint>
#include <string>

namespace brindlecot::platform {

// Makes the file at `path` readable and writable by its owner alone, whatever its folder
// grants. On Linux the mode the file was created with has done so already; on Windows its
// access list is replaced by one entry for the person running the program.
[[nodiscard]] bool RestrictToOwner(const std::string& path);

// Asks the system to start writing `length` bytes of the open file `descriptor` from
// `offset` on to the disk, without waiting. A big output written a block at a time is
// then mostly on the disk by the time it is made durable, instead of all of it being
// flushed at the end. Nothing where the system takes no such request.
void StartWriteBack(int descriptor, std::uint64_t offset, std::uint64_t length);

}  // namespace brindlecot::platform
