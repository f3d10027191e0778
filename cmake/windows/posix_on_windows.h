// Put before every translation unit of the Windows build (compiler option -include): the
// POSIX file calls the code makes are there in the C runtime under the same names, except
// for the few given here, and every descriptor is opened in binary mode.
#pragma once

#include <direct.h>
#include <fcntl.h>
#include <io.h>
#include <locale.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

// The C runtime translates CR LF in text mode, the default of its open(): sealed files,
// batches and keys are bytes.
#undef O_RDONLY
#undef O_WRONLY
#undef O_RDWR
#define O_RDONLY (_O_RDONLY | _O_BINARY)
#define O_WRONLY (_O_WRONLY | _O_BINARY)
#define O_RDWR (_O_RDWR | _O_BINARY)

// Not inherited by child processes, the meaning of close-on-exec here.
#define O_CLOEXEC _O_NOINHERIT
// Windows has no FIFOs, terminals or symbolic-link traps behind these flags; a folder
// cannot be opened as a file at all, so a folder's flush fails and is skipped.
#define O_NONBLOCK 0
#define O_NOCTTY 0
#define O_NOFOLLOW 0
#define O_DIRECTORY 0
#define F_GETFL 3
#define F_SETFL 4

#ifdef __cplusplus
extern "C" {
#endif

// Flags are only ever read and written back unchanged (O_NONBLOCK, which is 0 here).
int brindlecot_fcntl(int fd, int command, ...);
#define fcntl brindlecot_fcntl

// Positional reads and writes that leave the file position alone (ReadFile and
// WriteFile with an offset), so that threads may share one descriptor.
ssize_t pread(int fd, void* buffer, size_t count, off_t offset);
ssize_t pwrite(int fd, const void* buffer, size_t count, off_t offset);

// Data and metadata to disk (FlushFileBuffers).
int fsync(int fd);

// Zeroes memory in a way the compiler may not drop (SecureZeroMemory).
void explicit_bzero(void* buffer, size_t size);

#ifdef __cplusplus
}

// Number parsing in the "C" locale whatever the process's locale.
using locale_t = _locale_t;
#define LC_ALL_MASK LC_ALL
inline locale_t newlocale(int category, const char* name, locale_t) {
    return _create_locale(category, name);
}
#define strtod_l _strtod_l

// The runtime's mkdir takes no mode; Windows folders take the ACL of their parent. An
// existing folder reports EEXIST, as POSIX does, also for a drive root ("C:").
int mkdir(const char* path, mode_t mode);
#endif
