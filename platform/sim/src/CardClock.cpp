#include "CardClock.h"

#include <cmath>

namespace kqsim {

using namespace std::chrono;

CardTime CardClock::now() const {
    return at(steady_clock::now());
}

CardTime CardClock::at(steady_clock::time_point when) const {
    // The steady clock times the scans; the system clock only anchors them to the calendar.
    const auto system =
        system_clock::now() + duration_cast<system_clock::duration>(when - steady_clock::now());
    const int64_t ns = duration_cast<nanoseconds>(system.time_since_epoch()).count();
    CardTime t;
    t.seconds = static_cast<uint64_t>(ns / 1000000000 + utcOffset_);
    t.nanoseconds = static_cast<uint32_t>(ns % 1000000000);
    return t;
}

steady_clock::time_point CardClock::steadyAt(uint64_t cardSeconds) const {
    const CardTime current = now();
    const double ahead = (static_cast<double>(cardSeconds) - static_cast<double>(current.seconds)) -
                         current.nanoseconds * 1e-9;
    return steady_clock::now() + duration_cast<steady_clock::duration>(duration<double>(ahead));
}

CardTime CardClock::plus(CardTime t, double seconds) {
    const double whole = std::floor(seconds);
    int64_t ns = static_cast<int64_t>(t.nanoseconds) + std::llround((seconds - whole) * 1e9);
    int64_t s = static_cast<int64_t>(t.seconds) + static_cast<int64_t>(whole);
    s += ns / 1000000000;
    ns %= 1000000000;
    return CardTime{static_cast<uint64_t>(s), static_cast<uint32_t>(ns)};
}

} // namespace kqsim
