// The card memory between the converters and the reads: per enabled channel a ring of
// counts, plus the scan number of every stored scan (scans lost to an overflow leave a
// gap in the numbers, as they would on the card).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

namespace kqsim {

class ScanFifo {
public:
    // Fills dst[0..n) with the counts of channel ch for the scans first .. first+n-1.
    using Generator = std::function<void(int ch, uint64_t first, size_t n, int32_t *dst)>;

    void reset(int channels, size_t capacityScans);
    size_t size() const { return size_; }
    size_t capacity() const { return capacity_; }
    int channels() const { return channels_; }

    // Appends n consecutive scans starting at scan number first; n must fit.
    void append(uint64_t first, size_t n, const Generator &generate);
    // Keeps only the newest n scans.
    void keepNewest(size_t n);
    // Removes the oldest n scans (n <= size()). counts, when given, receives them channel-major
    // (channel k's scans at k * n); scanNumbers, when given, their numbers.
    void pop(size_t n, int32_t *counts, uint64_t *scanNumbers);

private:
    int channels_ = 0;
    size_t capacity_ = 0;
    size_t head_ = 0; // index of the oldest scan
    size_t size_ = 0;
    std::vector<int32_t> counts_; // channel c's ring at c * capacity_
    std::vector<uint64_t> scans_;
};

} // namespace kqsim
