#include "base/platform/shared_library.h"

#include "base/file_descriptor.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace brindlecot::platform {

const char* const kCryptoLibraryFile = "driver/libKestrelvane.so";

void LibraryCloser::operator()(void* library) const {
    dlclose(library);
}

// dlopen would wait forever on a FIFO put in the library's place. The file is opened
// without waiting and judged here, and the loader is given that same open file by its
// descriptor's name: were it to open the path again, the path could lead to a FIFO by then.
LoadedLibrary LoadLibraryFile(const std::string& path) {
    const FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    struct stat status {};
    if (fd.Get() < 0 || ::fstat(fd.Get(), &status) != 0 || !S_ISREG(status.st_mode))
        return nullptr;
    const std::string opened = "/proc/self/fd/" + std::to_string(fd.Get());
    return LoadedLibrary(dlopen(opened.c_str(), RTLD_NOW | RTLD_LOCAL));
}

void* FindExport(void* library, const char* name) {
    return dlsym(library, name);
}

}  // namespace brindlecot::platform
