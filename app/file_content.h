#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace brindlecot {

// Every file the program reads is named by the person or lies in a folder they control
// (templates, catalogues, keyConf, filecrypt.config, batches). Only a regular file is
// read: a FIFO, a device or a folder there is treated as a file that cannot be read, and
// looking at it never waits (opening a FIFO for reading blocks until a writer comes, and
// a device such as /dev/zero never ends).

// The whole content of a regular file, byte for byte; nothing when it cannot be opened
// or read, or is not a regular file.
std::optional<std::string> ReadWholeFile(const std::string& path);

// Reads the first bytes of a regular file into `buffer`, at most its size; answers how
// many were read, or nothing as ReadWholeFile does.
std::optional<std::size_t> ReadFileStart(const std::string& path, std::span<std::uint8_t> buffer);

}  // namespace brindlecot
