#include "StatusLine.h"

#include <cstdio>

namespace {

struct StateLook {
    const char *name;
    uint32_t rgb;
};

const StateLook kLooks[StatusLine::kStates] = {
    {"Idle", 0x000000},      {"DDS Upd", 0x800080},  {"Sync", 0xFF00FF},      {"Ready", 0x808000},
    {"Pre-Trig", 0xFF9632}, {"Post-Trig", 0x008000}, {"HwArm", 0x00FF00}, {"End", 0x0000FF},
};

const char kOutOfRangeNote[] = " &nbsp; <font color='#f80'>Input Signal Out Of Range</font>";

} // namespace

std::string StatusLine::stateName(int state)
{
    return state >= 0 && state < kStates ? kLooks[state].name : "";
}

uint32_t StatusLine::stateColour(int state)
{
    return state >= 0 && state < kStates ? kLooks[state].rgb : 0x000000;
}

StatusLine StatusLine::running(int state, uint16_t errors)
{
    StatusLine line{stateName(state), stateColour(state)};
    if (errors & kAcquisitionErrors) {
        char code[8];
        std::snprintf(code, sizeof code, "0x%04hX", errors);
        line.html += std::string(" &nbsp; <font color='#f80'>Acquisition error: ") + code + "</font>";
    } else if (errors & kOutOfRange) {
        line.html += kOutOfRangeNote;
    }
    return line;
}

StatusLine StatusLine::idle(uint16_t errors)
{
    StatusLine line{"Idle", 0x000000};
    if (errors & kOutOfRange)
        line.html += kOutOfRangeNote;
    return line;
}
