// The cards' PTP clock: the system clock on the TAI scale.
#pragma once

#include <chrono>
#include <cstdint>

namespace kqsim {

struct CardTime {
    uint64_t seconds = 0;
    uint32_t nanoseconds = 0;
};

class CardClock {
public:
    explicit CardClock(int utcOffset) : utcOffset_(utcOffset) {}
    int utcOffset() const { return utcOffset_; }
    CardTime now() const;
    // The card time that a steady-clock instant corresponds to.
    CardTime at(std::chrono::steady_clock::time_point when) const;
    // The steady-clock instant at which the card clock reads the given second.
    std::chrono::steady_clock::time_point steadyAt(uint64_t cardSeconds) const;
    // card time + offset seconds, normalised.
    static CardTime plus(CardTime t, double seconds);

private:
    int utcOffset_;
};

} // namespace kqsim
