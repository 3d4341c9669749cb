#include "ContinuousStorage.h"

#include "DataFileWriter.h"
#include "StorageFormat.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>

ContinuousStorage::Result ContinuousStorage::prepare(const Plan &plan) {
    contParams_t &p = m_params;
    p.file = nullptr;
    p.format = plan.format;
    p.sampleWidth = StorageFormat::sampleWidth(plan.format);
    p.channels = 0;
    m_gains.clear();
    for (size_t c = 0; c < plan.masks.size(); ++c)
        for (int k = 0; k < 8; ++k)
            if ((plan.masks[c] >> k) & 1) {
                p.lsb[p.channels++] = StorageFormat::lsb(plan.gainIndex[c * 8 + k]);
                m_gains.push_back(StorageFormat::gain(plan.gainIndex[c * 8 + k]));
            }
    p.scans = p.displayScans = plan.scans;
    m_blockSeconds = plan.rate > 0 ? plan.scans / plan.rate : 0.0;
    m_rate = plan.rate;
    // The buffers depend on it: FLAC with scan times reads volts beside its counts.
    p.timestamps = plan.timestamps;
    if (!p.allocate()) {
        std::printf("Unable to allocate memory.\n");
        return Result::NoMemory;
    }
    p.single = plan.single;
    p.fileName = plan.fileName;
    if (!plan.fileName.empty() && !openFile(plan)) {
        p.release();
        return Result::CannotOpen;
    }
    p.running.exchange(true);
    return Result::Ready;
}

bool ContinuousStorage::openFile(const Plan &plan) {
    contParams_t &p = m_params;
    const bool text = StorageFormat::isCsv(plan.format);
    // A pipe nobody reads would block the opening, and the window with it, for good: without a
    // reader it is refused like any file that cannot be opened. Writes block as usual.
    const int fd =
        ::open(plan.systemPath().c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NONBLOCK | O_CLOEXEC, 0666);
    if (fd < 0)
        return false;
    std::FILE *file =
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK) == 0 ? fdopen(fd, text ? "w" : "wb") : nullptr;
    if (!file) {
        ::close(fd);
        return false;
    }
    p.file = file;
    bool written;
    if (text) {
        written = DataFileWriter::writeCsvHeader(p.file, plan.format == StorageFormat::kCsvMilli, plan.rate,
                                                 std::vector<uint8_t>(plan.masks.begin(), plan.masks.end()),
                                                 plan.timestamps);
    } else {
        DataFileHeader header;
        header.format = plan.format;
        header.rate = plan.rate;
        header.channels = p.channels;
        header.scans = plan.scans;
        header.masks.assign(plan.masks.begin(), plan.masks.end());
        header.timeOffset = -plan.preTrigger / plan.rate;
        header.timestamps = plan.timestamps;
        if (plan.format == StorageFormat::kFlacCounts) {
            header.lsb.assign(p.lsb, p.lsb + p.channels);
            header.gains = m_gains;
            if (!openStreams(plan, header)) {
                p.file = nullptr;
                std::fclose(file);
                std::remove(plan.systemPath().c_str());
                return false;
            }
        }
        written = DataFileWriter::writeHeader(p.file, header);
    }
    // A header that did not reach the disk is the same failure as the writer's later ones.
    if (!written)
        p.endWriting(errno);
    return true;
}

bool ContinuousStorage::openStreams(const Plan &plan, const DataFileHeader &header) {
    FlacRecordingWriter::Plan streams;
    streams.descriptionPath = plan.systemPath();
    streams.rate = plan.rate;
    streams.scans = plan.scans;
    streams.masks = header.masks;
    streams.lsb = header.lsb;
    streams.gains = header.gains;
    streams.timeOffset = header.timeOffset;
    streams.timestamps = plan.timestamps;
    auto writer = std::make_unique<FlacRecordingWriter>();
    if (!writer->open(streams))
        return false;
    m_params.flac = std::move(writer);
    return true;
}

void ContinuousStorage::startWriter() {
    if (!m_params.file)
        return;
    m_params.writerDone.exchange(false);
    std::atomic<bool> started{false};
    m_writer = std::thread([this, &started] {
        started.exchange(true);
        m_params.writeAll();
    });
    while (!started.load())
        std::this_thread::yield();
}

std::string ContinuousStorage::finish() {
    requestEnd();
    if (m_writer.joinable())
        m_writer.join();
    return m_params.error();
}

// A writer stuck in a write the system never returns from is not waited for here: the program
// ends without running destructors then.
ContinuousStorage::~ContinuousStorage() {
    requestEnd();
    if (m_writer.joinable())
        m_writer.join();
}

std::string ContinuousStorage::storedText() const {
    if (m_params.fileName.empty())
        return std::string();
    const uint64_t blocks = m_params.blocksStored.load();
    char seconds[64];
    std::snprintf(seconds, sizeof seconds, "%.3f", static_cast<double>(blocks) * m_blockSeconds);
    return std::to_string(blocks) + (blocks == 1 ? " block (" : " blocks (") + seconds + " s) " +
           (blocks == 1 ? "is" : "are") + " stored in \"" + m_params.fileName + "\", without a gap.";
}

StorageSummary ContinuousStorage::summary() const {
    StorageSummary summary;
    summary.fileName = m_params.fileName;
    summary.blocks = m_params.blocksStored.load();
    summary.scans = m_params.scans;
    summary.rate = m_rate;
    summary.bytes = m_params.fileBytes.load();
    summary.end = m_params.error().empty() ? StorageSummary::End::Stopped : m_params.endReason();
    return summary;
}
