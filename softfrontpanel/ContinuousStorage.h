// One continuous acquisition's storage side: the ring buffers, the data file with its header,
// and the writer thread. The acquisition engine prepares it before the cards start, hands its
// record to the driver's callback, and finishes it after the cards have stopped.
#pragma once

#include "StorageSummary.h"
#include "contParams_t.h"

#include <cstdint>
#include <string>
#include <thread>
#include <vector>

class ContinuousStorage {
public:
    struct Plan {
        int format = 0;       // StorageFormat code
        std::string fileName; // empty: acquire without storing
        // fileName in the file system's encoding, the bytes the file is opened by; empty: fileName
        std::string path;
        bool timestamps = false;
        bool single = false;
        int scans = 0;
        double rate = 0.0;
        int32_t preTrigger = 0;
        std::vector<uint16_t> masks; // per card, bit k = channel k + 1
        std::vector<int> gainIndex;  // per card 8 entries

        const std::string &systemPath() const { return path.empty() ? fileName : path; }
    };
    enum class Result { Ready, NoMemory, CannotOpen };

    ContinuousStorage() = default;
    ContinuousStorage(const ContinuousStorage &) = delete;
    ContinuousStorage &operator=(const ContinuousStorage &) = delete;
    ~ContinuousStorage();

    // Buffers, then the file and its header. On failure nothing stays allocated or open.
    Result prepare(const Plan &plan);
    // Starts the writer when a file is open and returns once it runs.
    void startWriter();
    // Asks the writer to end once it has stored what the ring holds; it may still be waiting
    // for the disk when this returns.
    void requestEnd() { m_params.running.exchange(false); }
    bool writerDone() const { return m_params.writerDone.load(); }
    // Ends the writer, waiting as long as the disk takes, and returns the first error of the
    // run, empty when there was none.
    std::string finish();
    // "305 blocks (1.446 s) are stored in "x.bin7150", without a gap." after a run that ended
    // with an error; empty when no file was written.
    std::string storedText() const;
    // What the file holds and why the run ended; only after finish() of a run that stored.
    StorageSummary summary() const;
    // Frees the buffers once no callback is inside.
    void release() { m_params.release(); }

    contParams_t &params() { return m_params; }
    bool storing() const { return m_params.file != nullptr; }

private:
    bool openFile(const Plan &plan);
    // The streams of a FLAC recording beside its description.
    bool openStreams(const Plan &plan, const struct DataFileHeader &header);

    contParams_t m_params;
    double m_blockSeconds = 0.0;
    double m_rate = 0.0;
    std::vector<int> m_gains; // of each stored channel, in block order
    std::thread m_writer;
};
