#include "cryptlib/platform/system_services.h"

#include <windows.h>
// After windows.h, which it needs.
#include <bcrypt.h>
#include <io.h>

namespace kestrelvane {

bool FillFromSystemRandom(std::uint8_t* buffer, std::size_t length) {
    while (length > 0) {
        const ULONG piece = length > 0x10000000u ? 0x10000000u : static_cast<ULONG>(length);
        if (!BCRYPT_SUCCESS(
                BCryptGenRandom(nullptr, buffer, piece, BCRYPT_USE_SYSTEM_PREFERRED_RNG)))
            return false;
        buffer += piece;
        length -= piece;
    }
    return true;
}

// The C runtime's fstat has no file number on Windows (st_ino is always 0): the volume
// and the file index tell files apart.
bool SameOpenFile(int a, int b) {
    BY_HANDLE_FILE_INFORMATION first{};
    BY_HANDLE_FILE_INFORMATION second{};
    const auto handle = [](int fd) {
        return reinterpret_cast<HANDLE>(_get_osfhandle(fd));  // NOLINT(performance-no-int-to-ptr)
    };
    return GetFileInformationByHandle(handle(a), &first) != 0 &&
           GetFileInformationByHandle(handle(b), &second) != 0 &&
           first.dwVolumeSerialNumber == second.dwVolumeSerialNumber &&
           first.nFileIndexHigh == second.nFileIndexHigh &&
           first.nFileIndexLow == second.nFileIndexLow;
}

// No view on Windows yet: files are read. (A mapped file there cannot be shortened while
// the view is open, so a view would need no guard.)
FileView::FileView(int, std::uint64_t) {}

FileView::~FileView() = default;

void FileView::Release(std::size_t, std::size_t) const {}

bool ReadThroughView(void (*work)(void*), void* context) {
    work(context);
    return true;
}

}  // namespace kestrelvane
