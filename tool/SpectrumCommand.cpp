#include "SpectrumCommand.h"

#include "DataFileWriter.h"
#include "OfflinePlayback.h"
#include "StoredFile.h"
#include "ToolArguments.h"
#include "displaySpectrum.h"
#include "fftWindow.h"

#include <charconv>
#include <cstdio>
#include <string>
#include <vector>

namespace {

// The shortest text that reads back as the same double: the curves' points exactly.
void appendNumber(std::string &line, double value) {
    char text[32];
    line.append(text, std::to_chars(text, text + sizeof text, value).ptr);
}

} // namespace

int SpectrumCommand::run(const StoredFile &file, const ToolArguments &args) {
    const fileInfo_t &info = file.info();
    if (const std::string missing = file.missingBlock(args.block); !missing.empty())
        return toolFailure(toolExitBadArguments, missing);
    if (const std::string tooShort = file.shortBlocks("spectrum", displaySpectrumMinimumScans);
        !tooShort.empty())
        return toolFailure(toolExitUnreadable, tooShort);
    const int N = info.scansPerBlock;
    std::vector<double> data(uint64_t(info.channels) * uint64_t(N));
    OfflinePlayback playback(info);
    if (playback.load(args.block - 1, data.data()) != OfflinePlayback::Result::Loaded)
        return toolFailure(toolExitUnreadable,
                           "cannot read block " + std::to_string(args.block) + " of '" + info.path + "'");

    std::vector<double> window(std::size_t(N), 0.0);
    fftWindow(args.window, N, window.data());
    std::vector<const double *> blocks;
    for (int e = 0; e < info.channels; ++e)
        blocks.push_back(data.data() + std::size_t(e) * std::size_t(N));
    std::vector<SpectrumCurve> curves;
    displaySpectra(N, info.rate, args.zeroPadding, window.data(), blocks, curves);
    for (const SpectrumCurve &curve : curves)
        if (curve.level.size() != std::size_t(N) * std::size_t(args.zeroPadding) / 2)
            return toolFailure(toolExitUnreadable, "not enough memory for the spectra");

    std::string line = "Frequency (Hz)";
    for (const std::string &name : DataFileWriter::channelNames(file.masks()))
        line += ", " + name + " (dB)";
    std::printf("%s\n", line.c_str());
    const std::vector<double> &frequency = curves.front().frequency;
    for (std::size_t k = 0; k < frequency.size(); ++k) {
        line.clear();
        appendNumber(line, frequency[k]);
        for (const SpectrumCurve &curve : curves) {
            line += ',';
            appendNumber(line, curve.level[k]);
        }
        line += '\n';
        std::fwrite(line.data(), 1, line.size(), stdout);
    }
    if (std::fflush(stdout) != 0 || std::ferror(stdout))
        return toolFailure(toolExitUnreadable, "cannot write the spectra");
    return toolExitOk;
}
