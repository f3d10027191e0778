#include "base/platform/shared_library.h"

#include "base/platform/native_text.h"

#include <windows.h>

namespace brindlecot::platform {

const char* const kCryptoLibraryFile = "driver/Kestrelvane.dll";

void LibraryCloser::operator()(void* library) const {
    FreeLibrary(static_cast<HMODULE>(library));
}

LoadedLibrary LoadLibraryFile(const std::string& path) {
    std::optional<std::wstring> wide = ToWide(CP_ACP, path);
    if (!wide)
        return nullptr;
    for (wchar_t& c : *wide)
        if (c == L'/')
            c = L'\\';
    const DWORD attributes = GetFileAttributesW(wide->c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return nullptr;
    // The full path, and the library's own folder searched for anything it needs, never
    // the current folder.
    return LoadedLibrary(LoadLibraryExW(
        wide->c_str(), nullptr, LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32));
}

void* FindExport(void* library, const char* name) {
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

}  // namespace brindlecot::platform
