#include "base/platform/program_folders.h"

#include "base/platform/native_text.h"

#include <windows.h>

#include <algorithm>
#include <cwchar>
#include <string_view>

namespace brindlecot::platform {
namespace {

// Paths inside the program join names with "/"; Windows takes both separators.
std::string WithForwardSlashes(std::string path) {
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}

}  // namespace

std::string ExecutableFolder() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0)
            return ".";
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2);
    }
    path.resize(path.find_last_of(L"\\/") == std::wstring::npos ? 0 : path.find_last_of(L"\\/"));
    // Everything below works on ANSI paths, as the library's callers pass them.
    const std::optional<std::string> folder = WideToAnsi(path);
    return folder && !folder->empty() ? WithForwardSlashes(*folder) : std::string(".");
}

bool FolderWritable(const std::string& folder) {
    // Access rules on Windows are ACLs that only an attempt judges reliably: create a
    // file that vanishes when closed.
    const std::optional<std::wstring> wide = ToWide(CP_ACP, folder);
    if (!wide)
        return false;
    const std::wstring probe =
        *wide + L"\\.brindlecot-write-probe-" + std::to_wstring(GetCurrentProcessId());
    const HANDLE file = CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(file);
    return true;
}

namespace {

std::string FolderFromEnvironment(const wchar_t* variable) {
    const DWORD size = GetEnvironmentVariableW(variable, nullptr, 0);
    if (size == 0)
        return {};
    std::wstring value(size, L'\0');
    const DWORD length = GetEnvironmentVariableW(variable, value.data(), size);
    if (length == 0 || length >= size)
        return {};
    value.resize(length);
    const std::optional<std::string> folder = WideToAnsi(value);
    return folder ? WithForwardSlashes(*folder) : std::string();
}

}  // namespace

std::string UserConfigBase() {
    return FolderFromEnvironment(L"APPDATA");
}

std::string UserStateBase() {
    return FolderFromEnvironment(L"LOCALAPPDATA");
}

}  // namespace brindlecot::platform
