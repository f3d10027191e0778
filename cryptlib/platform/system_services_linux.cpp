#include "cryptlib/platform/system_services.h"

#include <setjmp.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <limits>

namespace kestrelvane {

bool FillFromSystemRandom(std::uint8_t* buffer, std::size_t length) {
    std::size_t filled = 0;
    while (filled < length) {
        const ssize_t got = getrandom(buffer + filled, length - filled, 0);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        filled += static_cast<std::size_t>(got);
    }
    return true;
}

bool SameOpenFile(int a, int b) {
    struct stat sa {};
    struct stat sb {};
    return ::fstat(a, &sa) == 0 && ::fstat(b, &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

namespace {

// A page of a mapped file that was cut off the file raises SIGBUS on the thread that
// touches it. The handler jumps back to the guard of that thread's ReadThroughView; a bus
// error anywhere else goes to the handler that was there before, or to the default
// action, exactly as if this one did not exist.
// Initial-exec, so that the handler reads it without the dynamic loader, which may not be
// called from a signal handler.
__attribute__((tls_model("initial-exec"))) thread_local sigjmp_buf* t_view_guard = nullptr;
struct sigaction g_previous_handler {};

void OnBusError(int signal, siginfo_t* info, void* context) {
    sigjmp_buf* const guard = t_view_guard;
    if (guard != nullptr) {
        t_view_guard = nullptr;
        siglongjmp(*guard, 1);
    }
    if ((g_previous_handler.sa_flags & SA_SIGINFO) != 0) {
        g_previous_handler.sa_sigaction(signal, info, context);
        return;
    }
    if (g_previous_handler.sa_handler != SIG_DFL && g_previous_handler.sa_handler != SIG_IGN) {
        g_previous_handler.sa_handler(signal);
        return;
    }
    // Raised again once this handler returns, now with the default action.
    struct sigaction fallback {};
    fallback.sa_handler = SIG_DFL;
    sigemptyset(&fallback.sa_mask);
    sigaction(SIGBUS, &fallback, nullptr);
    raise(SIGBUS);
}

bool InstallBusErrorHandler() {
    struct sigaction handler {};
    handler.sa_sigaction = OnBusError;
    handler.sa_flags = SA_SIGINFO;
    sigemptyset(&handler.sa_mask);
    return sigaction(SIGBUS, &handler, &g_previous_handler) == 0;
}

// The handler is installed once per process; if the program has put its own in place
// since, reading through a view would not be guarded, so no view is made.
bool BusErrorsAreGuarded() {
    static const bool installed = InstallBusErrorHandler();
    struct sigaction current {};
    return installed && sigaction(SIGBUS, nullptr, &current) == 0 &&
           (current.sa_flags & SA_SIGINFO) != 0 && current.sa_sigaction == OnBusError;
}

}  // namespace

FileView::FileView(int fd, std::uint64_t size) {
    if (size == 0 || size > std::numeric_limits<std::size_t>::max() || !BusErrorsAreGuarded())
        return;
    void* const mapped =
        ::mmap(nullptr, static_cast<std::size_t>(size), PROT_READ, MAP_SHARED, fd, 0);
    if (mapped == MAP_FAILED)
        return;
    data_ = static_cast<const std::uint8_t*>(mapped);
    size_ = static_cast<std::size_t>(size);
}

void FileView::Release(std::size_t offset, std::size_t length) const {
    static const auto page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
    if (data_ == nullptr || offset > size_ || length > size_ - offset)
        return;
    const auto start = reinterpret_cast<std::uintptr_t>(data_) + offset;
    const std::uintptr_t first = (start + page - 1) / page * page;
    const std::uintptr_t end = (start + length) / page * page;
    if (first < end)
        ::madvise(reinterpret_cast<void*>(first), end - first, MADV_DONTNEED);
}

FileView::~FileView() {
    if (data_ != nullptr)
        ::munmap(const_cast<std::uint8_t*>(data_), size_);
}

bool ReadThroughView(void (*work)(void*), void* context) {
    sigjmp_buf guard;
    // The signal mask is saved too: the jump leaves the handler with SIGBUS still blocked.
    if (sigsetjmp(guard, 1) != 0)
        return false;
    t_view_guard = &guard;
    work(context);
    t_view_guard = nullptr;
    return true;
}

}  // namespace kestrelvane
