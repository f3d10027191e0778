#pragma once

#include <algorithm>
#include <atomic>
#include <cstdint>

namespace brindlecot {

// How far the running import or export has come, in bytes of the batch file. The command
// writes it; a progress window reads it from another thread while the command runs.
struct CommandProgress {
    std::atomic<std::uint64_t> done{0};
    std::atomic<std::uint64_t> expected{0};  // 0 while the end is not known

    void Start(std::uint64_t expectedBytes) {
        done.store(0, std::memory_order_relaxed);
        expected.store(expectedBytes, std::memory_order_relaxed);
    }
    void Add(std::uint64_t bytes) { done.fetch_add(bytes, std::memory_order_relaxed); }
    // At the end the bar is full, whatever the estimate was.
    void Finish() {
        const std::uint64_t total = std::max(done.load(std::memory_order_relaxed),
                                             expected.load(std::memory_order_relaxed));
        expected.store(total, std::memory_order_relaxed);
        done.store(total, std::memory_order_relaxed);
    }
};

}  // namespace brindlecot
