#pragma once

#include "cryptlib/include/kestrelvane.h"

namespace brindlecot {

// The program binds one export of driver/libKestrelvane.so, found beside the executable.
using CryptFileFunction = decltype(&::CryptFile);

// Loads the library and looks up "CryptFile" by name. Binding twice binds once. True only
// when both the library and the export are present.
[[nodiscard]] bool BindCryptoLibrary();

// Releases the library if it is loaded (also one that lacked the export). Always true.
bool UnbindCryptoLibrary();

// The bound entry, or nullptr before binding and after release.
CryptFileFunction BoundCryptFile();

}  // namespace brindlecot
