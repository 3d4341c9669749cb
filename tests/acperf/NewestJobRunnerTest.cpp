// The runner of newest-wins analyses. Also runs under ThreadSanitizer and AddressSanitizer.
#include "NewestJobRunner.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <memory>
#include <thread>
#include <vector>

namespace {

// Polls until done() holds or two seconds pass; the result is done()'s last value.
template <class Done> bool waitFor(Done done) {
    for (int i = 0; i < 2000 && !done(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return done();
}

// Records which jobs ran; job 1 blocks until released, so the test decides what is running and
// what waits. The runner's busy() and its end order what the jobs wrote before the test reads it.
struct Jobs {
    std::vector<int> ran;
    std::promise<void> entered, release;
    std::shared_future<void> open{release.get_future().share()};

    std::function<void()> job(int id) {
        return [this, id] {
            if (id == 1) {
                entered.set_value();
                open.wait();
            }
            ran.push_back(id);
        };
    }
};

} // namespace

// While a job runs, later jobs replace one another: the running one ends, the newest follows,
// those in between never run, and the results keep the order of submission. Idle again, the
// next job runs at once. Ending the runner waits for the job that runs (it may still use what
// its owner holds) and drops the one that waits; what the dropped job held is freed.
TEST(NewestJobRunner, RunningJobEndsThenOnlyTheNewestWaitingOneRunsUnlessTheRunnerEnds) {
    Jobs jobs, last;
    auto held = std::make_shared<int>(0);
    std::thread releaser;
    {
        NewestJobRunner runner;
        EXPECT_FALSE(runner.submit(jobs.job(1)));
        jobs.entered.get_future().wait();
        // Whether each submission dropped a waiting job, in order, and that the runner is busy.
        EXPECT_EQ((std::vector<bool>{runner.submit(jobs.job(2)), runner.submit(jobs.job(3)),
                                     runner.submit(jobs.job(4)), runner.busy()}),
                  (std::vector<bool>{false, true, true, true}));
        jobs.release.set_value();
        ASSERT_TRUE(waitFor([&] { return !runner.busy(); }));
        EXPECT_EQ(jobs.ran, (std::vector<int>{1, 4}));
        EXPECT_FALSE(runner.submit(jobs.job(5)));
        ASSERT_TRUE(waitFor([&] { return !runner.busy(); }));
        EXPECT_EQ(jobs.ran.back(), 5);

        runner.submit(last.job(1));
        last.entered.get_future().wait();
        runner.submit([waiting = last.job(2), held] { waiting(); });
        // The running job ends only once the ending runner has dropped the waiting one.
        releaser = std::thread([&last, weak = std::weak_ptr<int>(held)] {
            waitFor([&] { return weak.use_count() == 1; });
            last.release.set_value();
        });
    }
    releaser.join();
    EXPECT_EQ(std::pair(last.ran, held.use_count()), std::pair(std::vector<int>{1}, 1L));
}
