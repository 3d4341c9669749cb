#include "FaultPlan.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <tuple>

namespace kqsim {
namespace {

constexpr int32_t kFail = static_cast<int32_t>(0xBFFC0800u);
constexpr int32_t kOther = static_cast<int32_t>(0xBFFC0A01u);
const char *const kRead = "kq7150_readMultAcquisition";

FaultRule rule(int32_t status, int from = 1, int count = 1, int card = -1, int channel = -1,
               bool inCallback = false) {
    return FaultRule{kRead, status, from, count, card, channel, inCallback};
}

struct Call {
    int card = -1;
    int channel = -1;
    bool inCallback = false;
    const char *name = kRead;
};

const Call kCard0{0}, kCard1{1}, kInCallback{-1, -1, true}, kOpen{-1, -1, false, "viOpen"},
    kReadEx{-1, -1, false, "kq7150_readMultAcquisitionEx"};

// Name, rules, calls, and per call: 'F' kFail, 'O' kOther, '.' success.
using PlanCase = std::tuple<const char *, std::vector<FaultRule>, std::vector<Call>, std::string>;

TEST(FaultPlanTest, FailsExactlyTheSelectedCalls) {
    for (const auto &[name, rules, calls, expected] : std::vector<PlanCase>{
             {"Once", {rule(kFail)}, {{}, {}, {}}, "F.."},
             {"TwiceFromTheSecond", {rule(kFail, 2, 2)}, {{}, {}, {}, {}, {}}, ".FF.."},
             {"FromTheThirdOn", {rule(kFail, 3, 0)}, {{}, {}, {}, {}, {}}, "..FFF"},
             {"OtherNamesNeitherFailNorCount", {rule(kFail, 2)}, {kOpen, kReadEx, {}, {}}, "...F"},
             {"CardFilterCountsOnlyThatCard", {rule(kFail, 2, 1, 1)}, {kCard0, kCard1, {}, kCard1}, "...F"},
             {"ChannelFilter", {rule(kFail, 1, 0, -1, 3)}, {{0, 1}, {0, 3}, {}, {1, 3}}, ".F.F"},
             {"UnfilteredRuleMatchesEveryCall", {rule(kFail, 2, 2)}, {{4, 2}, kInCallback, {}}, ".FF"},
             {"InCallbackOnly",
              {rule(kFail, 2, 0, -1, -1, true)},
              {{}, kInCallback, {}, kInCallback},
              "...F"},
             {"FirstFiringDecidesAllCount", {rule(kFail, 2), rule(kOther, 1, 2)}, {{}, {}, {}}, "OF."}}) {
        FaultPlan plan;
        plan.reset(rules);
        std::string outcome;
        for (const Call &call : calls) {
            int32_t status = plan.check(call.name, call.card, call.channel, call.inCallback);
            outcome += status == 0 ? '.' : status == kFail ? 'F' : status == kOther ? 'O' : '?';
        }
        EXPECT_EQ(outcome, expected) << name;
    }
}

// A lost or doubled count would move the failing window or let the second rule fire early.
TEST(FaultPlanTest, CountsConcurrentCallsExactly) {
    constexpr int kThreads = 8, kCallsEach = 50000;
    FaultPlan plan;
    plan.reset({rule(kFail, 1001, 500), rule(kOther, kThreads * kCallsEach + 1, 0)});
    std::atomic<int> failed{0}, early{0}, ready{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&] {
            for (++ready; ready < kThreads;) // start together so that the calls overlap
                std::this_thread::yield();
            for (int i = 0; i < kCallsEach; ++i) {
                int32_t status = plan.check(kRead);
                failed += status == kFail;
                early += status == kOther;
            }
        });
    for (auto &thread : threads)
        thread.join();
    EXPECT_EQ(failed, 500);
    EXPECT_EQ(early, 0);
    EXPECT_EQ(plan.check(kRead), kOther);
}

} // namespace
} // namespace kqsim
