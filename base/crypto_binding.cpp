#include "base/crypto_binding.h"

#include "base/app_path.h"
#include "base/file_descriptor.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>
#include <string>

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

// dlopen would wait forever on a FIFO put in the library's place. The file is opened
// without waiting and judged here, and the loader is given that same open file by its
// descriptor's name: were it to open the path again, the path could lead to a FIFO by then.
std::unique_ptr<void, LibraryCloser> LoadRegularFile(const std::string& path) {
    const FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    struct stat status {};
    if (fd.Get() < 0 || ::fstat(fd.Get(), &status) != 0 || !S_ISREG(status.st_mode))
        return nullptr;
    const std::string opened = "/proc/self/fd/" + std::to_string(fd.Get());
    return std::unique_ptr<void, LibraryCloser>(dlopen(opened.c_str(), RTLD_NOW | RTLD_LOCAL));
}

}  // namespace

bool BindCryptoLibrary() {
    Binding& binding = TheBinding();
    // A library that loaded without the export stays "loaded but unusable" until it is
    // released, so a second call must not report success for it.
    if (binding.library)
        return binding.cryptFile != nullptr;
    binding.library = LoadRegularFile(AppPath("driver/libKestrelvane.so"));
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
