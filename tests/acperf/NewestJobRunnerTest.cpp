// The runner of newest-wins analyses. Also runs under ThreadSanitizer and AddressSanitizer.
#include "NewestJobRunner.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <mutex>
#include <vector>

namespace {

// A job that blocks until released, so the test decides what is running and what waits.
struct Gate {
    std::promise<void> entered, release;
    std::shared_future<void> open{release.get_future().share()};
    std::function<void()> job(std::vector<int> &ran, std::mutex &m, int id) {
        return [this, &ran, &m, id] {
            entered.set_value();
            open.wait();
            std::lock_guard<std::mutex> lock(m);
            ran.push_back(id);
        };
    }
};

bool waitIdle(const NewestJobRunner &runner) {
    for (int i = 0; i < 2000 && runner.busy(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return !runner.busy();
}

} // namespace

// While a job runs, later jobs replace one another: the running one ends, the newest follows,
// those in between never run, and the results keep the order of submission.
TEST(NewestJobRunner, RunningJobEndsThenOnlyTheNewestWaitingOneRuns) {
    std::vector<int> ran;
    std::mutex m;
    NewestJobRunner runner;
    Gate first;
    EXPECT_FALSE(runner.submit(first.job(ran, m, 1)));
    first.entered.get_future().wait();
    EXPECT_FALSE(runner.submit([&] {
        std::lock_guard<std::mutex> l(m);
        ran.push_back(2);
    }));
    EXPECT_TRUE(runner.submit([&] {
        std::lock_guard<std::mutex> l(m);
        ran.push_back(3);
    }));
    EXPECT_TRUE(runner.submit([&] {
        std::lock_guard<std::mutex> l(m);
        ran.push_back(4);
    }));
    EXPECT_TRUE(runner.busy());
    first.release.set_value();
    ASSERT_TRUE(waitIdle(runner));
    EXPECT_EQ(ran, (std::vector<int>{1, 4}));

    // Idle again, the next job runs at once.
    EXPECT_FALSE(runner.submit([&] {
        std::lock_guard<std::mutex> l(m);
        ran.push_back(5);
    }));
    ASSERT_TRUE(waitIdle(runner));
    EXPECT_EQ(ran.back(), 5);
}

// Ending the runner waits for the job that runs (it may still use what its owner holds) and
// drops the one that waits; what the dropped job held is freed.
TEST(NewestJobRunner, EndingWaitsForTheRunningJobAndDropsTheWaitingOne) {
    std::vector<int> ran;
    std::mutex m;
    auto held = std::make_shared<int>(0);
    Gate first;
    std::thread releaser;
    {
        NewestJobRunner runner;
        runner.submit(first.job(ran, m, 1));
        first.entered.get_future().wait();
        runner.submit([&ran, &m, held] {
            std::lock_guard<std::mutex> l(m);
            ran.push_back(2);
        });
        releaser = std::thread([&first] {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            first.release.set_value();
        });
    }
    releaser.join();
    EXPECT_EQ(ran, (std::vector<int>{1}));
    EXPECT_EQ(held.use_count(), 1);
}
