#include "StorageSummary.h"

#include <cstdio>

std::string StorageSummary::endText(End end) {
    switch (end) {
    case End::Stopped:
        return std::string();
    case End::CardOverflow:
        return "card memory overflow";
    case End::AcquisitionError:
        return "acquisition error";
    case End::DriverCall:
        return "a driver call failed";
    case End::WriteFailed:
        return "a write failed";
    case End::DiskFull:
        return "the disk is full";
    case End::DiskStalled:
        return "the disk stalled";
    }
    return std::string();
}

namespace {

// A UTF-8 text is cut between characters, never inside one.
size_t characterStart(const std::string &text, size_t at) {
    while (at > 0 && at < text.size() && (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80)
        --at;
    return at;
}

// A long name keeps its start and its end (where names differ, and the suffix), so that the
// figures after it stay on the line.
std::string shortened(const std::string &name) {
    constexpr size_t kKeep = 24;
    if (name.size() <= 2 * kKeep + 3)
        return name;
    const size_t head = characterStart(name, kKeep);
    const size_t tail = characterStart(name, name.size() - kKeep);
    return name.substr(0, head) + "..." + name.substr(tail);
}

} // namespace

std::string StorageSummary::text() const {
    // The path is the folder's business (the line's tooltip has it); the line has room for the
    // name.
    const size_t slash = fileName.find_last_of('/');
    const std::string name = shortened(slash == std::string::npos ? fileName : fileName.substr(slash + 1));
    char seconds[64];
    std::snprintf(seconds, sizeof seconds, "%.3f",
                  rate > 0 ? static_cast<double>(blocks) * scans / rate : 0.0);
    const std::string how = failed() ? "ended by an error: " + endText(end) : "stopped";
    return "Stored \"" + name + "\": " + std::to_string(blocks) + (blocks == 1 ? " block (" : " blocks (") +
           seconds + " s), " + std::to_string(bytes) + (bytes == 1 ? " byte; " : " bytes; ") + how + ".";
}
