// The FLAC recording of the volts and scan times a ViReal64 recording holds: each volt value
// back to its count of the channel's volts per count, as the ring does for FLAC with scan
// times. Its description says what the binary file's header says (rate, masks, time offset,
// scan times) and the volts per count given.
#pragma once

#include "DataFileReader.h"
#include "DataFileWriter.h"
#include "FlacRecordingWriter.h"
#include "StorageFormat.h"
#include "fileInfo_t.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

// binary: the record of a readable ViReal64 file; path: the description to write, its streams
// beside it; lsb: volts per count of each stored channel, in block order. Every volt value of
// the file must be a 24-bit count times its channel's lsb.
inline void writeFlacTwin(const fileInfo_t &binary, const std::string &path, const std::vector<double> &lsb) {
    ASSERT_EQ(binary.format, fileFormatViReal64) << binary.path;
    ASSERT_EQ(lsb.size(), size_t(binary.channels));
    DataFileHeader header;
    header.format = StorageFormat::kFlacCounts;
    header.rate = binary.rate;
    header.channels = binary.channels;
    header.scans = binary.scansPerBlock;
    header.masks.assign(binary.channelMasks, binary.channelMasks + binary.cards);
    header.timeOffset = binary.timeOffset;
    header.timestamps = binary.timestamps;
    header.lsb = lsb;
    std::FILE *description = std::fopen(path.c_str(), "wb");
    ASSERT_NE(description, nullptr) << path;
    const bool written = DataFileWriter::writeHeader(description, header);
    ASSERT_EQ(std::fclose(description), 0) << path;
    ASSERT_TRUE(written) << path;
    FlacRecordingWriter writer;
    ASSERT_TRUE(writer.open({path,
                             header.rate,
                             header.scans,
                             header.masks,
                             header.lsb,
                             header.timeOffset,
                             header.timestamps,
                             {}}));
    const size_t values = size_t(binary.channels) * size_t(binary.scansPerBlock);
    std::vector<double> volts(values);
    std::vector<int32_t> counts(values);
    std::vector<uint32_t> seconds(size_t(binary.scansPerBlock)), nanoseconds(seconds.size());
    for (uint64_t block = 0; block < binary.blockCount; ++block) {
        ASSERT_EQ(DataFileReader::readBlock(binary, volts.data(), seconds.data(), nanoseconds.data(), block),
                  1)
            << "block " << block;
        ASSERT_TRUE(FlacRecordingWriter::countsOfVolts(volts.data(), counts.data(), binary.channels,
                                                       binary.scansPerBlock, header.lsb.data()))
            << "block " << block << " holds a value that is no 24-bit count";
        ASSERT_TRUE(writer.write(counts.data(), seconds.data(), nanoseconds.data()) && writer.flush());
    }
    ASSERT_TRUE(writer.finish());
}
