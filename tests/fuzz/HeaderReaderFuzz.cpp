// Feeds arbitrary bytes to the stored-file reader as a file, and checks that a header it
// accepts describes the file truthfully: the blocks it counts are there and can be read into
// buffers of exactly the announced size. Any breach traps, so libFuzzer keeps the input.
#include "DataFileReader.h"
#include "FuzzFile.h"

#include <bitset>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <unistd.h>

namespace {

// One file per process, so parallel fuzzing jobs do not read each other's inputs. TMPDIR may
// point to a memory file system: each run rewrites the file.
const std::string &inputPath() {
    static const std::string path = [] {
        const char *dir = std::getenv("TMPDIR");
        return std::string(dir && *dir ? dir : "/tmp") + "/kq-fuzz-" + std::to_string(getpid()) + ".bin7150";
    }();
    return path;
}

void readBlocks(const fileInfo_t &info, uint64_t size) {
    std::size_t maskBits = 0;
    for (int card = 0; card < info.cards; ++card)
        maskBits += std::bitset<8>(info.channelMasks[card]).count();
    require(info.cards >= 1 && info.cards <= fileInfoMaxCards && info.channels >= 1 &&
            std::size_t(info.channels) == maskBits && info.scansPerBlock >= 1 && info.blockLength > 0);
    require(info.payloadOffset + info.payloadLength == size);
    require(info.blockCount * info.blockLength <= info.payloadLength);

    // Blocks counted are in the input, so their size is bounded by it; a header that announces
    // huge blocks with no payload gets no buffer at all.
    constexpr uint64_t maxBuffer = 64u << 20;
    if (info.blockCount == 0 || info.dataLength > maxBuffer) {
        require(DataFileReader::readBlock(info, nullptr, nullptr, nullptr, info.blockCount) == -1);
        return;
    }
    std::unique_ptr<unsigned char[]> data(new unsigned char[info.dataLength]);
    const std::size_t scans = info.timestampArrayLength / 4;
    std::unique_ptr<uint32_t[]> seconds(new uint32_t[scans]);
    std::unique_ptr<uint32_t[]> nanoseconds(new uint32_t[scans]);
    const uint64_t last = info.blockCount - 1;
    require(DataFileReader::readBlock(info, data.get(), seconds.get(), nanoseconds.get(), 0) == 1);
    require(DataFileReader::readBlock(info, data.get(), nullptr, nullptr, last) == 1);
    require(DataFileReader::readBlock(info, data.get(), nullptr, nullptr, info.blockCount) == -1);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *bytes, std::size_t size) {
    if (!writeFuzzFile(inputPath(), bytes, size))
        return 0;

    fileInfo_t info{};
    if (DataFileReader::readHeader(inputPath().c_str(), info) == 0)
        readBlocks(info, size);
    return 0;
}
