#include "MeasureCommand.h"

#include "Fft.h"
#include "OfflinePlayback.h"
#include "ParallelBlocks.h"
#include "Progress.h"
#include "StoredFile.h"
#include "ToolArguments.h"
#include "blockMeasurement.h"
#include "measurementText.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <memory>
#include <new>
#include <optional>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

// One worker's measurement of blocks, with its buffers kept from block to block: the blocks are
// loaded and timed as the window's playback does, and measured card by card as the window's
// measurement table does.
class BlockMeasurer {
public:
    // plan given: the worker transforms with a copy of it (sharing its tables), one channel
    // after the other, because other workers keep the other cores busy or the memory allows no
    // more; otherwise the channels of a card are spread over the cores, as in the window.
    BlockMeasurer(const StoredFile &file, const ToolArguments &args, const Fft *plan)
        : m_file(file), m_args(args), m_playback(file.info()) {
        if (plan)
            m_plan.emplace(*plan);
    }

    ParallelBlocks::Result operator()(uint64_t block) {
        const fileInfo_t &info = m_file.info();
        const int N = info.scansPerBlock;
        ParallelBlocks::Result result;
        m_data.resize(uint64_t(info.channels) * uint64_t(N));
        if (m_playback.load(block, m_data.data()) != OfflinePlayback::Result::Loaded) {
            result.err = "cannot read block " + std::to_string(block + 1) + " of '" + info.path + "'\n";
            result.stop = true;
            return result;
        }
        // The time axis of the block in view: scan i at i / rate from the block's start.
        m_time.resize(std::size_t(N));
        const double start = m_playback.blockStart(block);
        for (int i = 0; i < N; ++i)
            m_time[i] = i / info.rate + start;
        for (int card = 0; card < info.cards; ++card)
            measureCard(block, card, result);
        return result;
    }

private:
    void measureCard(uint64_t block, int card, ParallelBlocks::Result &result) {
        const uint8_t mask = m_file.info().channelMasks[card];
        if (mask == 0)
            return;
        blockMeasurement::input in;
        in.N = m_file.info().scansPerBlock;
        in.timeAxis = m_time.data();
        in.rate = m_file.info().rate;
        in.zeroPadding = m_args.zeroPadding;
        in.fitIterations = m_args.fitIterations;
        const double *samples = m_data.data() + m_file.firstSampleOfCard(card);
        for (int k = 0; k < 8; ++k)
            if (mask >> k & 1) {
                in.blocks.push_back(samples);
                samples += in.N;
            }
        blockMeasurement figures(in, m_plan ? &*m_plan : nullptr);
        const std::string where =
            "block " + std::to_string(block + 1) + ", FC" + std::to_string(card + 1) + ": ";
        if (!figures.error().empty())
            result.err += where + figures.error() + "\n";
        else if (figures.failed())
            result.err += where + "AC performance calculations failed\n";
        figures.phaseToMicroseconds(figures.error().empty());
        // The file keeps no gain settings: the Gain and Filter columns stay empty.
        const std::string prefix = std::to_string(block + 1) + "," + std::to_string(card + 1) + ",";
        std::size_t e = 0;
        for (int k = 0; k < 8; ++k)
            if (mask >> k & 1)
                result.out +=
                    prefix + measurementText::channelLine(k + 1, "", "", figures.rows()[e++]) + "\n";
    }

    const StoredFile &m_file;
    const ToolArguments &m_args;
    OfflinePlayback m_playback;
    std::optional<Fft> m_plan;
    std::vector<double> m_data;
    std::vector<double> m_time;
};

// Every core, unless the blocks of that many workers would fill more than half the memory, or
// their transforms' scratch would grow the peak by more than half (a plan of a long
// prime-factor length at high padding).
unsigned workerCount(const fileInfo_t &info, int zeroPadding, const Fft &plan) {
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    const double samples = double(info.channels) * info.scansPerBlock;
    const double points = double(info.scansPerBlock) * zeroPadding;
    // The block as stored and as doubles, the spectra of a card's (up to 8) channels at three
    // vectors of points / 2 doubles each, the transform's real input and bins, and its scratch.
    const double perWorker =
        double(info.dataLength) + 8 * samples + 8 * 12.0 * points + 16 * points + double(plan.scratchBytes());
    const double memory = double(sysconf(_SC_PHYS_PAGES)) * double(sysconf(_SC_PAGE_SIZE));
    const double fit = memory > 0 ? (memory / 2 - double(plan.sharedBytes())) / perWorker : cores;
    return std::min(unsigned(std::clamp(fit, 1.0, double(cores))),
                    workersWithinMemory(plan.sharedBytes(), std::size_t(perWorker), cores));
}

// The plan the workers share when blocks are spread over them; none for a single block (its
// channels are spread instead), for a transform longer than the analysis takes (it refuses it
// with its message) or when its memory cannot be had (each block then tries on its own).
std::optional<Fft> sharedPlan(const fileInfo_t &info, int zeroPadding, uint64_t blocks) {
    const std::size_t points = std::size_t(info.scansPerBlock) * std::size_t(zeroPadding);
    if (blocks < 2 || points > std::size_t(INT_MAX))
        return std::nullopt;
    try {
        return std::optional<Fft>(std::in_place, points);
    } catch (const std::bad_alloc &) {
        return std::nullopt;
    }
}

} // namespace

int MeasureCommand::run(const StoredFile &file, const ToolArguments &args) {
    const fileInfo_t &info = file.info();
    if (const std::string missing = file.missingBlock(args.block); !missing.empty())
        return toolFailure(toolExitBadArguments, missing);
    // The window shows such blocks' figures as 0; a script would take them for measured.
    if (const std::string tooShort = file.shortBlocks("measure", blockMeasurement::minimumScans);
        !tooShort.empty())
        return toolFailure(toolExitUnreadable, tooShort);
    const uint64_t first = args.all ? 0 : args.block - 1;
    const uint64_t count = args.all ? info.blockCount : 1;
    std::optional<Fft> plan = sharedPlan(info, args.zeroPadding, count);
    // A single worker here means the memory allows no more: it then keeps the plan too, rather
    // than having each block's channels make one of their own.
    const unsigned workers = plan ? workerCount(info, args.zeroPadding, *plan) : 1;

    std::printf("%s\n\nBlock, Card, %s\n", measurementText::heading(info.scansPerBlock, info.rate).c_str(),
                measurementText::columnLine().c_str());
    bool complete = true;
    Progress progress(count);
    ParallelBlocks::run(
        first, count, workers,
        [&]() -> ParallelBlocks::Job {
            auto measurer = std::make_shared<BlockMeasurer>(file, args, plan ? &*plan : nullptr);
            return [measurer](uint64_t block) { return (*measurer)(block); };
        },
        [&](uint64_t block, const ParallelBlocks::Result &result) {
            std::fwrite(result.out.data(), 1, result.out.size(), stdout);
            if (!result.err.empty()) {
                std::fflush(stdout);
                for (std::size_t at = 0, end; at < result.err.size(); at = end + 1) {
                    end = result.err.find('\n', at);
                    toolFailure(toolExitUnreadable, result.err.substr(at, end - at));
                }
                complete = false;
            }
            progress.show(block - first + 1);
        });
    if (std::fflush(stdout) != 0 || std::ferror(stdout))
        return toolFailure(toolExitUnreadable, "cannot write the measurements");
    return complete ? toolExitOk : toolExitUnreadable;
}
