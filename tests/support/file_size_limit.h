#pragma once

#include <signal.h>
#include <sys/resource.h>

namespace brindlecot::testing {

// Lets writes into files grow only up to `bytes` while it lives: the way to make a write
// fail halfway, as a full disk would, without filling one. SIGXFSZ is ignored meanwhile,
// so the write returns an error instead of ending the process.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        previousHandler_ = ::signal(SIGXFSZ, SIG_IGN);
        ::getrlimit(RLIMIT_FSIZE, &previous_);
        rlimit limited = previous_;
        limited.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limited);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &previous_);
        ::signal(SIGXFSZ, previousHandler_);
    }

    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit previous_{};
    sighandler_t previousHandler_;
};

}  // namespace brindlecot::testing
