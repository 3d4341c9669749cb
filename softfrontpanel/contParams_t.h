// What continuous acquisition shares between three threads: the driver's callback thread
// fills a ring of 16 block slots and hands the newest block to the display, a writer task
// stores the slots to the file, and the GUI takes the display block and starts and stops.
//
// The ring needs no lock: each index has one writer and is published with an atomic exchange
// once its slot is complete. The callback never publishes a slot that would make the ring look
// empty (it waits while the next slot is the writer's), so at most 15 blocks wait unwritten and
// the writer never stores a slot that is being refilled. Only the display block has a lock.
#pragma once

#include "FlacRecordingWriter.h"
#include "StorageSummary.h"
#include "kq7150.h"

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

struct contParams_t {
    static constexpr uint32_t kSlots = 16;
    static constexpr int kMaxChannels = 512;

    std::atomic<uint32_t> writeIndex{0}; // advanced by the callback only
    std::atomic<uint32_t> readIndex{0};  // advanced by the writer only
    // Cleared to end the writer once it has stored what the ring holds: by a stop, and by an
    // error (the blocks handed over before it are good; a failed write ends the writer itself).
    std::atomic<bool> running{false};
    // Set by the first error: no block is stored after it, so the file stays gap-free.
    std::atomic<bool> storingEnded{false};
    // Cleared when the writer task is started, set when it has closed the file.
    std::atomic<bool> writerDone{true};
    // Bytes of the file that hold its header and whole blocks, and those blocks.
    std::atomic<uint64_t> fileBytes{0};
    std::atomic<uint64_t> blocksStored{0};
    int channels = 0;
    int scans = 0;
    int displayScans = 0;
    void *data[kSlots] = {};
    uint32_t *seconds[kSlots] = {};
    uint32_t *nanoseconds[kSlots] = {};
    void *plotBuffer = nullptr;
    std::atomic<bool> plotRequest{false};
    std::atomic<bool> plotReady{false};
    std::mutex plotLock;
    // The writer closes it and clears it while callbacks may still ask whether there is one.
    std::atomic<std::FILE *> file{nullptr};
    std::string fileName;
    // A FLAC recording's streams; file then holds its description.
    std::unique_ptr<FlacRecordingWriter> flac;
    int sampleWidth = 8;
    int format = 0;
    double lsb[kMaxChannels] = {};
    bool single = false;
    bool timestamps = false;
    // Volts with scan times as the cards deliver them, for FLAC, which stores their counts.
    double *timedVolts = nullptr;
    // Callbacks between entry and return; the buffers are freed only when none is running.
    std::atomic<int> callbacksInProgress{0};

    contParams_t() = default;
    contParams_t(const contParams_t &) = delete;
    contParams_t &operator=(const contParams_t &) = delete;
    ~contParams_t() { release(); }

    // Clears the ring and flags; format, channels, scans and sampleWidth must be set.
    // False (with the error text set) when memory runs out; nothing is then kept.
    bool allocate();
    // Frees every buffer once no callback is inside; the file must be closed.
    void release();

    // Handed to the driver with this record as its user data; one call per block.
    static void _VI_FUNCH callback(ViSession vi, ViAddr userData);
    // The writer task: stores the ring's slots until running is cleared, then closes the file.
    void writeAll();
    // For the display: copies the newest block (as doubles) and asks for the next one. Returns
    // that block's number (from 0 since the start), or nothing when the callback has not handed
    // one over yet.
    std::optional<uint32_t> takePlotBlock(double *out);

    // Ends storing for good: the first error is kept and printed once; the writer stores the
    // blocks handed to it before and ends.
    void endStoring(const std::string &text, StorageSummary::End why);
    // A write that failed, named after the cause the system gave (errno).
    void endWriting(int cause);
    // The first error, empty while there was none, and what it was.
    std::string error() const;
    StorageSummary::End endReason() const;
    void clearError();

private:
    // True when it is the first.
    bool keepError(const std::string &text, StorageSummary::End why = StorageSummary::End::Stopped);
    void pollStatus(ViSession vi);
    bool storeBlock(ViSession vi);
    int32_t readSlot(ViSession vi, uint32_t slot);
    int32_t readCounts(ViSession vi, uint32_t slot);
    void handOverPlot(uint32_t slot);
    bool waitForRoom(uint32_t next);
    bool beginFile();
    bool writeSlot(uint32_t slot);
    void commit();
    void cutBack();
    void closeFile();
    uint64_t slotBytes() const;

    // The number of the block in the plot buffer, from 0 since the start. It is only ever read
    // with the block, under the lock: read on its own it may already name the next block.
    uint32_t m_shownBlock = 0;
    uint64_t m_headerBytes = 0;
    mutable std::mutex m_errorLock;
    std::string m_error;
    StorageSummary::End m_end = StorageSummary::End::Stopped;
};
