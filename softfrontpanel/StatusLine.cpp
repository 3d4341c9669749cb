#include "StatusLine.h"

#include <cstdio>

namespace {

struct StateLook {
    const char *name;
    uint32_t rgb;
};

const StateLook kLooks[StatusLine::kStates] = {
    {"Idle", 0x000000},     {"DDS Upd", 0x800080},   {"Sync", 0xFF00FF},  {"Ready", 0x808000},
    {"Pre-Trig", 0xFF9632}, {"Post-Trig", 0x008000}, {"HwArm", 0x00FF00}, {"End", 0x0000FF},
};

const char kOutOfRangeNote[] = " &nbsp; <font color='#f80'>Input Signal Out Of Range</font>";

std::string hexWord(uint16_t word) {
    char code[8];
    std::snprintf(code, sizeof code, "0x%04hX", word);
    return code;
}

// Driver texts and file names may hold characters the label would take for markup.
std::string escaped(const std::string &text) {
    std::string out;
    for (char c : text) {
        if (c == '<')
            out += "&lt;";
        else if (c == '>')
            out += "&gt;";
        else if (c == '&')
            out += "&amp;";
        else
            out += c;
    }
    return out;
}

} // namespace

std::string StatusLine::stateName(int state) {
    return state >= 0 && state < kStates ? kLooks[state].name : "";
}

uint32_t StatusLine::stateColour(int state) {
    return state >= 0 && state < kStates ? kLooks[state].rgb : 0x000000;
}

StatusLine StatusLine::running(int state, uint16_t errors) {
    StatusLine line{stateName(state), stateColour(state)};
    if (errors & kAcquisitionErrors) {
        line.html += " &nbsp; <font color='#f80'>Acquisition error: " + hexWord(errors) + "</font>";
    } else if (errors & kOutOfRange) {
        line.html += kOutOfRangeNote;
    }
    return line;
}

StatusLine StatusLine::idle(uint16_t errors) {
    StatusLine line{"Idle", 0x000000};
    if (errors & kOutOfRange)
        line.html += kOutOfRangeNote;
    return line;
}

StatusLine StatusLine::storingEnded(int state, uint16_t errors, const std::string &why) {
    StatusLine line = running(state, errors);
    line.html += " &nbsp; <font color='#f80'>Storing ended: " + escaped(why) + "</font>";
    line.rgb = 0xFF0000;
    return line;
}

std::string StatusLine::acquisitionErrorText(uint16_t errors) {
    std::string text = "Acquisition error " + hexWord(errors);
    if (errors & StatusLine::kFifoOverflow)
        return text + ": the card memory overflowed, the data could not be read fast enough.";
    return text + ".";
}
