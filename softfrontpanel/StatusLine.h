// The text and colour of the acquisition status line: the state of the cards and, in orange,
// an overrange or acquisition error.
#pragma once

#include <cstdint>
#include <string>

struct StatusLine {
    std::string html;
    uint32_t rgb = 0; // 0xRRGGBB of the text

    static constexpr uint16_t kOutOfRange = 0x0400;
    static constexpr uint16_t kAcquisitionErrors = 0xF900;
    static constexpr uint16_t kFifoOverflow = 0x0800; // one of them: the card memory overflowed
    static constexpr int kStates = 8;

    // Name of a state code; codes outside 0..7 have none (empty).
    static std::string stateName(int state);
    static uint32_t stateColour(int state);

    // While acquiring: the state's name and colour, and the error word's meaning.
    static StatusLine running(int state, uint16_t errors);
    // After a stop: "Idle" in black, with the overrange note when it is latched.
    static StatusLine idle(uint16_t errors);
    // While the cards go on after storing ended: the running line with the reason, in red.
    static StatusLine storingEnded(int state, uint16_t errors, const std::string &why);

    // What an error word with acquisition-error bits means, for the message that ends storing.
    static std::string acquisitionErrorText(uint16_t errors);
};
