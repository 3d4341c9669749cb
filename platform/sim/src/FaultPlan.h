// Decides which calls of the simulated libraries fail, from the world's fault rules.
#pragma once

#include "SimConfig.h"

#include <cstdint>
#include <mutex>
#include <vector>

namespace kqsim {

class FaultPlan {
public:
    void reset(const std::vector<FaultRule> &rules);
    // Counts the call against every matching rule and returns the status it must fail
    // with, or 0. cardIndex / channel of -1 mean the call is not about one card / channel;
    // such a call matches only rules without that filter. Safe from any thread.
    int32_t check(const char *call, int cardIndex = -1, int channel = -1, bool inCallback = false);

private:
    struct Rule {
        FaultRule rule;
        int seen = 0;
    };
    std::mutex mutex_;
    std::vector<Rule> rules_;
};

} // namespace kqsim
