// Ending a continuous acquisition while its callbacks run: once the stop (or the close)
// returns, no callback is running and none is called again. Also runs under ThreadSanitizer.
#include "SimFixture.h"

#include <atomic>

namespace kqtest {
namespace {

struct CallbackProbe {
    // ended: set once stop or close has returned; violations: callbacks that began after the end.
    std::atomic<bool> running{false}, ended{false};
    std::atomic<int> calls{0}, readFailures{0}, violations{0};
};

// Reads its block and, every few blocks, dawdles a little longer than a block lasts. The panel's
// callback, too, reads only the block it is called for: a read never waits for scans to come.
void probeCallback(ViSession vi, ViAddr user) {
    auto &p = *static_cast<CallbackProbe *>(user);
    p.violations += p.ended;
    p.running = true;
    const int n = ++p.calls;
    std::vector<ViInt32> buf(kBlock);
    p.readFailures += kq7150_readMultAcquisition32(vi, ViInt32(buf.size()), buf.data()) != VI_SUCCESS;
    std::this_thread::sleep_for(std::chrono::microseconds(n % 4 == 0 ? 500 * (n % 7) : 0));
    p.running = false;
}

using CallbackStopTest = SimFixture;

// A card of the built-in world. Every fourth cycle closes the session instead of stopping (that
// a close frees the sessions, the simulated cards' session test shows).
TEST_F(CallbackStopTest, StopOrCloseEndsCallbacksInEveryCycle) {
    CallbackProbe probe;
    for (int cycle = 0; cycle < 40; ++cycle) {
        SCOPED_TRACE("cycle " + std::to_string(cycle));
        const int callsBefore = probe.calls;
        if (vi_ == VI_NULL) // a failed open fails the start below
            openCards("VXI0::5::INSTR", {5});
        probe.ended = false;
        ASSERT_NO_FATAL_FAILURE(startPulsed({0x01}, 0, probeCallback, &probe));
        // Stop at varying points: some cycles right away, others after a few blocks.
        ASSERT_TRUE(waitFor([&] { return probe.calls >= callsBefore + cycle % 4; }, 2000ms));
        const bool close = cycle % 4 == 3;
        ASSERT_EQ(close ? kq7150_multClose(vi_) : kq7150_stopMultAcquisition(vi_), VI_SUCCESS);
        EXPECT_FALSE(probe.running) << "a callback still runs after the acquisition ended";
        probe.ended = true;
        vi_ = close ? VI_NULL : vi_;
        // A read the close interrupts may fail, a stop's may not.
        EXPECT_TRUE(probe.readFailures.exchange(0) == 0 || close);
    }
    const int calls = probe.calls;
    EXPECT_TRUE(holdsFor([&] { return probe.calls == calls; }, 30ms))
        << "callbacks went on after the last stop";
    EXPECT_EQ(probe.violations, 0);
}

} // namespace
} // namespace kqtest
