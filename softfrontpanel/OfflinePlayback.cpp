#include "OfflinePlayback.h"

#include "DataFileReader.h"

#include <cstring>
#include <new>

OfflinePlayback::Result OfflinePlayback::load(uint64_t block, double *data) {
    try {
        m_raw.resize(m_info.dataLength);
    } catch (const std::bad_alloc &) {
        return Result::NoMemory;
    }
    if (DataFileReader::readBlock(m_info, m_raw.data(), nullptr, nullptr, block) != 1)
        return Result::ReadFailed;
    const uint64_t samples =
        static_cast<uint64_t>(m_info.channels) * static_cast<uint64_t>(m_info.scansPerBlock);
    if (readsDoubles(m_info)) {
        std::memcpy(data, m_raw.data(), samples * sizeof(double));
    } else {
        for (uint64_t i = 0; i < samples; ++i) {
            float f;
            std::memcpy(&f, m_raw.data() + i * sizeof f, sizeof f);
            data[i] = f;
        }
    }
    return Result::Loaded;
}

double OfflinePlayback::blockStart(uint64_t block) const {
    return static_cast<double>(block) * m_info.scansPerBlock / m_info.rate + m_info.timeOffset;
}
