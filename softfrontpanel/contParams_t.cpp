#include "contParams_t.h"

#include "AcquisitionStatus.h"
#include "CsvWriter.h"
#include "DataFileWriter.h"
#include "DriverErrorReporter.h"
#include "StatusLine.h"
#include "StorageFormat.h"

#include <stdio_ext.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <new>
#include <thread>

namespace {

// Spinning keeps the latency low while blocks flow; sleeping after a while keeps an idle
// writer or a waiting callback from taking a whole core.
void pause(uint64_t round) {
    if (round < 1000)
        std::this_thread::yield();
    else
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

template <typename T> T *allocateArray(size_t count, bool zeroed) {
    T *p = new (std::nothrow) T[count];
    if (p && zeroed)
        std::memset(p, 0, count * sizeof(T));
    return p;
}

void countsToFloats(const int32_t *counts, float *out, size_t n, int scans, const double *lsb) {
    for (size_t i = 0; i < n; ++i)
        out[i] = static_cast<float>(counts[i] * lsb[i / scans]);
}

} // namespace

bool contParams_t::allocate() {
    release();
    writeIndex.exchange(0);
    readIndex.exchange(0);
    plotRequest.exchange(false);
    plotReady.exchange(false);
    storingEnded.exchange(false);
    fileBytes.exchange(0);
    blocksStored.exchange(0);
    clearError();
    const size_t samples = static_cast<size_t>(scans) * static_cast<size_t>(channels);
    plotBuffer = allocateArray<unsigned char>(samples * sampleWidth, true);
    bool ok = plotBuffer != nullptr;
    for (uint32_t s = 0; ok && s < kSlots; ++s) {
        seconds[s] = allocateArray<uint32_t>(static_cast<size_t>(scans), false);
        nanoseconds[s] = allocateArray<uint32_t>(static_cast<size_t>(scans), false);
        data[s] = allocateArray<unsigned char>(samples * sampleWidth, false);
        ok = seconds[s] && nanoseconds[s] && data[s];
    }
    if (ok && format == StorageFormat::kFlacCounts && timestamps) {
        timedVolts = allocateArray<double>(samples, false);
        ok = timedVolts != nullptr;
    }
    if (!ok) {
        release();
        keepError("Unable to allocate memory.");
        storingEnded.exchange(true);
    }
    return ok;
}

void contParams_t::release() {
    while (callbacksInProgress.load() != 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    delete[] static_cast<unsigned char *>(plotBuffer);
    plotBuffer = nullptr;
    delete[] timedVolts;
    timedVolts = nullptr;
    for (uint32_t s = 0; s < kSlots; ++s) {
        delete[] seconds[s];
        delete[] nanoseconds[s];
        delete[] static_cast<unsigned char *>(data[s]);
        seconds[s] = nanoseconds[s] = nullptr;
        data[s] = nullptr;
    }
}

bool contParams_t::keepError(const std::string &text, StorageSummary::End why) {
    std::lock_guard<std::mutex> lock(m_errorLock);
    if (!m_error.empty())
        return false;
    m_error = text;
    m_end = why;
    return true;
}

void contParams_t::endStoring(const std::string &text, StorageSummary::End why) {
    // A lasting fault would otherwise print its line for every block.
    if (keepError(text, why)) {
        std::printf("%s\n\n", text.c_str());
        std::fflush(stdout);
    }
    storingEnded.exchange(true);
    running.exchange(false);
}

std::string contParams_t::error() const {
    std::lock_guard<std::mutex> lock(m_errorLock);
    return m_error;
}

StorageSummary::End contParams_t::endReason() const {
    std::lock_guard<std::mutex> lock(m_errorLock);
    return m_end;
}

void contParams_t::endWriting(int cause) {
    endStoring("Disk write failed!", cause == ENOSPC || cause == EDQUOT ? StorageSummary::End::DiskFull
                                                                        : StorageSummary::End::WriteFailed);
}

void contParams_t::clearError() {
    std::lock_guard<std::mutex> lock(m_errorLock);
    m_error.clear();
    m_end = StorageSummary::End::Stopped;
}

// ---- Driver's thread ------------------------------------------------------------------------

void _VI_FUNCH contParams_t::callback(ViSession vi, ViAddr userData) {
    auto *p = static_cast<contParams_t *>(userData);
    p->callbacksInProgress.fetch_add(1);
    struct Leave {
        contParams_t *p;
        ~Leave() { p->callbacksInProgress.fetch_sub(1); }
    } leave{p};

    if (!acquisitionStatus.callbacksEnabled.load()) {
        acquisitionStatus.callbackStopped.exchange(true);
        return;
    }
    const bool stored = p->storeBlock(vi);
    if (p->single) {
        if (stored)
            std::printf("Single - done\n");
        // A single shot is over with its block, stored or not.
        acquisitionStatus.singleDone.exchange(true);
    }
}

// The status is looked at before every block: once the cards report an acquisition error (a
// card memory that overflowed has lost scans), the blocks read from then on may lie after the
// loss. The blocks read before are whole: the card drops new scans, not the oldest.
void contParams_t::pollStatus(ViSession vi) {
    ViInt16 state = 0, overflow = 0;
    ViUInt16 errors = 0;
    ViUInt32 backlog = 0;
    const ViStatus status = kq7150_checkMultAcquisition(vi, &state, &errors, &backlog, &overflow);
    if (status < VI_SUCCESS) {
        // Without the error word a loss of scans would go unseen.
        endStoring(DriverErrorReporter::message(status, "kq7150_checkMultAcquisition", vi),
                   StorageSummary::End::DriverCall);
        return;
    }
    acquisitionStatus.storePoll(state, errors, backlog, overflow);
    if (errors & StatusLine::kAcquisitionErrors)
        endStoring(StatusLine::acquisitionErrorText(errors), errors & StatusLine::kFifoOverflow
                                                                 ? StorageSummary::End::CardOverflow
                                                                 : StorageSummary::End::AcquisitionError);
}

// Reads the block into the ring, hands it to the display when asked, and to the writer while
// storing goes on. True when it was handed to the writer.
bool contParams_t::storeBlock(ViSession vi) {
    pollStatus(vi);
    const uint32_t w = writeIndex.load();
    const int32_t status = readSlot(vi, w);
    acquisitionStatus.blocksRead.fetch_add(1);
    if (status < VI_SUCCESS) {
        endStoring(DriverErrorReporter::message(status, "kq7150_readMultAcquisitionEx", vi),
                   StorageSummary::End::DriverCall);
        // The slot holds no block: neither the display nor the file may take it.
        return false;
    }
    if (plotRequest.load() || !plotReady.load())
        handOverPlot(w);
    if (storingEnded.load())
        return false;
    const uint32_t next = (w + 1) % kSlots;
    if (file && !waitForRoom(next))
        return false;
    writeIndex.exchange(next);
    return true;
}

int32_t contParams_t::readSlot(ViSession vi, uint32_t slot) {
    if (format == StorageFormat::kFlacCounts)
        return readCounts(vi, slot);
    if (format == StorageFormat::kBinary32 || format == StorageFormat::kRawCounts) {
        auto *counts = static_cast<int32_t *>(data[slot]);
        const ViStatus status = kq7150_readMultAcquisition32(vi, scans, counts);
        // Floats of the same width replace the counts in place.
        if (status >= VI_SUCCESS && format == StorageFormat::kBinary32)
            countsToFloats(counts, static_cast<float *>(data[slot]), static_cast<size_t>(scans) * channels,
                           scans, lsb);
        return status;
    }
    auto *volts = static_cast<double *>(data[slot]);
    if (timestamps)
        return kq7150_readMultAcquisitionEx(vi, scans, volts, seconds[slot], nanoseconds[slot]);
    return kq7150_readMultAcquisition(vi, scans, volts);
}

// Counts for FLAC. The cards give scan times only with volts; those are counts times the
// channel's volts per count, so the counts come back exactly, or storing ends.
int32_t contParams_t::readCounts(ViSession vi, uint32_t slot) {
    auto *counts = static_cast<int32_t *>(data[slot]);
    const size_t samples = static_cast<size_t>(scans) * channels;
    ViStatus status;
    bool fit;
    if (timestamps) {
        status = kq7150_readMultAcquisitionEx(vi, scans, timedVolts, seconds[slot], nanoseconds[slot]);
        fit = status < VI_SUCCESS ||
              FlacRecordingWriter::countsOfVolts(timedVolts, counts, channels, scans, lsb);
    } else {
        status = kq7150_readMultAcquisition32(vi, scans, counts);
        fit = status < VI_SUCCESS || FlacRecordingWriter::fits(counts, samples);
    }
    if (!fit)
        endStoring("A sample is not a 24-bit count: FLAC cannot store it without loss.",
                   StorageSummary::End::AcquisitionError);
    return status;
}

void contParams_t::handOverPlot(uint32_t slot) {
    const size_t samples = static_cast<size_t>(displayScans) * channels;
    std::lock_guard<std::mutex> lock(plotLock);
    if (StorageFormat::holdsCounts(format))
        countsToFloats(static_cast<const int32_t *>(data[slot]), static_cast<float *>(plotBuffer), samples,
                       scans, lsb);
    else
        std::memcpy(plotBuffer, data[slot], samples * sampleWidth);
    plotRequest.exchange(false);
    plotReady.exchange(true);
    m_shownBlock = acquisitionStatus.blocksRead.load() - 1;
}

// Waits while publishing next would make a full ring look empty. False after a timeout, and
// when a stop finds no room within a second: a disk that is only slow takes the block, but one
// that stalled must not hold the stop (the ring's blocks still reach the file if it recovers).
bool contParams_t::waitForRoom(uint32_t next) {
    constexpr uint64_t kMaxRounds = 500000;
    constexpr auto kStopWait = std::chrono::seconds(1);
    std::optional<std::chrono::steady_clock::time_point> stopping;
    for (uint64_t round = 0; running.load() && readIndex.load() == next; ++round) {
        if (!stopping && !acquisitionStatus.callbacksEnabled.load())
            stopping = std::chrono::steady_clock::now();
        if (stopping && std::chrono::steady_clock::now() - *stopping > kStopWait) {
            acquisitionStatus.callbackStopped.exchange(true);
            return false;
        }
        if (round > kMaxRounds) {
            endStoring("Timeout", StorageSummary::End::DiskStalled);
            return false;
        }
        if (round % 1000 == 999)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        else
            std::this_thread::yield();
    }
    return true;
}

// ---- Writer task ----------------------------------------------------------------------------

void contParams_t::writeAll() {
    uint64_t idle = 0;
    errno = 0;
    bool ok = beginFile();
    while (ok) {
        const uint32_t r = readIndex.load();
        if (r == writeIndex.load()) {
            if (!running.load())
                break;
            pause(idle++);
            continue;
        }
        idle = 0;
        errno = 0;
        ok = writeSlot(r);
        if (!ok)
            break;
        commit();
        readIndex.exchange((r + 1) % kSlots);
    }
    if (!ok) {
        const int cause = errno;
        cutBack();
        endWriting(cause);
    }
    closeFile();
    writerDone.exchange(true);
}

// The header written before must be with the system before the first block: a failure can
// then cut the file back to what is whole.
bool contParams_t::beginFile() {
    if (std::fflush(file) != 0)
        return false;
    const off_t at = ftello(file);
    m_headerBytes = at > 0 ? static_cast<uint64_t>(at) : 0;
    fileBytes.exchange(m_headerBytes + (flac ? flac->bytes() : 0));
    acquisitionStatus.bytesWritten.exchange(fileBytes.load());
    return true;
}

bool contParams_t::writeSlot(uint32_t slot) {
    if (flac)
        return flac->write(static_cast<const int32_t *>(data[slot]), seconds[slot], nanoseconds[slot]) &&
               flac->flush();
    if (StorageFormat::isCsv(format))
        return CsvWriter::writeBlock(file, static_cast<const double *>(data[slot]), channels, scans,
                                     format == StorageFormat::kCsvMilli, timestamps ? seconds[slot] : nullptr,
                                     timestamps ? nanoseconds[slot] : nullptr);
    return DataFileWriter::writeBlock(file, timestamps ? seconds[slot] : nullptr,
                                      timestamps ? nanoseconds[slot] : nullptr, scans, data[slot],
                                      static_cast<size_t>(sampleWidth) * scans * channels);
}

// A block written and flushed is whole in the file. Where the file has no position (a pipe),
// the block's size is counted instead.
void contParams_t::commit() {
    if (flac) {
        // A block counts once the frames that hold all of it are with the system.
        fileBytes.exchange(m_headerBytes + flac->bytes());
        blocksStored.exchange(flac->wholeBlocks());
        acquisitionStatus.bytesWritten.exchange(fileBytes.load());
        return;
    }
    const off_t at = ftello(file);
    fileBytes.exchange(at >= 0 ? static_cast<uint64_t>(at) : fileBytes.load() + slotBytes());
    blocksStored.fetch_add(1);
    acquisitionStatus.bytesWritten.exchange(fileBytes.load());
}

// After a failed write the file ends with the last whole block: what the stream still holds
// is dropped, so that closing it cannot append a torn piece behind the cut.
void contParams_t::cutBack() {
    if (flac) {
        flac->cutBack();
        return;
    }
    __fpurge(file);
    if (ftruncate(fileno(file), static_cast<off_t>(fileBytes.load())) != 0 && errno != EINVAL)
        std::printf("Cannot shorten \"%s\" to its whole blocks: %s\n", fileName.c_str(),
                    std::strerror(errno));
}

void contParams_t::closeFile() {
    std::FILE *f = file.load();
    errno = 0;
    if (flac) {
        // A recording cut back after a failed write has nothing left to finish, and its first
        // error stays the one reported.
        if (!flac->finish())
            endWriting(errno);
        commit();
    }
    if (std::fflush(f) != 0) {
        const int cause = errno;
        cutBack();
        endWriting(cause);
    }
    file.exchange(nullptr);
    errno = 0;
    if (std::fclose(f) != 0)
        endWriting(errno);
    // Only now: the description, whole since the first block, must not be cut to the size of
    // the whole recording.
    flac.reset();
}

// What a stored slot adds to the file; for text an estimate of 27 characters per value.
uint64_t contParams_t::slotBytes() const {
    const uint64_t n = static_cast<uint64_t>(scans);
    if (StorageFormat::isCsv(format))
        return (static_cast<uint64_t>(channels) * 27 + 2) * n;
    return static_cast<uint64_t>(sampleWidth) * channels * n + (timestamps ? 8 * n : 0);
}

// ---- GUI thread -------------------------------------------------------------------------------

std::optional<uint32_t> contParams_t::takePlotBlock(double *out) {
    std::lock_guard<std::mutex> lock(plotLock);
    if (!plotBuffer || !plotReady.load())
        return std::nullopt;
    const size_t samples = static_cast<size_t>(displayScans) * channels;
    if (sampleWidth == 4) {
        const auto *floats = static_cast<const float *>(plotBuffer);
        for (size_t i = 0; i < samples; ++i)
            out[i] = floats[i];
    } else {
        std::memcpy(out, plotBuffer, samples * sizeof(double));
    }
    plotRequest.exchange(true);
    return m_shownBlock;
}
