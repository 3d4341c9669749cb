#include "SimFixture.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <unistd.h>

namespace kqtest {

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
