#include "kqsim_control.h"

#include "SimWorld.h"

#include <cstdio>

using kqsim::SimWorld;

namespace {
void copyOut(const std::string &text, char *buffer, int size)
{
    if (buffer && size > 0)
        std::snprintf(buffer, static_cast<size_t>(size), "%s", text.c_str());
}
} // namespace

extern "C" {

int kqsim_reload(void)
{
    SimWorld::instance().reload();
    SimWorld::instance().log().clear();
    return SimWorld::instance().loadError().empty() ? 0 : -1;
}

void kqsim_loadError(char *buffer, int size) { copyOut(SimWorld::instance().loadError(), buffer, size); }

int kqsim_callCount(const char *call) { return call ? SimWorld::instance().log().count(call) : 0; }

void kqsim_lastCall(const char *call, char *buffer, int size)
{
    copyOut(call ? SimWorld::instance().log().lastArguments(call) : std::string(), buffer, size);
}

void kqsim_clearCallLog(void) { SimWorld::instance().log().clear(); }

int kqsim_openSessions(void) { return static_cast<int>(SimWorld::instance().openSessions()); }

} // extern "C"
