#include "FaultPlan.h"

#include <limits>

namespace kqsim {
namespace {

bool matches(const FaultRule &rule, const char *call, int cardIndex, int channel, bool inCallback) {
    return rule.call == call && (rule.cardIndex < 0 || rule.cardIndex == cardIndex) &&
           (rule.channel < 0 || rule.channel == channel) && (!rule.inCallback || inCallback);
}

// Computed in 64 bits: from + count may exceed an int for "fail from the K-th call for ever".
bool fires(const FaultRule &rule, int seen) {
    int64_t sinceFrom = int64_t(seen) - rule.from;
    return sinceFrom >= 0 && (rule.count == 0 || sinceFrom < rule.count);
}

} // namespace

void FaultPlan::reset(const std::vector<FaultRule> &rules) {
    std::lock_guard<std::mutex> lock(mutex_);
    rules_.clear();
    for (const FaultRule &rule : rules)
        rules_.push_back(Rule{rule, 0});
}

// Every matching rule counts the call, also when an earlier rule already decided it, so each
// rule's "K-th call" means the K-th call it matches whatever the other rules do.
int32_t FaultPlan::check(const char *call, int cardIndex, int channel, bool inCallback) {
    if (call == nullptr)
        return 0;
    std::lock_guard<std::mutex> lock(mutex_);
    int32_t status = 0;
    for (Rule &r : rules_) {
        if (!matches(r.rule, call, cardIndex, channel, inCallback))
            continue;
        if (r.seen < std::numeric_limits<int>::max())
            ++r.seen;
        if (status == 0 && fires(r.rule, r.seen))
            status = r.rule.status;
    }
    return status;
}

} // namespace kqsim
