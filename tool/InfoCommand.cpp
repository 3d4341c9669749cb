#include "InfoCommand.h"

#include "StoredFile.h"
#include "ToolArguments.h"

#include <charconv>
#include <cstdio>
#include <string>

namespace {

// As the header writes its decimals: 6 of them, a point whatever the locale.
std::string fixed6(double value) {
    char text[400];
    return std::string(text, std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 6).ptr);
}

std::string channelList(uint8_t mask) {
    std::string list;
    for (int k = 0; k < 8; ++k)
        if (mask >> k & 1)
            list += (list.empty() ? "CH" : ", CH") + std::to_string(k + 1);
    return list.empty() ? "none" : list;
}

void row(const char *name, const std::string &value) {
    std::printf("%-18s %s\n", name, value.c_str());
}

} // namespace

int InfoCommand::run(const StoredFile &file) {
    const fileInfo_t &info = file.info();
    const bool doubles = info.format == fileFormatViReal64;
    const uint64_t n = uint64_t(info.scansPerBlock);
    row("File:", info.path);
    row("Format:", doubles ? "ViReal64 (8-byte doubles, volts)" : "ViReal32 (4-byte floats, volts)");
    row("Sampling rate:", fixed6(info.rate) + " Hz");
    row("Function cards:", std::to_string(info.cards));
    for (int c = 0; c < info.cards; ++c) {
        char mask[8];
        std::snprintf(mask, sizeof mask, "0x%02x", info.channelMasks[c]);
        row(("  FC" + std::to_string(c + 1) + ":").c_str(),
            channelList(info.channelMasks[c]) + " (" + mask + ")");
    }
    row("Channels:", std::to_string(info.channels));
    row("Scans per block:", std::to_string(n) + " (" + fixed6(double(n) / info.rate) + " s)");
    row("Time offset:", fixed6(info.timeOffset) + " s");
    row("Timestamps:",
        info.timestamps ? "yes (every block starts with its scans' seconds and nanoseconds)" : "no");
    row("Header:", std::to_string(info.payloadOffset) + " bytes");
    row("Block length:", std::to_string(info.blockLength) + " bytes");
    row("Blocks:", std::to_string(info.blockCount));
    const uint64_t partial = file.partialBytes();
    row("Payload:", std::to_string(info.payloadLength) + " bytes, " +
                        (partial == 0 ? std::string("whole")
                                      : "not whole: " + std::to_string(partial) +
                                            " bytes of a last, partial block, which is not read"));
    std::fflush(stdout);
    if (std::ferror(stdout))
        return toolFailure(toolExitUnreadable, "cannot write the text");
    return toolExitOk;
}
