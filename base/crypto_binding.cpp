#include "base/crypto_binding.h"

#include "base/app_path.h"
#include "base/platform/shared_library.h"

#include <string>

namespace brindlecot {
namespace {

struct Binding {
    platform::LoadedLibrary library;
    CryptFileFunction cryptFile = nullptr;
};

Binding& TheBinding() {
    static Binding binding;
    return binding;
}

}  // namespace

bool BindCryptoLibrary() {
    Binding& binding = TheBinding();
    // A library that loaded without the export stays "loaded but unusable" until it is
    // released, so a second call must not report success for it.
    if (binding.library)
        return binding.cryptFile != nullptr;
    binding.library = platform::LoadLibraryFile(AppPath(platform::kCryptoLibraryFile));
    if (!binding.library)
        return false;
    binding.cryptFile = reinterpret_cast<CryptFileFunction>(
        platform::FindExport(binding.library.get(), "CryptFile"));
    return binding.cryptFile != nullptr;
}

bool UnbindCryptoLibrary() {
    Binding& binding = TheBinding();
    binding.cryptFile = nullptr;
    binding.library.reset();
    return true;
}

CryptFileFunction BoundCryptFile() {
    return TheBinding().cryptFile;
}

}  // namespace brindlecot
