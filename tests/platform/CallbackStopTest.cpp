// Ending a continuous acquisition while its callbacks run: once the stop (or the close)
// returns, no callback is running and none is called again. Also runs under ThreadSanitizer.
#include "SimFixture.h"

#include <atomic>

namespace kqtest {
namespace {

struct CallbackProbe {
    bool longRead = false; // ask for two seconds of scans at once instead of one block
    std::atomic<bool> running{false}, reading{false};
    std::atomic<bool> ended{false}; // set once stop or close has returned
    std::atomic<int> calls{0}, readFailures{0};
    std::atomic<int> violations{0}; // callbacks that began after the end

    // Called right after a stop or close returned.
    void expectQuiet() {
        EXPECT_FALSE(running) << "a callback still runs after the acquisition ended";
        ended = true;
    }
};

// Reads its block and, every few blocks, dawdles a little longer than a block lasts; a long
// read is still waiting when the stop comes.
void probeCallback(ViSession vi, ViAddr user) {
    auto &p = *static_cast<CallbackProbe *>(user);
    p.violations += p.ended;
    p.running = true;
    const int n = ++p.calls;
    std::vector<ViInt32> buf(p.longRead ? static_cast<ViInt32>(2 * kRate) : kBlock);
    p.reading = true;
    p.readFailures += kq7150_readMultAcquisition32(vi, ViInt32(buf.size()), buf.data()) != VI_SUCCESS;
    if (n % 4 == 0)
        std::this_thread::sleep_for(std::chrono::microseconds(500 * (n % 7)));
    p.running = false;
}

class CallbackStopTest : public SimFixture {
protected:
    void SetUp() override {
        SimFixture::SetUp();
        ASSERT_EQ(loadWorld(world::make({world::card(1, world::kRamp)})), 0);
    }
    void openAndStart(CallbackProbe &probe) {
        if (vi_ == VI_NULL) {
            ASSERT_NO_FATAL_FAILURE(openCards("VXI0::1::INSTR", {1}));
        }
        probe.ended = false;
        ASSERT_NO_FATAL_FAILURE(startPulsed({0x01}, 0, probeCallback, &probe));
    }
};

// Every fourth cycle closes the session instead of stopping, which frees the sessions too.
TEST_F(CallbackStopTest, StopOrCloseEndsCallbacksInEveryCycle) {
    CallbackProbe probe;
    for (int cycle = 0; cycle < 40; ++cycle) {
        SCOPED_TRACE("cycle " + std::to_string(cycle));
        const int callsBefore = probe.calls;
        ASSERT_NO_FATAL_FAILURE(openAndStart(probe));
        // Stop at varying points: some cycles right away, others after a few blocks.
        ASSERT_TRUE(waitFor([&] { return probe.calls >= callsBefore + cycle % 4; }, 2000ms));
        const bool close = cycle % 4 == 3;
        ASSERT_EQ(close ? kq7150_multClose(vi_) : kq7150_stopMultAcquisition(vi_), VI_SUCCESS);
        probe.expectQuiet();
        vi_ = close ? VI_NULL : vi_;
        EXPECT_EQ(kqsim_openSessions(), sessionsBefore_ + (close ? 0 : 2));
        // A read the close interrupts may fail, a stop's may not.
        EXPECT_TRUE(close || probe.readFailures == 0);
        probe.readFailures = 0;
    }
    const int calls = probe.calls;
    EXPECT_TRUE(holdsFor([&] { return probe.calls == calls; }, 30ms))
        << "callbacks went on after the last stop";
    EXPECT_EQ(probe.violations, 0);
}

TEST_F(CallbackStopTest, StopFromAnotherThreadEndsACallbackWaitingInARead) {
    CallbackProbe probe{true};
    ASSERT_NO_FATAL_FAILURE(openAndStart(probe));
    ASSERT_TRUE(waitFor([&] { return probe.reading.load(); }, 2000ms));
    double stopSeconds = -1.0;
    std::thread stopper([&] {
        const auto t0 = SteadyClock::now();
        EXPECT_EQ(kq7150_stopMultAcquisition(vi_), VI_SUCCESS);
        stopSeconds = secondsSince(t0);
        probe.expectQuiet();
    });
    stopper.join();
    EXPECT_LT(stopSeconds, 0.5) << "the stop waited for the read to be satisfied";
    EXPECT_EQ(probe.readFailures, 1) << "the interrupted read cannot have its scans";
    EXPECT_EQ(probe.calls, 1);
    EXPECT_EQ(probe.violations, 0);
}

} // namespace
} // namespace kqtest
