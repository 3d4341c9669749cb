// Lets a test meet a simulated world of its own: writes the description to a file, points
// the simulation at it and reloads; the built-in world returns when the object goes.
#pragma once

#include "kqsim_control.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>

class SimWorldFiles {
public:
    ~SimWorldFiles() {
        unsetenv("KQ7150_SIM_CONFIG");
        unsetenv("KQ7150_SIM_FAULTS");
        kqsim_reload();
    }
    // variable: KQ7150_SIM_CONFIG for a world, KQ7150_SIM_FAULTS for faults.
    void use(const std::string &json, const char *variable = "KQ7150_SIM_CONFIG") {
        const std::string path = m_dir.filePath(variable).toStdString() + ".json";
        std::ofstream(path) << json;
        setenv(variable, path.c_str(), 1);
        ASSERT_EQ(kqsim_reload(), 0);
    }

private:
    QTemporaryDir m_dir;
};

// The arguments of the last call of that name since the last reload or clear, "" when none.
inline std::string lastSimCall(const char *call) {
    char text[256] = "";
    kqsim_lastCall(call, text, sizeof text);
    return text;
}
