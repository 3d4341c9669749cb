// What the benchmarks that run the simulated cards share: a world for the simulation (the
// built-in one, or one written as JSON), a signal of the simulation's model as a world file
// writes it, and the driver's text for a status.
#pragma once

#include "SimConfig.h"

#include "kq7150.h"
#include "kqsim_control.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

inline std::string driverText(ViStatus status) {
    ViChar text[kq7150_ERROR_MSG_BUFLEN] = "";
    kq7150_error_message(VI_NULL, status, text);
    return text;
}

// Reads the world the environment names; prints why it was refused.
inline bool reloadWorld() {
    const int result = kqsim_reload();
    if (result != 0) {
        char error[512] = "";
        kqsim_loadError(error, sizeof error);
        std::printf("the world was refused: %s\n", error);
    }
    return result == 0;
}

// The world a user without hardware meets (platform/sim/src/DefaultWorld.cpp), without faults.
inline bool loadDefaultWorld() {
    unsetenv("KQ7150_SIM_CONFIG");
    unsetenv("KQ7150_SIM_FAULTS");
    return reloadWorld();
}

inline bool loadWorld(const std::string &json) {
    namespace fs = std::filesystem;
    const fs::path path = fs::temp_directory_path() / ("kqsim_bench_" + std::to_string(getpid()) + ".json");
    std::ofstream(path) << json;
    setenv("KQ7150_SIM_CONFIG", path.c_str(), 1);
    unsetenv("KQ7150_SIM_FAULTS");
    const bool loaded = reloadWorld();
    // The simulation has read it; nothing of the world stays behind.
    fs::remove(path);
    return loaded;
}

// A signal as the "signal" or a channel's entry of a world file, every key written.
inline std::string signalJson(const kqsim::SignalConfig &s) {
    auto number = [](double value) {
        char text[32];
        std::snprintf(text, sizeof text, "%.17g", value);
        return std::string(text);
    };
    std::string harmonics;
    for (double dbc : s.harmonics)
        harmonics += (harmonics.empty() ? "" : ",") + number(dbc);
    return std::string(R"({"type":")") + (s.type == kqsim::SignalConfig::Type::Ramp ? "ramp" : "sine") +
           R"(","offset":)" + number(s.offset) + R"(,"frequency":)" + number(s.frequency) +
           R"(,"amplitude":)" + number(s.amplitude) + R"(,"phase":)" + number(s.phase) + R"(,"harmonics":[)" +
           harmonics + R"(],"noiseRms":)" + number(s.noiseRms) + "}";
}
