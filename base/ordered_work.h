#pragma once

#include <algorithm>
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

// Runs `work` on worker threads over the inputs given, and hands the results back on the
// caller's thread in the order the inputs were given. Batches of records are checked or
// formatted on every core, while everything the caller does with the results (rows
// stored, messages shown, bytes written) keeps the order of the file.
template <typename Input, typename Result>
class OrderedWork {
public:
    using Work = std::function<Result(Input&&)>;

    // At most `mostPending` inputs are waiting, being worked on or done and not yet taken:
    // that bounds the memory they hold. Without workers (none asked for, or the system
    // gives none) the work is done on the caller's thread when an input is given.
    OrderedWork(unsigned workers, std::size_t mostPending, Work work)
        : mostPending_(mostPending < 1 ? 1 : mostPending), work_(std::move(work)) {
        for (unsigned i = 0; i < workers; ++i) {
            try {
                threads_.emplace_back([this] { RunWorker(); });
            } catch (const std::system_error&) {
                break;
            }
        }
    }
    OrderedWork(const OrderedWork&) = delete;
    OrderedWork& operator=(const OrderedWork&) = delete;

    // Inputs not taken yet are dropped; work under way finishes first.
    ~OrderedWork() {
        {
            const std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        inputGiven_.notify_all();
        for (std::thread& thread : threads_)
            thread.join();
    }

    // Gives an input; hands every finished result to `take(Result&)` in order, waiting for
    // the oldest while too many are pending. An exception of the work is thrown here (or
    // by Finish) in its place in the order.
    template <typename Take>
    void Give(Input input, Take&& take) {
        if (threads_.empty()) {
            Result result = work_(std::move(input));
            take(result);
            return;
        }
        auto slot = std::make_shared<Slot>();
        slot->input.emplace(std::move(input));
        {
            const std::lock_guard lock(mutex_);
            pending_.push_back(slot);
            toStart_.push_back(std::move(slot));
        }
        inputGiven_.notify_one();
        while (pending_.size() >= mostPending_)
            TakeOldest(take);
    }

    // Hands the results for every input given so far to `take`, in order.
    template <typename Take>
    void Finish(Take&& take) {
        while (!pending_.empty())
            TakeOldest(take);
    }

private:
    struct Slot {
        std::optional<Input> input;
        std::optional<Result> result;
        std::exception_ptr error;
        bool done = false;
    };

    template <typename Take>
    void TakeOldest(Take& take) {
        std::shared_ptr<Slot> slot;
        {
            std::unique_lock lock(mutex_);
            workDone_.wait(lock, [this] { return pending_.front()->done; });
            slot = std::move(pending_.front());
            pending_.pop_front();
        }
        if (slot->error)
            std::rethrow_exception(slot->error);
        take(*slot->result);
    }

    void RunWorker() {
        for (;;) {
            std::shared_ptr<Slot> slot;
            {
                std::unique_lock lock(mutex_);
                inputGiven_.wait(lock, [this] { return stopping_ || !toStart_.empty(); });
                if (stopping_)
                    return;
                slot = std::move(toStart_.front());
                toStart_.pop_front();
            }
            try {
                slot->result.emplace(work_(std::move(*slot->input)));
            } catch (...) {
                slot->error = std::current_exception();
            }
            slot->input.reset();
            {
                const std::lock_guard lock(mutex_);
                slot->done = true;
            }
            workDone_.notify_all();
        }
    }

    const std::size_t mostPending_;
    const Work work_;
    std::mutex mutex_;
    std::condition_variable inputGiven_;
    std::condition_variable workDone_;
    std::deque<std::shared_ptr<Slot>> pending_;  // in the order given; the caller's thread only
    std::deque<std::shared_ptr<Slot>> toStart_;
    bool stopping_ = false;
    std::vector<std::thread> threads_;  // last: started once everything else exists
};

// Calls `work(first, end)` for the consecutive ranges [first, end) of at most `rangeSize`
// that make up [0, count), on worker threads when there are several, and returns when all
// are done. `work` must only read what the ranges share, and write only into its own range.
template <typename RangeWork>
void ForEachRange(std::size_t count, std::size_t rangeSize, const RangeWork& work) {
    if (rangeSize < 1)
        rangeSize = 1;
    using Range = std::pair<std::size_t, std::size_t>;
    const unsigned workers = count > rangeSize ? BulkWorkerThreads() : 0;
    OrderedWork<Range, bool> ranges(workers, 2 * static_cast<std::size_t>(workers) + 2,
                                    [&work](Range&& range) {
                                        work(range.first, range.second);
                                        return true;
                                    });
    const auto done = [](bool&) {
    };
    for (std::size_t first = 0; first < count; first += rangeSize)
        ranges.Give({first, std::min(count, first + rangeSize)}, done);
    ranges.Finish(done);
}

}  // namespace brindlecot
