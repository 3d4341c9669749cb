// Feeds arbitrary bytes to the stored-file reader as the FLAC stream of a recording whose
// description is fixed (one card, channels 1 and 2, 64 scans per block), and checks that what
// it accepts reads truthfully: the blocks it counts read whole or are reported damaged, never
// beyond, and give finite volts. Any breach traps, so libFuzzer keeps the input.
#include "DataFileReader.h"
#include "FlacRecordingFiles.h"
#include "FuzzFile.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kScans = 64;

// One recording per process, so parallel fuzzing jobs do not read each other's inputs.
const std::string &descriptionPath() {
    static const std::string path = [] {
        const char *dir = std::getenv("TMPDIR");
        const std::string name =
            std::string(dir && *dir ? dir : "/tmp") + "/kq-fuzz-" + std::to_string(getpid()) + ".flac7150";
        std::FILE *file = std::fopen(name.c_str(), "wb");
        require(file != nullptr);
        std::fputs("FORMAT=FLAC\nSAMPLING_RATE_HZ=1000\nNUMBER_OF_CHANNELS=2\nNUMBER_OF_SCANS_PER_BLOCK=64\n"
                   "NUMBER_OF_FUNCTION_CARDS=1\nCHANNEL_MASK_FC1=0x03\nLSB_FC1_CH1=1.220703125e-06\n"
                   "LSB_FC1_CH2=1.220703125e-09\nTIME_OFFSET=0\nTIMESTAMPS=0\n#\n",
                   file);
        require(std::fclose(file) == 0);
        return name;
    }();
    return path;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *bytes, std::size_t size) {
    const std::string stream = FlacRecordingFiles::cardStream(descriptionPath(), 1);
    if (!writeFuzzFile(stream, bytes, size))
        return 0;

    fileInfo_t info{};
    if (DataFileReader::readHeader(descriptionPath().c_str(), info) != 0)
        return 0;
    require(info.payloadLength == info.blockCount * info.blockLength);
    // Whole frames cannot hold more scans than a few thousand per byte of the stream.
    require(info.blockCount <= (uint64_t(size) + 1) * 65535 / kScans);
    std::vector<double> volts(2 * kScans);
    const uint64_t shown = info.blockCount < 16 ? info.blockCount : 16;
    for (uint64_t block = info.blockCount - shown; block < info.blockCount; ++block) {
        const int result = DataFileReader::readBlock(info, volts.data(), nullptr, nullptr, block);
        require(result == 0 || result == 1);
        for (std::size_t i = 0; result == 1 && i < volts.size(); ++i)
            require(std::isfinite(volts[i]));
    }
    require(DataFileReader::readBlock(info, volts.data(), nullptr, nullptr, info.blockCount) == -1);
    return 0;
}
