#include "app/crypto_binding.h"

#include "app/app_path.h"

#include <dlfcn.h>
#include <sys/stat.h>

#include <memory>

namespace brindlecot {
namespace {

struct LibraryCloser {
    void operator()(void* handle) const { dlclose(handle); }
};

struct Binding {
    std::unique_ptr<void, LibraryCloser> library;
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
    const std::string path = AppPath("driver/libKestrelvane.so");
    // dlopen would wait forever on a FIFO put in the library's place.
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0 || !S_ISREG(status.st_mode))
        return false;
    binding.library.reset(dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL));
    if (!binding.library)
        return false;
    binding.cryptFile =
        reinterpret_cast<CryptFileFunction>(dlsym(binding.library.get(), "CryptFile"));
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
