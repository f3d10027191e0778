#include "base/platform/folder_listing.h"

#include "base/platform/native_text.h"

#include <windows.h>

namespace brindlecot::platform {

// The standard library's directory listing on Windows speaks UTF-8 in its narrow names;
// the program's names are in the ANSI code page, so the system is asked directly.
std::vector<std::string> RegularFileNames(const std::string& folder) {
    std::vector<std::string> names;
    const std::optional<std::wstring> wide = ToWide(CP_ACP, folder);
    if (!wide)
        return names;
    WIN32_FIND_DATAW found{};
    const HANDLE search = FindFirstFileW((*wide + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return names;
    do {
        if ((found.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) != 0)
            continue;
        // A name the ANSI code page cannot hold cannot be opened by the program anyway.
        if (std::optional<std::string> name = WideToAnsi(found.cFileName))
            names.push_back(std::move(*name));
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return names;
}

}  // namespace brindlecot::platform
