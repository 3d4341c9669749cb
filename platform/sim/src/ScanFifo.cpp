#include "ScanFifo.h"

#include <algorithm>
#include <cstring>

namespace kqsim {

void ScanFifo::reset(int channels, size_t capacityScans) {
    channels_ = channels;
    capacity_ = capacityScans;
    head_ = 0;
    size_ = 0;
    counts_.assign(static_cast<size_t>(channels) * capacityScans, 0);
    scans_.assign(capacityScans, 0);
}

void ScanFifo::append(uint64_t first, size_t n, const Generator &generate) {
    size_t tail = (head_ + size_) % capacity_;
    size_t done = 0;
    // At most two pieces: up to the end of the ring, then from its start.
    while (done < n) {
        const size_t piece = std::min(n - done, capacity_ - tail);
        for (int c = 0; c < channels_; ++c)
            generate(c, first + done, piece, &counts_[c * capacity_ + tail]);
        for (size_t i = 0; i < piece; ++i)
            scans_[tail + i] = first + done + i;
        done += piece;
        tail = (tail + piece) % capacity_;
    }
    size_ += n;
}

void ScanFifo::keepNewest(size_t n) {
    if (size_ <= n)
        return;
    head_ = (head_ + size_ - n) % capacity_;
    size_ = n;
}

void ScanFifo::pop(size_t n, int32_t *counts, uint64_t *scanNumbers) {
    size_t done = 0;
    while (done < n) {
        const size_t piece = std::min(n - done, capacity_ - head_);
        for (int c = 0; counts && c < channels_; ++c)
            std::memcpy(counts + c * n + done, &counts_[c * capacity_ + head_], piece * sizeof(int32_t));
        if (scanNumbers)
            std::memcpy(scanNumbers + done, &scans_[head_], piece * sizeof(uint64_t));
        done += piece;
        head_ = (head_ + piece) % capacity_;
    }
    size_ -= n;
}

} // namespace kqsim
