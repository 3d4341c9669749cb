// What one recording left on disk and why it ended, in the words of the line under the
// waveforms: "Stored "ramp.bin7150": 305 blocks (1.446 s), 2441216 bytes; stopped."
#pragma once

#include <cstdint>
#include <string>

struct StorageSummary {
    // Why storing ended. The first cause of a run counts: the errors after it follow from it.
    enum class End {
        Stopped,
        CardOverflow,
        AcquisitionError,
        DriverCall,
        WriteFailed,
        DiskFull,
        DiskStalled
    };

    std::string fileName;
    uint64_t blocks = 0;
    int scans = 0;      // per block
    double rate = 0.0;  // scans per second
    uint64_t bytes = 0; // the file's length, header included
    End end = End::Stopped;

    std::string text() const;
    bool failed() const { return end != End::Stopped; }
    // "card memory overflow", "the disk is full", …; empty for a stop.
    static std::string endText(End end);
};
