// The FLAC streams of one recording: one per card with its stored channels as 24-bit counts,
// and, when scan times are stored, one of two 32-bit channels (seconds, nanoseconds). The
// recording's description (rate, masks, volts per count, ...) is written by the caller beside
// them; see FlacRecordingFiles for the names.
#pragma once

#include "FlacStreamWriter.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class FlacRecordingWriter {
public:
    struct Plan {
        std::string descriptionPath;
        double rate = 0.0;
        int scans = 0;              // per block
        std::vector<uint8_t> masks; // per card, bit k = channel k + 1
        std::vector<double> lsb;    // volts per count of each stored channel, in block order
        double timeOffset = 0.0;
        bool timestamps = false;
        std::vector<int> gains; // of each stored channel, when known
    };
    // The smallest and largest count a 24-bit stream holds.
    static constexpr int32_t kMinCount = -(1 << 23);
    static constexpr int32_t kMaxCount = (1 << 23) - 1;

    // Creates every stream. false: errno says why; none of the streams is left.
    bool open(const Plan &plan);
    // One block: channels x scans counts, channel-major, and scans seconds and nanoseconds when
    // scan times are stored. Every count must lie in kMinCount..kMaxCount. false: errno says
    // why when a file refused a frame.
    bool write(const int32_t *counts, const uint32_t *seconds, const uint32_t *nanoseconds);
    // Hands every whole frame to the system. false: errno says why.
    bool flush();
    // Bytes of all streams at the last flush, and the blocks their whole frames hold.
    uint64_t bytes() const;
    uint64_t wholeBlocks() const;
    // After a failure: every stream ends with its last flushed frame, nothing more is written.
    void cutBack();
    // Writes the last frames and completes the streams' info. false: errno says why.
    bool finish();

    // Counts of volts that are counts times lsb (lsb per channel, channel-major values); false
    // when a value is not exactly such a count within 24 bits: a reading scaled otherwise
    // cannot be stored losslessly. The nearest counts are filled in all the same.
    static bool countsOfVolts(const double *volts, int32_t *counts, int channels, int scans,
                              const double *lsb);
    // Whether every count lies in kMinCount..kMaxCount.
    static bool fits(const int32_t *counts, size_t n);

private:
    bool openStreams(std::vector<std::string> &opened);
    bool writeCards(size_t from, size_t to, const int32_t *counts);

    Plan m_plan;
    std::vector<std::unique_ptr<FlacStreamWriter>> m_cards;
    std::vector<size_t> m_firstChannel; // of each card, in block order
    std::unique_ptr<FlacStreamWriter> m_times;
};
