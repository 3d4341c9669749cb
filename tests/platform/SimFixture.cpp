#include "SimFixture.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <unistd.h>

namespace kqtest {

std::string driverText(ViStatus status) {
    ViChar text[kq7150_ERROR_MSG_BUFLEN] = "";
    return kq7150_error_message(VI_NULL, status, text) == VI_SUCCESS ? text : "";
}

std::string world::dc(double volts, double noiseRms) {
    char text[160];
    std::snprintf(text, sizeof text, R"({"type":"sine","amplitude":0,"offset":%.17g,"noiseRms":%.17g})",
                  volts, noiseRms);
    return text;
}

std::string world::card(int slot, const std::string &signal, const std::map<int, std::string> &channels,
                        const char *variant) {
    std::string text = R"({"slot":)" + std::to_string(slot) + R"(,"variant":")" + variant + R"(","signal":)" +
                       signal + R"(,"channels":{)";
    for (const auto &[number, channelSignal] : channels)
        text += (text.back() == '{' ? "\"" : ",\"") + std::to_string(number) + "\":" + channelSignal;
    return text + "}}";
}

std::string world::make(const std::vector<std::string> &cards, const std::string &extra) {
    std::string text = R"({"carriers":[{"resources":["VXI0::1::INSTR"],"interface":"VXI",)"
                       R"("referenceVoltages":[0.0,2.5],"cards":[)";
    for (const std::string &card : cards)
        text += (text.back() == '[' ? "" : ",") + card;
    return text + "]}]" + (extra.empty() ? "" : "," + extra) + "}";
}

int SimFixture::loadWorld(const std::string &worldJson, const std::string &faultsJson) {
    static std::atomic<int> counter{0};
    closeCards();
    std::vector<std::string> files;
    for (const auto &[variable, text] :
         {std::pair{"KQ7150_SIM_CONFIG", &worldJson}, {"KQ7150_SIM_FAULTS", &faultsJson}}) {
        if (text->empty()) {
            unsetenv(variable);
            continue;
        }
        files.push_back(::testing::TempDir() + "kqsim_" + std::to_string(getpid()) + "_" +
                        std::to_string(counter++) + ".json");
        std::ofstream(files.back()) << *text;
        setenv(variable, files.back().c_str(), 1);
    }
    const int result = kqsim_reload();
    sessionsBefore_ = kqsim_openSessions();
    // The simulation has read them; removing them now leaves nothing behind even when a
    // test's process ends without tearing down.
    for (const std::string &path : files)
        std::remove(path.c_str());
    return result;
}

void SimFixture::openCards(const std::string &resourceList, std::vector<ViInt16> cardNumbers) {
    closeCards();
    const ViStatus status = kq7150_multInit(resourceList.c_str(), cardNumbers.data(), VI_TRUE, VI_TRUE, &vi_);
    ASSERT_EQ(status, VI_SUCCESS) << resourceList << ": " << driverText(status);
}

void SimFixture::closeCards() {
    EXPECT_EQ(vi_ == VI_NULL ? VI_SUCCESS : kq7150_multClose(vi_), VI_SUCCESS);
    vi_ = VI_NULL;
}

ViSession SimFixture::card(int index) const {
    ViSession fc = VI_NULL;
    EXPECT_EQ(kq7150_getMultFCsession(vi_, static_cast<ViInt16>(index), &fc), VI_SUCCESS);
    return fc;
}

AcqStatus SimFixture::check() const {
    AcqStatus s;
    EXPECT_EQ(kq7150_checkMultAcquisition(vi_, &s.state, &s.errors, &s.backlog, &s.overflow), VI_SUCCESS);
    return s;
}

void SimFixture::startPulsed(std::vector<ViUInt16> masks, ViInt32 scansPerTrigger, kq7150_callback_t callback,
                             void *user) {
    ASSERT_EQ(trigger(kq7150_TRIG_NONE), VI_SUCCESS);
    ASSERT_EQ(configure(masks, kRate, kq7150_ACQ_UNTRIGGERED, scansPerTrigger), VI_SUCCESS);
    ASSERT_EQ(callback ? kq7150_startMultAcquisitionEx(vi_, kBlock, callback, user)
                       : kq7150_startMultAcquisition(vi_),
              VI_SUCCESS);
    ASSERT_EQ(itri(), VI_SUCCESS);
}

} // namespace kqtest
