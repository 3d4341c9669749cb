// Test fixture for the simulated cards, used only through their public C interfaces: it
// points the simulation at a world (and fault) file of the test, opens multi-card sessions,
// and restores the built-in world afterwards so tests do not leak state into each other.
#pragma once

#include "kq7150.h"
#include "kqsim_control.h"

#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <string>
#include <thread>
#include <type_traits>
#include <vector>

namespace kqtest {

using namespace std::chrono_literals;
using Millis = std::chrono::milliseconds;
using SteadyClock = std::chrono::steady_clock;

constexpr double kRate = 216000.0; // scans per second wherever the rate does not matter
constexpr ViInt32 kBlock = 256;    // scans per callback block
// Volts of one count of the 24-bit converter over +-10.24 V, after the channel's gain.
inline double lsb(int gain) {
    return 10.24 / 8388608.0 / gain;
}
inline double secondsSince(SteadyClock::time_point t0) {
    return std::chrono::duration<double>(SteadyClock::now() - t0).count();
}

// Polls until pred() holds or the deadline passes; the result is pred()'s last value.
template <class Pred> bool waitFor(Pred pred, Millis deadline = 3000ms) {
    for (const auto end = SteadyClock::now() + deadline; !pred(); std::this_thread::sleep_for(1ms))
        if (SteadyClock::now() >= end)
            return pred();
    return true;
}
// True when pred() held at every poll for the whole duration.
template <class Pred> bool holdsFor(Pred pred, Millis duration) {
    return !waitFor([&] { return !pred(); }, duration);
}

// The driver's text of a status, "" when it has none.
inline std::string driverText(ViStatus status) {
    ViChar text[kq7150_ERROR_MSG_BUFLEN] = "";
    return kq7150_error_message(VI_NULL, status, text) == VI_SUCCESS ? text : "";
}

// JSON text of world files.
namespace world {
constexpr const char *kRamp = R"({"type":"ramp"})"; // a channel's count is its scan number modulo 2^23
// Fixed six decimals hold every level and noise the tests give.
inline std::string dc(double volts, double noiseRms = 0.0) {
    return R"({"type":"sine","amplitude":0,"offset":)" + std::to_string(volts) + R"(,"noiseRms":)" +
           std::to_string(noiseRms) + "}";
}
inline std::string card(int slot, const std::string &signal, const std::map<int, std::string> &channels = {},
                        const char *variant = "BB") {
    std::string text = R"({"slot":)" + std::to_string(slot) + R"(,"variant":")" + variant + R"(","signal":)" +
                       signal + R"(,"channels":{)";
    for (const auto &[number, channelSignal] : channels)
        text += (text.back() == '{' ? "\"" : ",\"") + std::to_string(number) + "\":" + channelSignal;
    return text + "}}";
}
// One VXI carrier, "VXI0::1::INSTR" with a 0 and 2.5 V reference module, holding the cards;
// extra: further top-level members, e.g. "\"calibrationMs\": 20".
inline std::string make(const std::vector<std::string> &cards, const std::string &extra = "") {
    std::string text = R"({"carriers":[{"resources":["VXI0::1::INSTR"],"interface":"VXI",)"
                       R"("referenceVoltages":[0.0,2.5],"cards":[)";
    for (const std::string &card : cards)
        text += (text.back() == '[' ? "" : ",") + card;
    return text + "]}]" + (extra.empty() ? "" : "," + extra) + "}";
}
} // namespace world

struct AcqStatus {
    ViInt16 state = -1;
    ViUInt16 errors = 0;
    ViUInt32 backlog = 0;
    ViInt16 overflow = 0;
};

class SimFixture : public ::testing::Test {
protected:
    // Whatever the environment of the run says, each test starts from the built-in world.
    void SetUp() override { ASSERT_EQ(loadWorld(""), 0); }
    void TearDown() override { EXPECT_EQ(loadWorld(""), 0); }

    // Points KQ7150_SIM_CONFIG / KQ7150_SIM_FAULTS at files holding the texts (an empty text
    // leaves the variable unset) and reloads; returns kqsim_reload()'s result.
    int loadWorld(const std::string &worldJson, const std::string &faultsJson = "");
    // Opens a multi-card session into vi_; TearDown closes it.
    void openCards(const std::string &resourceList, std::vector<ViInt16> cardNumbers) {
        closeCards();
        const ViStatus status =
            kq7150_multInit(resourceList.c_str(), cardNumbers.data(), VI_TRUE, VI_TRUE, &vi_);
        ASSERT_EQ(status, VI_SUCCESS) << resourceList << ": " << driverText(status);
    }
    void closeCards() {
        EXPECT_EQ(vi_ == VI_NULL ? VI_SUCCESS : kq7150_multClose(vi_), VI_SUCCESS);
        vi_ = VI_NULL;
    }
    ViSession card(int index) const {
        ViSession fc = VI_NULL;
        EXPECT_EQ(kq7150_getMultFCsession(vi_, static_cast<ViInt16>(index), &fc), VI_SUCCESS);
        return fc;
    }
    AcqStatus check() const {
        AcqStatus s;
        EXPECT_EQ(kq7150_checkMultAcquisition(vi_, &s.state, &s.errors, &s.backlog, &s.overflow), VI_SUCCESS);
        return s;
    }
    ViStatus trigger(int source, double level = 0.0, int edge = 1, ViInt32 preTrigger = 0) {
        return kq7150_setMultTrigConfig(vi_, ViInt16(source), kq7150_MODE_EDGE, ViInt16(edge), level,
                                        preTrigger);
    }
    ViStatus configure(std::vector<ViUInt16> masks, double rate, int acqMode, ViInt32 scansPerTrigger) {
        return kq7150_multConfig(vi_, kq7150_SYNC_MBA, masks.data(), rate, ViInt16(acqMode), scansPerTrigger,
                                 0, 0);
    }
    ViStatus channel(int globalChannel, int gain, int source = kq7150_SRC_FP_DIFF_DC) {
        return kq7150_setMultChanConfig(vi_, ViInt16(globalChannel), ViUInt16(source), gain, VI_FALSE,
                                        VI_FALSE);
    }
    ViStatus itri() const { return kq7150_generateITRI(card(0), kq7150_PULSE); }
    // Trigger source none at kRate and a software pulse: scans flow from the pulse on, into
    // blocks of kBlock scans for the callback when one is given. scansPerTrigger 0 runs until
    // stopped.
    void startPulsed(std::vector<ViUInt16> masks, ViInt32 scansPerTrigger,
                     kq7150_callback_t callback = nullptr, void *user = nullptr) {
        ASSERT_EQ(trigger(kq7150_TRIG_NONE), VI_SUCCESS);
        ASSERT_EQ(configure(masks, kRate, kq7150_ACQ_UNTRIGGERED, scansPerTrigger), VI_SUCCESS);
        ASSERT_EQ(callback ? kq7150_startMultAcquisitionEx(vi_, kBlock, callback, user)
                           : kq7150_startMultAcquisition(vi_),
                  VI_SUCCESS);
        ASSERT_EQ(itri(), VI_SUCCESS);
    }
    // One block of the given scans, acquired to the end and waiting in the card memory.
    void acquireBlock(std::vector<ViUInt16> masks, ViInt32 scans) {
        ASSERT_NO_FATAL_FAILURE(startPulsed(masks, scans));
        ASSERT_TRUE(waitFor([&] { return check().state == kq7150_STATE_END; }));
    }
    // Reads scans of the given number of enabled channels, channel-major, as counts (ViInt32)
    // or volts (ViReal64) into a buffer of exactly the size the read may fill; a failed read
    // fails the test.
    template <class T> std::vector<T> read(ViInt32 scans, int channels = 1) {
        std::vector<T> data(static_cast<size_t>(scans) * channels);
        ViStatus status = 0;
        if constexpr (std::is_same_v<T, ViInt32>)
            status = kq7150_readMultAcquisition32(vi_, scans, data.data());
        else
            status = kq7150_readMultAcquisition(vi_, scans, data.data());
        EXPECT_EQ(status, VI_SUCCESS) << driverText(status);
        return data;
    }

    ViSession vi_ = VI_NULL;
    int sessionsBefore_ = 0;
};

} // namespace kqtest
