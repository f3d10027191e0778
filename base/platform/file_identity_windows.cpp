#include "base/platform/file_identity.h"

#include "base/platform/native_text.h"

#include <windows.h>

#include <optional>

namespace brindlecot::platform {
namespace {

struct Identity {
    DWORD volume = 0;
    DWORD indexHigh = 0;
    DWORD indexLow = 0;
};

// The C runtime's stat has no file number on Windows (st_ino is always 0), so two
// different files on one drive would look alike; the volume and file index tell.
std::optional<Identity> IdentityOf(const std::string& path) {
    const std::optional<std::wstring> wide = ToWide(CP_ACP, path);
    if (!wide)
        return std::nullopt;
    const HANDLE file =
        CreateFileW(wide->c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return std::nullopt;
    BY_HANDLE_FILE_INFORMATION information{};
    const bool known = GetFileInformationByHandle(file, &information) != 0;
    CloseHandle(file);
    if (!known)
        return std::nullopt;
    return Identity{information.dwVolumeSerialNumber, information.nFileIndexHigh,
                    information.nFileIndexLow};
}

}  // namespace

bool NameSameFile(const std::string& first, const std::string& second) {
    const std::optional<Identity> a = IdentityOf(first);
    const std::optional<Identity> b = IdentityOf(second);
    return a && b && a->volume == b->volume && a->indexHigh == b->indexHigh &&
           a->indexLow == b->indexLow;
}

bool ReplaceFileAtomically(const std::string& from, const std::string& to) {
    const std::optional<std::wstring> source = ToWide(CP_ACP, from);
    const std::optional<std::wstring> target = ToWide(CP_ACP, to);
    return source && target &&
           MoveFileExW(source->c_str(), target->c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

long long LatestModification(const struct stat& status) {
    return (static_cast<long long>(status.st_mtime) + 1) * 1'000'000'000LL;
}

}  // namespace brindlecot::platform
