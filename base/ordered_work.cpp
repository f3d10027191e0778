#include "base/ordered_work.h"

#include <algorithm>

namespace brindlecot {

unsigned BulkWorkerThreads() {
    // Beyond a few threads the disk and the memory bus set the pace of a batch.
    constexpr unsigned kMostWorkers = 4;
    const unsigned cores = std::thread::hardware_concurrency();
    return cores <= 1 ? 0 : std::min(cores, kMostWorkers);
}

}  // namespace brindlecot
