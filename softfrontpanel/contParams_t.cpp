#include "contParams_t.h"

#include "AcquisitionStatus.h"
#include "CsvWriter.h"
#include "DataFileWriter.h"
#include "DriverErrorReporter.h"
#include "StorageFormat.h"

#include <chrono>
#include <cstring>
#include <new>
#include <thread>

namespace {

// Spinning keeps the latency low while blocks flow; sleeping after a while keeps an idle
// writer or a waiting callback from taking a whole core.
void pause(uint64_t round)
{
    if (round < 1000)
        std::this_thread::yield();
    else
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

template <typename T> T *allocateArray(size_t count, bool zeroed)
{
    T *p = new (std::nothrow) T[count];
    if (p && zeroed)
        std::memset(p, 0, count * sizeof(T));
    return p;
}

void countsToFloats(const int32_t *counts, float *out, size_t n, int scans, const double *lsb)
{
    for (size_t i = 0; i < n; ++i)
        out[i] = static_cast<float>(counts[i] * lsb[i / scans]);
}

} // namespace

bool contParams_t::allocate()
{
    release();
    writeIndex.exchange(0);
    readIndex.exchange(0);
    plotRequest.exchange(false);
    plotReady.exchange(false);
    failed.exchange(false);
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
    if (!ok) {
        release();
        setError("Unable to allocate memory.");
    }
    return ok;
}

void contParams_t::release()
{
    while (callbacksInProgress.load() != 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    delete[] static_cast<unsigned char *>(plotBuffer);
    plotBuffer = nullptr;
    for (uint32_t s = 0; s < kSlots; ++s) {
        delete[] seconds[s];
        delete[] nanoseconds[s];
        delete[] static_cast<unsigned char *>(data[s]);
        seconds[s] = nanoseconds[s] = nullptr;
        data[s] = nullptr;
    }
}

void contParams_t::setError(const std::string &text)
{
    std::lock_guard<std::mutex> lock(m_errorLock);
    if (m_error.empty())
        m_error = text;
}

std::string contParams_t::error() const
{
    std::lock_guard<std::mutex> lock(m_errorLock);
    return m_error;
}

void contParams_t::clearError()
{
    std::lock_guard<std::mutex> lock(m_errorLock);
    m_error.clear();
}

// ---- Driver's thread ------------------------------------------------------------------------

void _VI_FUNCH contParams_t::callback(ViSession vi, ViAddr userData)
{
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
    const uint32_t w = p->writeIndex.load();
    const int32_t status = p->readSlot(vi, w);
    acquisitionStatus.blocksRead.fetch_add(1);
    if (status < VI_SUCCESS) {
        const std::string text = DriverErrorReporter::message(status, "kq7150_readMultAcquisitionEx", vi);
        std::printf("%s\n\n", text.c_str());
        p->setError(text);
        p->failed.exchange(true);
        p->running.exchange(false);
        // The slot holds no block: neither the display nor the file may take it.
        return;
    }
    if (p->plotRequest.load() || !p->plotReady.load())
        p->handOverPlot(vi, w);
    const uint32_t next = (w + 1) % kSlots;
    if (p->file && !p->waitForRoom(next))
        return;
    p->writeIndex.exchange(next);
    if (p->single) {
        std::printf("Single - done\n");
        acquisitionStatus.singleDone.exchange(true);
    }
}

int32_t contParams_t::readSlot(ViSession vi, uint32_t slot)
{
    if (format == StorageFormat::kBinary32 || format == StorageFormat::kRawCounts) {
        auto *counts = static_cast<int32_t *>(data[slot]);
        const ViStatus status = kq7150_readMultAcquisition32(vi, scans, counts);
        // Floats of the same width replace the counts in place.
        if (status >= VI_SUCCESS && format == StorageFormat::kBinary32)
            countsToFloats(counts, static_cast<float *>(data[slot]), static_cast<size_t>(scans) * channels, scans,
                           lsb);
        return status;
    }
    auto *volts = static_cast<double *>(data[slot]);
    if (timestamps)
        return kq7150_readMultAcquisitionEx(vi, scans, volts, seconds[slot], nanoseconds[slot]);
    return kq7150_readMultAcquisition(vi, scans, volts);
}

void contParams_t::handOverPlot(ViSession vi, uint32_t slot)
{
    ViInt16 state = 0, overflow = 0;
    ViUInt16 errors = 0;
    ViUInt32 backlog = 0;
    if (kq7150_checkMultAcquisition(vi, &state, &errors, &backlog, &overflow) >= VI_SUCCESS)
        acquisitionStatus.storePoll(state, errors, backlog, overflow);
    const size_t samples = static_cast<size_t>(displayScans) * channels;
    std::lock_guard<std::mutex> lock(plotLock);
    if (format == StorageFormat::kRawCounts)
        countsToFloats(static_cast<const int32_t *>(data[slot]), static_cast<float *>(plotBuffer), samples, scans,
                       lsb);
    else
        std::memcpy(plotBuffer, data[slot], samples * sampleWidth);
    plotRequest.exchange(false);
    plotReady.exchange(true);
    acquisitionStatus.shownBlock.exchange(acquisitionStatus.blocksRead.load() - 1);
}

// Waits while publishing next would make a full ring look empty. False after a timeout.
bool contParams_t::waitForRoom(uint32_t next)
{
    constexpr uint64_t kMaxRounds = 500000;
    for (uint64_t round = 0; running.load() && readIndex.load() == next; ++round) {
        if (round > kMaxRounds) {
            setError("Timeout");
            failed.exchange(true);
            running.exchange(false);
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

void contParams_t::writeAll()
{
    uint64_t idle = 0;
    while (!failed.load()) {
        const uint32_t r = readIndex.load();
        if (r == writeIndex.load()) {
            if (!running.load())
                break;
            pause(idle++);
            continue;
        }
        idle = 0;
        if (!writeSlot(r)) {
            setError("Disk write failed!");
            failed.exchange(true);
            running.exchange(false);
            break;
        }
        acquisitionStatus.bytesWritten.fetch_add(slotBytes());
        readIndex.exchange((r + 1) % kSlots);
        if (failed.load())
            break;
    }
    if (std::fclose(file.exchange(nullptr)) != 0)
        setError("Disk write failed!");
}

bool contParams_t::writeSlot(uint32_t slot)
{
    if (StorageFormat::isCsv(format))
        return CsvWriter::writeBlock(file, static_cast<const double *>(data[slot]), channels, scans,
                                     format == StorageFormat::kCsvMilli, timestamps ? seconds[slot] : nullptr,
                                     timestamps ? nanoseconds[slot] : nullptr);
    return DataFileWriter::writeBlock(file, timestamps ? seconds[slot] : nullptr,
                                      timestamps ? nanoseconds[slot] : nullptr, scans, data[slot],
                                      static_cast<size_t>(sampleWidth) * scans * channels);
}

// What a stored slot adds to the file; for text an estimate of 27 characters per value.
uint64_t contParams_t::slotBytes() const
{
    const uint64_t n = static_cast<uint64_t>(scans);
    if (StorageFormat::isCsv(format))
        return (static_cast<uint64_t>(channels) * 27 + 2) * n;
    return static_cast<uint64_t>(sampleWidth) * channels * n + (timestamps ? 8 * n : 0);
}

// ---- GUI thread -------------------------------------------------------------------------------

bool contParams_t::takePlotBlock(double *out)
{
    std::lock_guard<std::mutex> lock(plotLock);
    if (!plotBuffer || !plotReady.load())
        return false;
    const size_t samples = static_cast<size_t>(displayScans) * channels;
    if (sampleWidth == 4) {
        const auto *floats = static_cast<const float *>(plotBuffer);
        for (size_t i = 0; i < samples; ++i)
            out[i] = floats[i];
    } else {
        std::memcpy(out, plotBuffer, samples * sizeof(double));
    }
    plotRequest.exchange(true);
    return true;
}
