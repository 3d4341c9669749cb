#include "kqsim_control.h"

#include "Guarded.h"
#include "SimWorld.h"

#include <cstdio>

using kqsim::guarded;
using kqsim::SimWorld;

namespace {
void copyOut(const std::string &text, char *buffer, int size) {
    if (buffer && size > 0)
        std::snprintf(buffer, static_cast<size_t>(size), "%s", text.c_str());
}
} // namespace

extern "C" {

int kqsim_reload(void) {
    return guarded(-1, [] {
        SimWorld::instance().reload();
        SimWorld::instance().log().clear();
        return SimWorld::instance().loadError().empty() ? 0 : -1;
    });
}

void kqsim_loadError(char *buffer, int size) {
    guarded([&] { copyOut(SimWorld::instance().loadError(), buffer, size); });
}

int kqsim_callCount(const char *call) {
    return guarded(-1, [&] { return call ? SimWorld::instance().log().count(call) : 0; });
}

void kqsim_lastCall(const char *call, char *buffer, int size) {
    guarded([&] {
        copyOut(call ? SimWorld::instance().log().lastArguments(call) : std::string(), buffer, size);
    });
}

void kqsim_clearCallLog(void) {
    guarded([] { SimWorld::instance().log().clear(); });
}

int kqsim_openSessions(void) {
    return guarded(-1, [] { return static_cast<int>(SimWorld::instance().openSessions()); });
}

} // extern "C"
