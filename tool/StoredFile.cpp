#include "StoredFile.h"

#include "DataFileReader.h"
#include "FlacRecordingFiles.h"
#include "FlacStreamReader.h"

#include <bitset>
#include <cstdio>
#include <filesystem>
#include <system_error>

bool StoredFile::open(const std::string &path) {
    std::string why;
    if (DataFileReader::readHeader(path.c_str(), m_info, &why, stderr) == 0)
        return true;
    m_problem = "cannot read '" + path + "': " + why;
    return false;
}

std::vector<uint8_t> StoredFile::masks() const {
    return std::vector<uint8_t>(m_info.channelMasks, m_info.channelMasks + m_info.cards);
}

uint64_t StoredFile::firstSampleOfCard(int card) const {
    uint64_t channels = 0;
    for (int c = 0; c < card; ++c)
        channels += std::bitset<8>(m_info.channelMasks[c]).count();
    return channels * uint64_t(m_info.scansPerBlock);
}

std::string StoredFile::missingBlock(uint64_t k) const {
    if (k <= m_info.blockCount)
        return "";
    return "--block " + std::to_string(k) + ": '" + m_info.path + "' has " +
           std::to_string(m_info.blockCount) + (m_info.blockCount == 1 ? " whole block" : " whole blocks");
}

std::string StoredFile::shortBlocks(const std::string &command, int minimum) const {
    const int n = m_info.scansPerBlock;
    if (n >= minimum)
        return "";
    return "'" + std::string(m_info.path) + "' has " + std::to_string(n) + (n == 1 ? " scan" : " scans") +
           " per block; " + command + " needs at least " + std::to_string(minimum);
}

std::vector<StoredStream> StoredFile::streams() const {
    std::vector<StoredStream> list;
    if (!isFlac())
        return list;
    for (const std::string &path :
         FlacRecordingFiles::streams(m_info.path, m_info.cards, m_info.timestamps)) {
        list.emplace_back();
        list.back().name =
            int(list.size()) <= m_info.cards ? "FC" + std::to_string(list.size()) : "Scan times";
        list.back().path = path;
    }
    for (StoredStream &stream : list) {
        std::error_code error;
        stream.bytes = std::filesystem::file_size(stream.path, error);
        if (error) {
            stream.bytes = 0;
            stream.problem = error.message();
            continue;
        }
        FlacStreamReader reader;
        if (reader.open(stream.path, &stream.problem))
            stream.scans = reader.decodableScans();
    }
    return list;
}
