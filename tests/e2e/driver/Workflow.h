// One workflow of the end-to-end suite: what it prepares before the program looks at its world
// and files, what a person then does with the window, and what must hold once the program ended.
#pragma once

#include "Describe.h"

#include <functional>
#include <stdexcept>
#include <string>

class Gui;

struct Workflow {
    std::string name;
    // The world the simulated cards are read from (JSON); empty: the built-in world.
    std::string world;
    // Runs on the program's thread before it reads its command line (files named there).
    std::function<void()> prepare;
    // Runs on the driver's own thread while the program runs; ends with the program closing.
    std::function<void(Gui &)> run;
    // Runs when the program ends normally (its windows are gone, files closed).
    std::function<void()> afterExit;
};

// Registers a workflow under its name at load time: static Registration r{{...}};
struct Registration {
    explicit Registration(Workflow workflow);
};

struct E2eFailure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// The condition as written, then what the workflow adds (the values seen, mostly).
#define E2E_CHECK(condition, ...)                                                                            \
    do {                                                                                                     \
        if (!(condition))                                                                                    \
            throw E2eFailure(describe(__FILE__, ":", __LINE__, ": ", #condition, ": ", ##__VA_ARGS__));      \
    } while (0)
// What was seen against what was expected, both in the failure.
#define E2E_EQ(seen, expected)                                                                               \
    do {                                                                                                     \
        const auto seen_ = (seen);                                                                           \
        const auto expected_ = (expected);                                                                   \
        E2E_CHECK(seen_ == expected_, #seen, " is '", seen_, "', not '", expected_, "'");                    \
    } while (0)

// Where the workflow keeps its files (a fresh folder per run) and its screenshots.
std::string e2eWorkDir(const std::string &name = ""); // the folder, or that file in it
std::string e2eShotDir();
