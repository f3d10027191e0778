#include <windows.h>

#include <cerrno>
#include <cstdint>

namespace {

HANDLE HandleOf(int fd) {
    return reinterpret_cast<HANDLE>(_get_osfhandle(fd));  // NOLINT(performance-no-int-to-ptr)
}

OVERLAPPED At(off_t offset) {
    OVERLAPPED where{};
    const auto position = static_cast<std::uint64_t>(offset);
    where.Offset = static_cast<DWORD>(position & 0xFFFFFFFFu);
    where.OffsetHigh = static_cast<DWORD>(position >> 32);
    return where;
}

// One call moves at most what a DWORD counts; callers loop over short transfers.
DWORD Clamp(size_t count) {
    return count > 0x40000000u ? 0x40000000u : static_cast<DWORD>(count);
}

}  // namespace

extern "C" int brindlecot_fcntl(int fd, int, ...) {
    if (HandleOf(fd) == INVALID_HANDLE_VALUE) {
        errno = EBADF;
        return -1;
    }
    return 0;
}

extern "C" ssize_t pread(int fd, void* buffer, size_t count, off_t offset) {
    OVERLAPPED where = At(offset);
    DWORD got = 0;
    if (!ReadFile(HandleOf(fd), buffer, Clamp(count), &got, &where)) {
        if (GetLastError() == ERROR_HANDLE_EOF)
            return 0;
        errno = EIO;
        return -1;
    }
    return static_cast<ssize_t>(got);
}

extern "C" ssize_t pwrite(int fd, const void* buffer, size_t count, off_t offset) {
    OVERLAPPED where = At(offset);
    DWORD put = 0;
    if (!WriteFile(HandleOf(fd), buffer, Clamp(count), &put, &where)) {
        errno = GetLastError() == ERROR_DISK_FULL ? ENOSPC : EIO;
        return -1;
    }
    return static_cast<ssize_t>(put);
}

// POSIX flushes the file whatever the descriptor's access; Windows flushes only through a
// handle that may write, so a read-only descriptor is reopened for writing to flush.
extern "C" int fsync(int fd) {
    const HANDLE handle = HandleOf(fd);
    if (FlushFileBuffers(handle))
        return 0;
    if (GetLastError() == ERROR_ACCESS_DENIED) {
        const HANDLE writable = ReOpenFile(
            handle, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, 0);
        if (writable != INVALID_HANDLE_VALUE) {
            const bool flushed = FlushFileBuffers(writable) != 0;
            CloseHandle(writable);
            if (flushed)
                return 0;
        }
    }
    errno = EIO;
    return -1;
}

extern "C" void explicit_bzero(void* buffer, size_t size) {
    SecureZeroMemory(buffer, size);
}

int mkdir(const char* path, mode_t) {
    if (_mkdir(path) == 0)
        return 0;
    const DWORD attributes = GetFileAttributesA(path);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        errno = EEXIST;
    return -1;
}
