#include "StorageSummary.h"

#include <cstdio>

std::string StorageSummary::endText(End end)
{
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

std::string StorageSummary::text() const
{
    // The path is the folder's business; the line has room for the name.
    const size_t slash = fileName.find_last_of('/');
    const std::string name = slash == std::string::npos ? fileName : fileName.substr(slash + 1);
    char seconds[64];
    std::snprintf(seconds, sizeof seconds, "%.3f", rate > 0 ? static_cast<double>(blocks) * scans / rate : 0.0);
    const std::string how = failed() ? "ended by an error: " + endText(end) : "stopped";
    return "Stored \"" + name + "\": " + std::to_string(blocks) + (blocks == 1 ? " block (" : " blocks (") + seconds +
           " s), " + std::to_string(bytes) + (bytes == 1 ? " byte; " : " bytes; ") + how + ".";
}
