#include "FaultPlan.h"

#include <gtest/gtest.h>

namespace kqsim {
namespace {

constexpr int32_t kFail = static_cast<int32_t>(0xBFFC0800u), kOther = static_cast<int32_t>(0xBFFC0A01u);
const char *const kRead = "kq7150_readMultAcquisition";

struct Call {
    int card = -1;
    int channel = -1;
    bool inCallback = false;
    const char *name = kRead;
};

// Rules {call, status, from, count (0: all on), card, channel, inCallback}, calls, and per call:
// 'F' kFail, 'O' kOther, '.' success.
TEST(FaultPlanTest, FailsExactlyTheSelectedCalls) {
    const Call card0{0}, card1{1}, inCallback{-1, -1, true}, open{-1, -1, false, "viOpen"},
        readEx{-1, -1, false, "kq7150_readMultAcquisitionEx"};
    using Case = std::tuple<std::vector<FaultRule>, std::vector<Call>, std::string>;
    for (const auto &[rules, calls, expected] : std::vector<Case>{
             {{{kRead, kFail}}, {{}, {}, {}}, "F.."},
             {{{kRead, kFail, 2, 2}}, {{}, {}, {}, {}, {}}, ".FF.."},
             {{{kRead, kFail, 3, 0}}, {{}, {}, {}, {}, {}}, "..FFF"},
             {{{kRead, kFail, 2}}, {open, readEx, {}, {}}, "...F"}, // other names neither fail nor count
             {{{kRead, kFail, 2, 1, 1}}, {card0, card1, {}, card1}, "...F"}, // only that card's calls count
             {{{kRead, kFail, 1, 0, -1, 3}}, {{0, 1}, {0, 3}, {}, {1, 3}}, ".F.F"},
             {{{kRead, kFail, 2, 2}}, {{4, 2}, inCallback, {}}, ".FF"}, // no filter: every call
             {{{kRead, kFail, 2, 0, -1, -1, true}}, {{}, inCallback, {}, inCallback}, "...F"},
             // The first rule to fire decides; all rules count.
             {{{kRead, kFail, 2}, {kRead, kOther, 1, 2}}, {{}, {}, {}}, "OF."}}) {
        FaultPlan plan;
        plan.reset(rules);
        std::string outcome;
        for (const Call &call : calls) {
            const int32_t status = plan.check(call.name, call.card, call.channel, call.inCallback);
            outcome += status == 0 ? '.' : status == kFail ? 'F' : status == kOther ? 'O' : '?';
        }
        EXPECT_EQ(outcome, expected) << rules.size() << " rules, " << calls.size() << " calls";
    }
}

} // namespace
} // namespace kqsim
