#include "cryptlib/kestrelcore/thread_group.h"

#include <exception>
#include <utility>

namespace kestrelvane {

bool ThreadGroup::Start(std::function<void()> body) noexcept {
    try {
        threads_.reserve(threads_.size() + 1);
        threads_.emplace_back(std::move(body));
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

void ThreadGroup::JoinAll() noexcept {
    for (std::thread& thread : threads_) {
        if (thread.joinable())
            thread.join();
    }
    threads_.clear();
}

}  // namespace kestrelvane
