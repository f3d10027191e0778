#pragma once

#include <memory>
#include <string>

// Run-time loading of the crypto library: dlopen on Linux, LoadLibraryW on Windows.
namespace brindlecot::platform {

struct LibraryCloser {
    void operator()(void* library) const;
};
using LoadedLibrary = std::unique_ptr<void, LibraryCloser>;

// The library's file name relative to the program's folder.
extern const char* const kCryptoLibraryFile;

// Loads the regular file at `path` (a full path); nothing when it is missing, is no
// regular file or does not load.
LoadedLibrary LoadLibraryFile(const std::string& path);

// The address of the export `name`, or nullptr.
void* FindExport(void* library, const char* name);

}  // namespace brindlecot::platform
