#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

namespace brindlecot {

// Threads for the work of a big import or export: one per core, a few at most, none on a
// machine of one core (the caller's thread does the work there).
unsigned BulkWorkerThreads();

// Runs jobs on worker threads and hands their results back on the caller's thread in the
// order the jobs were given. Batches of records are checked or formatted on every core,
// while everything the caller does with the results (rows stored, messages shown, bytes
// written) keeps the order of the file.
template <typename Result>
class OrderedWork {
public:
    using Job = std::function<Result()>;

    // At most `mostPending` jobs are waiting, running or finished and not yet taken: that
    // bounds the memory they hold. Without workers (none asked for, or the system gives
    // none) each job runs on the caller's thread when it is given.
    OrderedWork(unsigned workers, std::size_t mostPending)
        : mostPending_(mostPending < 1 ? 1 : mostPending) {
        for (unsigned i = 0; i < workers; ++i) {
            try {
                threads_.emplace_back([this] { Work(); });
            } catch (const std::system_error&) {
                break;
            }
        }
    }
    OrderedWork(const OrderedWork&) = delete;
    OrderedWork& operator=(const OrderedWork&) = delete;

    // Jobs not taken yet are dropped; a running one finishes first.
    ~OrderedWork() {
        {
            const std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        jobGiven_.notify_all();
        for (std::thread& thread : threads_)
            thread.join();
    }

    // Gives a job; hands every finished result to `take(Result&)` in order, waiting for the
    // oldest while too many are pending. A job's exception is thrown here (or by Finish)
    // in its place in the order.
    template <typename Take>
    void Give(Job job, Take&& take) {
        if (threads_.empty()) {
            Result result = job();
            take(result);
            return;
        }
        auto slot = std::make_shared<Slot>();
        slot->job = std::move(job);
        {
            const std::lock_guard lock(mutex_);
            pending_.push_back(slot);
            toStart_.push_back(std::move(slot));
        }
        jobGiven_.notify_one();
        while (pending_.size() >= mostPending_)
            TakeOldest(take);
    }

    // Hands the results of every job given so far to `take`, in order.
    template <typename Take>
    void Finish(Take&& take) {
        while (!pending_.empty())
            TakeOldest(take);
    }

    unsigned Workers() const { return static_cast<unsigned>(threads_.size()); }

private:
    struct Slot {
        Job job;
        std::optional<Result> result;
        std::exception_ptr error;
        bool done = false;
    };

    template <typename Take>
    void TakeOldest(Take& take) {
        std::shared_ptr<Slot> slot;
        {
            std::unique_lock lock(mutex_);
            jobDone_.wait(lock, [this] { return pending_.front()->done; });
            slot = std::move(pending_.front());
            pending_.pop_front();
        }
        if (slot->error)
            std::rethrow_exception(slot->error);
        take(*slot->result);
    }

    void Work() {
        for (;;) {
            std::shared_ptr<Slot> slot;
            {
                std::unique_lock lock(mutex_);
                jobGiven_.wait(lock, [this] { return stopping_ || !toStart_.empty(); });
                if (stopping_)
                    return;
                slot = std::move(toStart_.front());
                toStart_.pop_front();
            }
            try {
                slot->result.emplace(slot->job());
            } catch (...) {
                slot->error = std::current_exception();
            }
            slot->job = nullptr;  // what it captured goes now, not when the result is taken
            {
                const std::lock_guard lock(mutex_);
                slot->done = true;
            }
            jobDone_.notify_all();
        }
    }

    const std::size_t mostPending_;
    std::mutex mutex_;
    std::condition_variable jobGiven_;
    std::condition_variable jobDone_;
    std::deque<std::shared_ptr<Slot>> pending_;  // in the order given; the caller's thread only
    std::deque<std::shared_ptr<Slot>> toStart_;
    bool stopping_ = false;
    std::vector<std::thread> threads_;  // last: started once everything else exists
};

}  // namespace brindlecot
