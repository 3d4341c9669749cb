// How many simulated cards, each with 8 channels at 216 kHz, this machine can store
// continuously without losing a scan, as "Binary, ViReal64" or as FLAC, through the program's
// own storage path: ContinuousStorage's ring of contParams_t, file, header or FLAC streams,
// the ring fed by the driver's callback, its writer task and the program-wide acquisition
// status, started and stopped in the waveform view's order. Channel 1 of every card carries the
// simulation's ramp, whose counts say where a scan belongs, so the file read back proves that
// none is missing; channels 2 to 8 carry the default world's signals, so that FLAC compresses
// what a recording holds and not a ramp alone.
// The card counts 1, 2, 4 ... 64 run until the first loss, then the gap between the last good
// count and the failing one is bisected while the time budget allows. The baseline is the
// real-time data rate of one card, so the result reads as "K times one card".
// --compare measures both formats on the same disk in the same run: that search with short
// runs first, then runs long enough to reach the disk (60 s unless told otherwise), the two
// formats taking turns, from the short search's count down to what the writer kept up with,
// then halving, within about 15 minutes.
// It reports; it never fails.
//
// Usage: bench_gapfree [--format=binary|flac] [seconds per run, default 5]
//        bench_gapfree --compare [seconds per long run, default 60]
// Files go to the current folder and are deleted after each run.
#include "AcquisitionStatus.h"
#include "BenchClock.h"
#include "BenchWorld.h"
#include "ContinuousStorage.h"
#include "DefaultWorld.h"
#include "FlacRecordingFiles.h"
#include "RampFile.h"
#include "StorageFormat.h"
#include "contParams_t.h"
#include "fileInfo_t.h"

#include "kq7150.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr double kRate = 216000.0;
constexpr int kChannelsPerCard = 8;
constexpr ViInt32 kScans = 16384;
constexpr int kMaxCards = kq7150_MAX_CARDS;
// The world parser refuses carriers with more slots than this, so 64 cards need two.
constexpr int kSlotsPerCarrier = 32;
constexpr double kOneCardBytesPerSecond = kChannelsPerCard * kRate * sizeof(double);
// Card memory per card in the simulation's default world, over its enabled channels.
constexpr double kFifoScans = 2.0 * 1024 * 1024 / kChannelsPerCard;
// The converter's full scale over 2^23 at gain 1, the gain a reset leaves.
const double kLsb = 10.24 / 8388608.0;
// A run that reads less than this share of real time keeps falling behind and would overflow
// the card memory in a longer run, even when the few seconds measured stayed clean.
constexpr double kMinPace = 0.98;
// Default total time; bisection stops once the next run would not fit.
constexpr double kBudgetSeconds = 115.0;
// --compare: the short search's runs and its budget per format, the long runs' default
// length, and the whole comparison's budget.
constexpr double kShortSeconds = 5.0;
constexpr double kShortBudgetSeconds = 60.0;
constexpr double kLongSeconds = 60.0;
constexpr double kCompareBudgetSeconds = 870.0;

const char *formatName(int format) {
    return format == StorageFormat::kFlacCounts ? "FLAC" : "ViReal64";
}

std::string carrierName(int carrier) {
    return "VXI0::" + std::to_string(carrier + 1) + "::INSTR";
}

// Every card the runs may use: channel 1 the ramp, channels 2 to 8 the signals of the default
// world's cards in turn (the same channels of those cards).
std::string worldJson() {
    const kqsim::WorldConfig defaults = kqsim::DefaultWorld::make();
    std::vector<const kqsim::CardConfig *> sources;
    for (const kqsim::CarrierConfig &carrier : defaults.carriers)
        for (const kqsim::CardConfig &card : carrier.cards)
            sources.push_back(&card);
    kqsim::SignalConfig ramp;
    ramp.type = kqsim::SignalConfig::Type::Ramp;
    const int carriers = (kMaxCards + kSlotsPerCarrier - 1) / kSlotsPerCarrier;
    std::string text = R"({"carriers":[)";
    for (int c = 0; c < carriers; ++c) {
        text += (c ? "," : "");
        text += R"({"resources":[")" + carrierName(c) + R"("],"interface":"VXI","logicalAddress":)" +
                std::to_string(c + 1) + R"(,"slots":)" + std::to_string(kSlotsPerCarrier) +
                R"(,"referenceVoltages":[0.0,2.5],"cards":[)";
        for (int s = 1; s <= kSlotsPerCarrier; ++s) {
            const int card = c * kSlotsPerCarrier + s - 1;
            const kqsim::CardConfig &source = *sources[size_t(card) % sources.size()];
            char serial[16];
            std::snprintf(serial, sizeof serial, "0x715%05X", card + 1);
            std::string channels = R"("1":)" + signalJson(ramp);
            for (int k = 2; k <= kChannelsPerCard; ++k)
                channels += ",\"" + std::to_string(k) + "\":" + signalJson(source.signalOf(k));
            text += (s > 1 ? "," : "");
            text += R"({"slot":)" + std::to_string(s) + R"(,"serial":")" + serial + R"(","channels":{)" +
                    channels + "}}";
        }
        text += "]}";
    }
    return text + "]}";
}

// CPU seconds of every thread of this process, by thread id: telling the driver's thread
// (generating, converting and filling the ring) from the writer shows which side runs out.
std::map<long, double> threadCpu() {
    std::map<long, double> cpu;
    const double tick = static_cast<double>(sysconf(_SC_CLK_TCK));
    std::error_code ec;
    for (const auto &entry : fs::directory_iterator("/proc/self/task", ec)) {
        std::ifstream in(entry.path() / "stat");
        std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        const size_t close = text.rfind(')');
        if (close == std::string::npos)
            continue;
        // After the name: state, then fields 4..13, then utime and stime.
        std::istringstream fields(text.substr(close + 2));
        std::string field;
        double utime = 0, stime = 0;
        for (int i = 3; i <= 15 && fields >> field; ++i) {
            if (i == 14)
                utime = std::atof(field.c_str());
            if (i == 15)
                stime = std::atof(field.c_str());
        }
        cpu[std::atol(entry.path().filename().c_str())] = (utime + stime) / tick;
    }
    return cpu;
}

// CPU seconds of the whole process, threads that have ended included (the FLAC writer's
// helpers live for one block each).
double processCpu() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           1e-6 * double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec);
}

std::string loadAverage() {
    std::ifstream in("/proc/loadavg");
    std::string one;
    in >> one;
    return one.empty() ? "?" : one;
}

// A /proc/meminfo value in bytes, 0 when unknown.
double meminfo(const std::string &name) {
    std::ifstream in("/proc/meminfo");
    std::string key;
    double kilobytes = 0;
    while (in >> key >> kilobytes) {
        if (key == name + ":")
            return kilobytes * 1024.0;
        in.ignore(256, '\n');
    }
    return 0;
}

// About how much written file data the kernel keeps in memory before the writer has to wait
// for the disk: vm.dirty_bytes, or vm.dirty_ratio percent of the available memory. 0 when
// unknown.
double dirtyLimitBytes() {
    auto number = [](const char *path) {
        std::ifstream in(path);
        double value = 0;
        in >> value;
        return value;
    };
    const double bytes = number("/proc/sys/vm/dirty_bytes");
    if (bytes > 0)
        return bytes;
    return number("/proc/sys/vm/dirty_ratio") / 100.0 * meminfo("MemAvailable");
}

struct Poll {
    double t;
    double backlog;
    int ringFill;
    uint64_t blocksStored;
};

struct RunResult {
    int cards = 0;
    int format = StorageFormat::kBinary64;
    bool ran = false; // false: the run could not even start
    std::string failure;
    double seconds = 0.0;
    uint32_t blocksRead = 0;
    uint64_t blocksInFile = 0;
    uint64_t bytesWritten = 0;
    uint16_t errorWord = 0;
    double pace = 0.0;         // scans read per scan produced, late part of the run
    double stored = 0.0;       // blocks stored per block produced, last third of the run
    double meanRingFill = 0.0; // slots waiting for the writer, of 16
    uint32_t maxBacklog = 0;
    double checkSeconds = 0.0;
    double driverCpu = 0.0;   // cores busy on the driver's threads during the run
    double writerCpu = 0.0;   // cores busy on the writer and its helpers
    double wallSeconds = 0.0; // the whole run: start, run, stop, check
    bool gapFree() const { return ran && failure.empty(); }
};

// Backlog growth in scans per second over the polls after the first quarter, where start-up
// (the first block, the page cache warming) no longer weighs.
double backlogSlope(const std::vector<Poll> &polls, double duration) {
    double n = 0, st = 0, sb = 0, stt = 0, stb = 0;
    for (const Poll &p : polls) {
        if (p.t < duration / 4)
            continue;
        n += 1;
        st += p.t;
        sb += p.backlog;
        stt += p.t * p.t;
        stb += p.t * p.backlog;
    }
    const double d = n * stt - st * st;
    return n < 3 || d <= 0 ? 0.0 : (n * stb - st * sb) / d;
}

// The writer's rate over the last third of the polls, as a share of the blocks produced: what
// a run that fell behind could have kept up with once the page cache was full.
double storedShare(const std::vector<Poll> &polls) {
    if (polls.size() < 6)
        return 0.0;
    const Poll &from = polls[polls.size() - polls.size() / 3 - 1];
    const Poll &to = polls.back();
    const double blocks = double(to.blocksStored - from.blocksStored);
    return to.t > from.t ? blocks / (to.t - from.t) / (kRate / kScans) : 0.0;
}

// The files of a run: the binary file, or a FLAC recording's description and streams.
std::vector<std::string> filesOf(const std::string &path, int format, int cards) {
    std::vector<std::string> files = {path};
    if (format == StorageFormat::kFlacCounts)
        for (const std::string &stream : FlacRecordingFiles::streams(path, cards, false))
            files.push_back(stream);
    return files;
}

RunResult run(int cards, double seconds, int format) {
    const auto runStart = Clock::now();
    RunResult r;
    r.cards = cards;
    r.format = format;
    const std::string path = "gapfree_" + std::to_string(getpid()) + "_" + std::to_string(cards) + "." +
                             StorageFormat::extension(format);
    const std::vector<std::string> files = filesOf(path, format, cards);
    auto removeFiles = [&files] {
        for (const std::string &file : files)
            fs::remove(file);
    };
    // A run must not fill the disk others use: it needs at most the card data rate (FLAC at
    // most its 24 of 64 bits), and leaves a fifth of the free space.
    std::error_code spaceError;
    const double free = double(fs::space(fs::current_path(), spaceError).available);
    const double most =
        cards * kOneCardBytesPerSecond * seconds * (format == StorageFormat::kFlacCounts ? 0.375 : 1.0);
    if (!spaceError && most > 0.8 * free) {
        char text[128];
        std::snprintf(text, sizeof text, "not run: may need %.1f GB, %.1f GB free", most / 1e9, free / 1e9);
        r.failure = text;
        return r;
    }

    // What earlier runs and others left in the page cache is not this run's to write.
    sync();

    std::string resources;
    std::vector<ViInt16> cardNumbers;
    for (int i = 0; i < cards; ++i) {
        resources += (i ? "," : "") + carrierName(i / kSlotsPerCarrier);
        cardNumbers.push_back(static_cast<ViInt16>(i % kSlotsPerCarrier + 1));
    }
    ViSession vi = VI_NULL;
    ViStatus status = kq7150_multInit(resources.c_str(), cardNumbers.data(), VI_TRUE, VI_TRUE, &vi);
    if (status != VI_SUCCESS) {
        r.failure = "kq7150_multInit: " + driverText(status);
        return r;
    }
    ViSession card0 = VI_NULL;
    kq7150_getMultFCsession(vi, 0, &card0);

    // The ring, the file and its header or streams as the waveform view prepares them.
    auto storage = std::make_unique<ContinuousStorage>();
    ContinuousStorage::Plan plan;
    plan.format = format;
    plan.fileName = path;
    plan.scans = kScans;
    plan.rate = kRate;
    plan.masks.assign(static_cast<size_t>(cards), 0xFF);
    plan.gainIndex.assign(static_cast<size_t>(cards) * kChannelsPerCard, 0);
    std::vector<ViUInt16> masks(plan.masks.begin(), plan.masks.end());
    const ContinuousStorage::Result prepared = storage->prepare(plan);
    if (prepared != ContinuousStorage::Result::Ready) {
        r.failure = prepared == ContinuousStorage::Result::NoMemory ? "no memory for the ring"
                                                                    : "cannot create " + path;
        kq7150_multClose(vi);
        removeFiles();
        return r;
    }
    contParams_t &ring = storage->params();
    // ContinuousStorage::startWriter's task, on a thread of its own so that its CPU time can be
    // told from the driver's.
    ring.writerDone.exchange(false);
    std::atomic<long> writerTid{0};
    std::thread writer([&ring, &writerTid] {
        writerTid.exchange(static_cast<long>(syscall(SYS_gettid)));
        ring.writeAll();
    });
    acquisitionStatus.resetForStart();
    acquisitionStatus.callbacksEnabled.exchange(true);
    acquisitionStatus.callbackStopped.exchange(false);

    std::string startError;
    status = kq7150_setMultTrigConfig(vi, kq7150_TRIG_NONE, kq7150_MODE_EDGE, 1, 0.0, 0);
    if (status == VI_SUCCESS)
        status = kq7150_multConfig(vi, kq7150_SYNC_MBA, masks.data(), kRate, kq7150_ACQ_UNTRIGGERED, 0, 0, 0);
    if (status == VI_SUCCESS)
        status = kq7150_startMultAcquisitionEx(vi, kScans, &contParams_t::callback, &ring);
    if (status == VI_SUCCESS)
        status = kq7150_generateITRI(card0, kq7150_PULSE);
    if (status != VI_SUCCESS)
        startError = "start: " + driverText(status);

    // The GUI's poll, at its slowest: the error word latches, so a lost scan stays visible.
    std::vector<Poll> polls;
    uint16_t errorWord = 0;
    const std::map<long, double> cpuBefore = threadCpu();
    const double processBefore = processCpu();
    const auto start = Clock::now();
    while (startError.empty() && secondsSince(start) < seconds && ring.running.load() &&
           !(errorWord & kq7150_ERR_ACQ_MASK)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        ViInt16 state = 0, overflow = 0;
        ViUInt16 errors = 0;
        ViUInt32 backlog = 0;
        if (kq7150_checkMultAcquisition(vi, &state, &errors, &backlog, &overflow) < VI_SUCCESS)
            continue;
        errorWord |= errors;
        r.maxBacklog = std::max<uint32_t>(r.maxBacklog, backlog);
        const int fill = static_cast<int>(
            (ring.writeIndex.load() + contParams_t::kSlots - ring.readIndex.load()) % contParams_t::kSlots);
        polls.push_back({secondsSince(start), static_cast<double>(backlog), fill, ring.blocksStored.load()});
    }
    r.seconds = secondsSince(start);
    double driver = 0.0, main = 0.0;
    for (const auto &[tid, cpu] : threadCpu()) {
        const auto before = cpuBefore.find(tid);
        const double used = cpu - (before == cpuBefore.end() ? 0.0 : before->second);
        if (tid == static_cast<long>(getpid()))
            main += used;
        else if (tid != writerTid.load())
            driver += used;
    }
    r.driverCpu = driver / r.seconds;
    r.writerCpu = std::max(0.0, processCpu() - processBefore - driver - main) / r.seconds;

    // The view's stop: callbacks acknowledged off, cards stopped, writer ended, buffers freed.
    acquisitionStatus.callbacksEnabled.exchange(false);
    const auto waitStart = Clock::now();
    while (startError.empty() && !acquisitionStatus.callbackStopped.load() && secondsSince(waitStart) < 5.0)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    kq7150_stopMultAcquisition(vi);
    r.blocksRead = acquisitionStatus.blocksRead.load();
    ring.running.exchange(false);
    writer.join();
    r.bytesWritten = acquisitionStatus.bytesWritten.load();
    const std::string ringError = ring.error();
    storage->release();
    kq7150_multClose(vi);
    r.ran = startError.empty();

    errorWord |= acquisitionStatus.errors.load();
    r.errorWord = errorWord;
    const double slope = backlogSlope(polls, r.seconds);
    r.pace = 1.0 - slope / kRate;
    r.stored = storedShare(polls);
    double fill = 0;
    for (const Poll &p : polls)
        fill += p.ringFill;
    r.meanRingFill = polls.empty() ? 0.0 : fill / static_cast<double>(polls.size());

    const auto checkStart = Clock::now();
    RampFile file;
    const std::string gap = r.ran ? rampFileGap(path, kLsb, file, kChannelsPerCard) : "";
    r.blocksInFile = file.blocks;
    r.checkSeconds = secondsSince(checkStart);
    removeFiles();

    char word[32];
    std::snprintf(word, sizeof word, "0x%04X", errorWord);
    if (!startError.empty())
        r.failure = startError;
    else if (errorWord & kq7150_ERR_FIFO_OVERFLOW)
        r.failure = std::string("card memory overflow (error word ") + word + ")";
    else if (errorWord & kq7150_ERR_ACQ_MASK)
        r.failure = std::string("acquisition error word ") + word;
    else if (!ringError.empty())
        r.failure = "ring: " + ringError;
    else if (!gap.empty())
        r.failure = "file: " + gap;
    else if (r.blocksInFile != r.blocksRead || r.blocksRead == 0)
        r.failure = "file holds " + std::to_string(r.blocksInFile) + " of " + std::to_string(r.blocksRead) +
                    " blocks read";
    else if (r.pace < kMinPace) {
        char text[128];
        std::snprintf(text, sizeof text, "falling behind: reads at %.2f x real time", r.pace);
        r.failure = text;
    }
    r.wallSeconds = secondsSince(runStart);
    return r;
}

void printHeading() {
    std::printf("\n%-8s  %5s  %8s  %8s  %7s  %6s  %8s  %4s  %6s  %6s  %5s  %5s  %6s  %5s  %s\n", "format",
                "cards", "need", "written", "blocks", "pace", "backlog", "ring", "driver", "writer", "check",
                "run", "wrote", "of", "result");
    std::printf("%-8s  %5s  %8s  %8s  %7s  %6s  %8s  %4s  %6s  %6s  %5s  %5s  %6s  %5s\n", "", "", "MB/s",
                "MB/s", "", "x", "% card", "/16", "cores", "cores", "s", "s", "GB", "% RAM");
}

void print(const RunResult &r) {
    const double need = r.cards * kOneCardBytesPerSecond / 1e6;
    const double written = r.seconds > 0 ? r.bytesWritten / r.seconds / 1e6 : 0.0;
    const double ram = meminfo("MemTotal");
    std::printf(
        "%-8s  %5d  %8.1f  %8.1f  %7u  %6.2f  %8.0f  %4.1f  %6.2f  %6.2f  %5.1f  %5.1f  %6.2f  %5.1f  %s\n",
        formatName(r.format), r.cards, need, written, r.blocksRead, r.pace, r.maxBacklog / kFifoScans * 100.0,
        r.meanRingFill, r.driverCpu, r.writerCpu, r.checkSeconds, r.seconds, r.bytesWritten / 1e9,
        ram > 0 ? r.bytesWritten / ram * 100.0 : 0.0, r.gapFree() ? "gap-free" : r.failure.c_str());
    std::fflush(stdout);
}

// The largest gap-free count of one format and the smallest that lost scans, of the runs so far.
struct Search {
    int format = StorageFormat::kBinary64;
    int good = 0, bad = 0; // 0: none yet
    RunResult best;
    double longestRun = 0.0; // wall seconds of the costliest run
    RunResult last;

    bool measure(int cards, double seconds) {
        last = run(cards, seconds, format);
        longestRun = std::max(longestRun, last.wallSeconds);
        print(last);
        if (last.gapFree() && cards > good) {
            good = cards;
            best = last;
        }
        if (!last.gapFree() && (bad == 0 || cards < bad))
            bad = cards;
        return last.gapFree();
    }
};

// Card counts 1, 2, 4 ... until the first loss, then halving the gap while the next run, at
// most as costly as the costliest so far, ends before deadline seconds after benchStart.
void searchByHalving(Search &s, double seconds, Clock::time_point benchStart, double deadline) {
    for (int cards = 1; cards <= kMaxCards; cards *= 2)
        if (!s.measure(cards, seconds))
            break;
    while (s.bad > s.good + 1 && secondsSince(benchStart) + s.longestRun < deadline)
        s.measure((s.good + s.bad) / 2, seconds);
}

void printMachine() {
    std::printf(
        "memory (free -b): total %.2f GB, available %.2f GB; the kernel holds at most about %.2f GB of "
        "unwritten data, then writes wait for the disk\n",
        meminfo("MemTotal") / 1e9, meminfo("MemAvailable") / 1e9, dirtyLimitBytes() / 1e9);
}

// Bytes per second that reached the disk during a run at the least: what it wrote beyond the
// kernel's limit of unwritten data. 0 when it stayed below.
double diskRateOf(const RunResult &r) {
    const double beyond = double(r.bytesWritten) - dirtyLimitBytes();
    return beyond > 0 && r.seconds > 0 ? beyond / r.seconds : 0.0;
}

// What a search found, with what a reader needs to judge it. failedShort: the smallest count
// that lost scans in a short run, 0 when none did or there were none. diskRate: bytes per second
// the disk was shown to take in the same comparison, 0 when unknown.
void printResult(const Search &s, double seconds, int failedShort, double diskRate) {
    std::printf("%s: ", formatName(s.format));
    if (s.good == 0) {
        std::printf("none gap-free, not even one card\n");
        return;
    }
    const double need = s.good * kOneCardBytesPerSecond;
    std::printf(
        "%d cards gap-free for %.0f s = %.1f x one card's data rate (%.1f MB/s as ViReal64; written %.1f "
        "MB/s, %.2f GB)",
        s.good, s.best.seconds, need / kOneCardBytesPerSecond, need / 1e6,
        s.best.bytesWritten / s.best.seconds / 1e6, s.best.bytesWritten / 1e9);
    const bool shortBound = failedShort > 0 && (s.bad == 0 || failedShort < s.bad);
    const int bound = shortBound ? failedShort : s.bad;
    if (bound == 0)
        std::printf("; every card count up to the driver's %d was gap-free\n", kMaxCards);
    else
        std::printf("; %d cards lost scans%s%s\n", bound, shortBound ? " in a short run (not run long)" : "",
                    bound > s.good + 1 ? ", counts between were not tried within the time budget" : "");
    // A run that never fills the kernel's share of unwritten data has measured memory, not
    // the disk; a longer one is then held to the disk's own rate.
    const double dirty = dirtyLimitBytes();
    const double rate = s.best.bytesWritten / s.best.seconds;
    if (dirty > 0 && s.best.bytesWritten < dirty && diskRate > rate)
        std::printf(
            "  that run wrote %.2f GB, below the %.1f GB of unwritten data the kernel holds, at %.1f MB/s: "
            "less than the %.0f MB/s the disk took in the ViReal64 run, so the disk did not limit it\n",
            s.best.bytesWritten / 1e9, dirty / 1e9, rate / 1e6, diskRate / 1e6);
    else if (dirty > 0 && s.best.bytesWritten < dirty)
        std::printf(
            "  note: that run wrote %.2f GB, below the %.1f GB of unwritten data the kernel holds before "
            "writes wait for the disk: a run of %.1f s at that rate measures the page cache, not the disk\n",
            s.best.bytesWritten / 1e9, dirty / 1e9, seconds);
    else if (dirty > 0)
        std::printf(
            "  that run wrote %.2f GB, more than the %.1f GB of unwritten data the kernel holds: at least "
            "%.2f GB reached the disk while it ran, %.0f MB/s = %.1f x one card's data rate without the "
            "page cache's head start\n",
            s.best.bytesWritten / 1e9, dirty / 1e9, (s.best.bytesWritten - dirty) / 1e9,
            diskRateOf(s.best) / 1e6, diskRateOf(s.best) / kOneCardBytesPerSecond);
}

// One long run of the format's next count: first the short search's result; after a failure
// and no success yet, what the writer kept up with in the last third of that failure; then
// halving the gap between the largest success and the smallest failure. The short search's
// failure bounds the long runs: a count that lost scans within seconds will not last longer.
// False when the format is settled.
bool longStep(Search &s, const Search &quick, double seconds) {
    const int none = kMaxCards + 1;
    const int upper = std::min(s.bad ? s.bad : none, quick.bad ? quick.bad : none);
    if (s.good + 1 >= upper)
        return false;
    int next;
    if (s.good == 0 && s.bad == 0)
        next = std::max(1, quick.good);
    else if (s.good == 0)
        next = int(std::floor(s.last.cards * std::min(1.0, s.last.stored) * 0.97)); // with a margin
    else
        next = (s.good + upper) / 2;
    s.measure(std::clamp(next, s.good + 1, upper - 1), seconds);
    return true;
}

int compare(double seconds, Clock::time_point benchStart) {
    const int formats[] = {StorageFormat::kBinary64, StorageFormat::kFlacCounts};
    std::printf("\nshort runs of %.0f s first (a start for the long runs; the page cache takes their files), "
                "%.0f s of runs per format\n",
                kShortSeconds, kShortBudgetSeconds);
    printHeading();
    Search quick[2], slow[2];
    for (int f = 0; f < 2; ++f) {
        quick[f].format = slow[f].format = formats[f];
        searchByHalving(quick[f], kShortSeconds, Clock::now(), kShortBudgetSeconds);
    }
    std::printf(
        "\nlong runs of %.0f s, the formats taking turns while the next run fits in %.0f s from the start\n",
        seconds, kCompareBudgetSeconds);
    printHeading();
    bool active[2] = {true, true};
    while (active[0] || active[1]) {
        for (int f = 0; f < 2; ++f) {
            if (!active[f])
                continue;
            // A long run costs at least its length and at most what the costliest long run did.
            const double cost = std::max(slow[f].longestRun, seconds + 10.0);
            if (secondsSince(benchStart) + cost > kCompareBudgetSeconds ||
                !longStep(slow[f], quick[f], seconds))
                active[f] = false;
        }
    }
    std::printf("\nlargest gap-free in runs of %.0f s:\n", seconds);
    for (int f = 0; f < 2; ++f)
        printResult(slow[f], seconds, quick[f].bad, diskRateOf(slow[0].best));
    if (slow[0].good > 0 && slow[1].good > 0)
        std::printf("ratio FLAC / ViReal64 in cards stored gap-free for %.0f s: %.2f\n", seconds,
                    double(slow[1].good) / slow[0].good);
    printMachine();
    std::printf("total %.1f s (load average %s at the end)\n", secondsSince(benchStart),
                loadAverage().c_str());
    return 0;
}

} // namespace

int main(int argc, char **argv) {
    int format = StorageFormat::kBinary64;
    bool both = false;
    double seconds = 0.0;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--compare")
            both = true;
        else if (arg == "--format=flac")
            format = StorageFormat::kFlacCounts;
        else if (arg == "--format=binary")
            format = StorageFormat::kBinary64;
        else if (std::atof(arg.c_str()) > 0)
            seconds = std::atof(arg.c_str());
        else
            std::printf(
                "ignored: %s (usage: bench_gapfree [--format=binary|flac] [seconds] | --compare [seconds])\n",
                arg.c_str());
    }
    if (seconds <= 0)
        seconds = both ? kLongSeconds : 5.0;
    const auto benchStart = Clock::now();
    std::printf(
        "bench_gapfree: continuous storage of K simulated cards x %d channels at %.0f Hz, %d scans per "
        "block, %s without timestamps, %.1f s per run\n",
        kChannelsPerCard, kRate, kScans, both ? "ViReal64 against FLAC" : formatName(format), seconds);
    std::printf(
        "signals: channel 1 of every card the ramp (checked for gaps in the file read back), channels 2-8 "
        "the default world's\n");
    // Other work on the machine takes cores from the runs; the load says how much there was.
    std::printf("cores: %u (load average %s at the start)\n", std::thread::hardware_concurrency(),
                loadAverage().c_str());
    printMachine();
    std::printf("baseline: the real-time data rate of one card, %d x %.0f x 8 B/s = %.3f MB/s\n",
                kChannelsPerCard, kRate, kOneCardBytesPerSecond / 1e6);
    if (!loadWorld(worldJson()))
        return 0;
    if (both)
        return compare(seconds, benchStart);

    printHeading();
    Search s;
    s.format = format;
    searchByHalving(s, seconds, benchStart, kBudgetSeconds * seconds / 5.0);
    std::printf("\nlargest gap-free, ");
    printResult(s, seconds, 0, 0.0);
    std::printf("total %.1f s\n", secondsSince(benchStart));
    return 0;
}
