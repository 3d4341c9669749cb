#include "SimFixture.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <unistd.h>

namespace kqtest {

std::string driverText(ViStatus status) {
    ViChar text[kq7150_ERROR_MSG_BUFLEN] = "";
    return kq7150_error_message(VI_NULL, status, text) == VI_SUCCESS ? text : "";
}

// Fixed six decimals hold every level and noise the tests give.
std::string world::dc(double volts, double noiseRms) {
    return R"({"type":"sine","amplitude":0,"offset":)" + std::to_string(volts) + R"(,"noiseRms":)" +
           std::to_string(noiseRms) + "}";
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
    closeCards();
    const auto point = [](const char *variable, const std::string &text) {
        const std::string path = ::testing::TempDir() + variable + std::to_string(getpid()) + ".json";
        std::ofstream(path) << text;
        text.empty() ? unsetenv(variable) : setenv(variable, path.c_str(), 1);
        return path;
    };
    const std::string paths[] = {point("KQ7150_SIM_CONFIG", worldJson),
                                 point("KQ7150_SIM_FAULTS", faultsJson)};
    const int result = kqsim_reload();
    sessionsBefore_ = kqsim_openSessions();
    // The simulation has read them; removing them now leaves nothing behind even when a
    // test's process ends without tearing down.
    for (const std::string &path : paths)
        std::remove(path.c_str());
    return result;
}

} // namespace kqtest
