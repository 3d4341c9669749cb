// The driver the program loads through its test hook: it picks the workflow named by
// KQ7150FP_E2E_WORKFLOW, prepares its world and files, plays it on a thread of its own and
// checks what must hold after the program ended. A failure prints "E2E FAIL", keeps a
// screenshot and ends the program with status 1; success prints "E2E PASS <workflow>" at exit.
#include "Gui.h"

#include "kqsim_control.h"

#include <cstdio>

namespace {

std::map<std::string, Workflow> &registry() {
    static std::map<std::string, Workflow> workflows;
    return workflows;
}

const Workflow *current = nullptr;
std::promise<void> finished;

std::string environment(const char *name) {
    const char *value = std::getenv(name);
    return value ? value : "";
}

[[noreturn]] void fail(const std::string &why) {
    std::fprintf(stderr, "E2E FAIL %s: %s\n", current->name.c_str(), why.c_str());
    try {
        Gui(current->name).shot("failure");
    } catch (const std::exception &) {
    }
    std::fflush(nullptr);
    std::_Exit(1);
}

// Runs a step of the workflow; a failure ends the program.
void step(const char *what, const std::function<void()> &f) {
    try {
        if (f)
            f();
    } catch (const std::exception &e) {
        fail(what + std::string(e.what()));
    }
}

void atProgramExit() {
    // The workflow's last action closed the program; its thread may not have noticed yet.
    if (finished.get_future().wait_for(seconds(30)) != std::future_status::ready)
        fail("the program ended before the workflow was done");
    step("after exit: ", current->afterExit);
    std::fprintf(stderr, "E2E PASS %s\n", current->name.c_str());
    std::fflush(nullptr);
}

void useWorld(const std::string &world) {
    const std::string path = e2eWorkDir("world.json");
    if (!world.empty())
        std::ofstream(path) << world;
    world.empty() ? unsetenv("KQ7150_SIM_CONFIG") : setenv("KQ7150_SIM_CONFIG", path.c_str(), 1);
    if (kqsim_reload() != 0) {
        char error[512] = {};
        kqsim_loadError(error, sizeof error);
        fail(std::string("the world does not load: ") + error);
    }
}

} // namespace

Registration::Registration(Workflow workflow) {
    registry().emplace(workflow.name, std::move(workflow));
}

std::string e2eWorkDir(const std::string &name) {
    return environment("KQ7150FP_E2E_WORKDIR") + (name.empty() ? "" : "/" + name);
}
std::string e2eShotDir() {
    return environment("KQ7150FP_E2E_SHOTS");
}

extern "C" __attribute__((visibility("default"))) void kq7150fp_testDriverStart() {
    const auto found = registry().find(environment("KQ7150FP_E2E_WORKFLOW"));
    if (found == registry().end()) {
        std::fprintf(stderr, "E2E FAIL: no workflow named \"%s\"\n",
                     environment("KQ7150FP_E2E_WORKFLOW").c_str());
        std::_Exit(2);
    }
    current = &found->second;
    useWorld(current->world);
    step("preparing: ", current->prepare);
    std::atexit(atProgramExit);
    std::thread([] {
        Gui gui(current->name);
        step("", [&] { current->run(gui); });
        finished.set_value();
    }).detach();
}
