#include "base/ordered_work.h"

#include <gtest/gtest.h>

#include <chrono>
#include <stdexcept>
#include <vector>

namespace brindlecot {
namespace {

// Later inputs finish first (the early ones sleep longest), yet results arrive in the
// order given, whether workers do the work or the caller does.
TEST(OrderedWorkTest, ResultsComeInTheOrderGivenHoweverTheWorkFinishes) {
    for (const unsigned workers : {0U, 1U, 3U}) {
        std::vector<int> taken;
        OrderedWork<int, int> work(workers, 4, [](int&& job) {
            std::this_thread::sleep_for(std::chrono::microseconds(200 * (40 - job) % 900));
            return job;
        });
        for (int job = 0; job < 40; ++job)
            work.Give(job, [&](int& result) { taken.push_back(result); });
        work.Finish([&](int& result) { taken.push_back(result); });
        std::vector<int> expected(40);
        for (int i = 0; i < 40; ++i)
            expected[static_cast<std::size_t>(i)] = i;
        EXPECT_EQ(taken, expected) << workers << " workers";
    }
}

TEST(OrderedWorkTest, FailedWorkIsThrownInItsPlaceAfterTheResultsBeforeIt) {
    for (const unsigned workers : {0U, 2U}) {
        std::vector<int> taken;
        auto take = [&](int& result) {
            taken.push_back(result);
        };
        OrderedWork<int, int> work(workers, 3, [](int&& job) {
            if (job == 4)
                throw std::runtime_error("job 4");
            return job;
        });
        auto giveAll = [&] {
            for (int job = 0; job < 10; ++job)
                work.Give(job, take);
            work.Finish(take);
        };
        EXPECT_THROW(giveAll(), std::runtime_error);
        EXPECT_EQ(taken, (std::vector<int>{0, 1, 2, 3})) << workers << " workers";
    }
}

}  // namespace
}  // namespace brindlecot
