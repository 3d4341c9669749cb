#include "ConvertCommand.h"

#include "CsvWriter.h"
#include "DataFileReader.h"
#include "DataFileWriter.h"
#include "OfflinePlayback.h"
#include "OutputFile.h"
#include "Progress.h"
#include "StoredFile.h"
#include "ToolArguments.h"

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <vector>

namespace {

bool sameFile(const std::string &a, const std::string &b) {
    struct stat sa, sb;
    return stat(a.c_str(), &sa) == 0 && stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

// One block as volts in doubles, with its scan times when the file has them.
class BlockSource {
public:
    explicit BlockSource(const fileInfo_t &info)
        : m_info(info), m_playback(info), m_samples(uint64_t(info.channels) * uint64_t(info.scansPerBlock)),
          m_seconds(info.timestamps ? info.scansPerBlock : 0), m_nanoseconds(m_seconds.size()) {}

    bool read(uint64_t block) {
        uint32_t *seconds = m_info.timestamps ? m_seconds.data() : nullptr;
        uint32_t *nanoseconds = m_info.timestamps ? m_nanoseconds.data() : nullptr;
        // Doubles are stored as CsvWriter takes them: one read with the times.
        if (readsDoubles(m_info))
            return DataFileReader::readBlock(m_info, m_samples.data(), seconds, nanoseconds, block) == 1;
        if (m_playback.load(block, m_samples.data()) != OfflinePlayback::Result::Loaded)
            return false;
        // Floats with times, which the program itself never writes: the times on their own.
        if (seconds) {
            m_raw.resize(m_info.dataLength);
            return DataFileReader::readBlock(m_info, m_raw.data(), seconds, nanoseconds, block) == 1;
        }
        return true;
    }
    const double *samples() const { return m_samples.data(); }
    const uint32_t *seconds() const { return m_info.timestamps ? m_seconds.data() : nullptr; }
    const uint32_t *nanoseconds() const { return m_info.timestamps ? m_nanoseconds.data() : nullptr; }

private:
    const fileInfo_t &m_info;
    OfflinePlayback m_playback;
    std::vector<double> m_samples;
    std::vector<uint32_t> m_seconds;
    std::vector<uint32_t> m_nanoseconds;
    std::vector<unsigned char> m_raw;
};

} // namespace

int ConvertCommand::run(const StoredFile &file, const ToolArguments &args) {
    const fileInfo_t &info = file.info();
    if (args.output != "-" && sameFile(args.file, args.output))
        return toolFailure(toolExitBadArguments, "'" + args.output + "' is the file to convert itself");
    OutputFile output(args.output);
    std::FILE *out = output.open();
    if (!out)
        return toolFailure(toolExitUnreadable, "cannot write '" + args.output + "': " + output.error());

    BlockSource source(info);
    bool written =
        DataFileWriter::writeCsvHeader(out, args.millivolts, info.rate, file.masks(), info.timestamps);
    Progress progress(info.blockCount);
    for (uint64_t b = 0; written && b < info.blockCount; ++b) {
        if (!source.read(b))
            return toolFailure(toolExitUnreadable,
                               "cannot read block " + std::to_string(b + 1) + " of '" + info.path + "'");
        written = CsvWriter::writeBlock(out, source.samples(), info.channels, info.scansPerBlock,
                                        args.millivolts, source.seconds(), source.nanoseconds());
        progress.show(b + 1);
    }
    if (!written)
        return toolFailure(toolExitUnreadable, "cannot write '" + args.output + "': " + std::strerror(errno));
    if (!output.commit())
        return toolFailure(toolExitUnreadable, "cannot write '" + args.output + "': " + output.error());
    return toolExitOk;
}
