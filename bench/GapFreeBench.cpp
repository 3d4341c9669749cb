// How many simulated cards, each with 8 channels at 216 kHz, this machine can store
// continuously to a binary file without losing a scan, through the program's own storage path:
// the ring of contParams_t fed by the driver's callback, its writer task, the binary header and
// the program-wide acquisition status, started and stopped in the waveform view's order.
// The card counts 1, 2, 4 ... 64 run until the first loss, then the gap between the last good
// count and the failing one is bisected while the time budget allows. The baseline is the
// real-time data rate of one card, so the result reads as "K times one card".
// It reports; it never fails.
//
// Usage: bench_gapfree [seconds per run, default 5]. Files go to the current folder and are
// deleted after each run.
#include "AcquisitionStatus.h"
#include "DataFileWriter.h"
#include "RampFile.h"
#include "StorageFormat.h"
#include "contParams_t.h"
#include "fileInfo_t.h"

#include "kq7150.h"
#include "kqsim_control.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

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

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

std::string carrierName(int carrier) {
    return "VXI0::" + std::to_string(carrier + 1) + "::INSTR";
}

// Every card the runs may use, all producing the ramp: its counts say where a scan belongs,
// so a read-back file can prove that none is missing.
std::string worldJson() {
    const int carriers = (kMaxCards + kSlotsPerCarrier - 1) / kSlotsPerCarrier;
    std::string text = R"({"carriers":[)";
    for (int c = 0; c < carriers; ++c) {
        text += (c ? "," : "");
        text += R"({"resources":[")" + carrierName(c) + R"("],"interface":"VXI","logicalAddress":)" +
                std::to_string(c + 1) + R"(,"slots":)" + std::to_string(kSlotsPerCarrier) +
                R"(,"referenceVoltages":[0.0,2.5],"cards":[)";
        for (int s = 1; s <= kSlotsPerCarrier; ++s) {
            char serial[16];
            std::snprintf(serial, sizeof serial, "0x715%05X", c * kSlotsPerCarrier + s);
            text += (s > 1 ? "," : "");
            text += R"({"slot":)" + std::to_string(s) + R"(,"serial":")" + serial +
                    R"(","signal":{"type":"ramp"}})";
        }
        text += "]}";
    }
    return text + "]}";
}

bool loadWorld() {
    const fs::path path = fs::temp_directory_path() / ("kqsim_gapfree_" + std::to_string(getpid()) + ".json");
    std::ofstream(path) << worldJson();
    setenv("KQ7150_SIM_CONFIG", path.c_str(), 1);
    const int result = kqsim_reload();
    // The simulation has read it; nothing of the world stays behind.
    fs::remove(path);
    if (result != 0) {
        char error[512] = "";
        kqsim_loadError(error, sizeof error);
        std::printf("the world was refused: %s\n", error);
    }
    return result == 0;
}

std::string driverText(ViStatus status) {
    ViChar text[kq7150_ERROR_MSG_BUFLEN] = "";
    kq7150_error_message(VI_NULL, status, text);
    return text;
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

std::string loadAverage() {
    std::ifstream in("/proc/loadavg");
    std::string one;
    in >> one;
    return one.empty() ? "?" : one;
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
    std::ifstream meminfo("/proc/meminfo");
    std::string key;
    double kilobytes = 0;
    while (meminfo >> key >> kilobytes) {
        if (key == "MemAvailable:")
            return number("/proc/sys/vm/dirty_ratio") / 100.0 * kilobytes * 1024.0;
        meminfo.ignore(256, '\n');
    }
    return 0;
}

struct Poll {
    double t;
    double backlog;
    int ringFill;
};

struct RunResult {
    int cards = 0;
    bool ran = false; // false: the run could not even start
    std::string failure;
    double seconds = 0.0;
    uint32_t blocksRead = 0;
    uint64_t blocksInFile = 0;
    uint64_t bytesWritten = 0;
    uint16_t errorWord = 0;
    double pace = 0.0;         // scans read per scan produced, late part of the run
    double meanRingFill = 0.0; // slots waiting for the writer, of 16
    uint32_t maxBacklog = 0;
    double checkSeconds = 0.0;
    double driverCpu = 0.0; // cores busy on the driver's threads during the run
    double writerCpu = 0.0; // cores busy on the writer
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

RunResult run(int cards, double seconds) {
    RunResult r;
    r.cards = cards;
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

    // Over a megabyte of per-channel factors: kept off the stack.
    auto ring = std::make_unique<contParams_t>();
    ring->format = StorageFormat::kBinary64;
    ring->sampleWidth = 8;
    ring->channels = cards * kChannelsPerCard;
    ring->scans = ring->displayScans = kScans;
    ring->timestamps = false;
    for (int k = 0; k < ring->channels; ++k)
        ring->lsb[k] = kLsb;
    const std::string path = "gapfree_" + std::to_string(getpid()) + "_" + std::to_string(cards) + ".bin7150";
    std::vector<ViUInt16> masks(static_cast<size_t>(cards), 0xFF);

    auto fail = [&](const std::string &text) {
        r.failure = text;
        kq7150_multClose(vi);
        ring->release();
        fs::remove(path);
        return r;
    };
    if (!ring->allocate())
        return fail(ring->error());
    ring->file = std::fopen(path.c_str(), "wb");
    if (!ring->file)
        return fail("cannot create " + path);
    DataFileHeader header;
    header.format = StorageFormat::kBinary64;
    header.rate = kRate;
    header.channels = ring->channels;
    header.scans = kScans;
    header.masks.assign(static_cast<size_t>(cards), 0xFF);
    if (!DataFileWriter::writeHeader(ring->file, header)) {
        std::fclose(ring->file);
        ring->file = nullptr;
        return fail("header not written");
    }
    ring->running.exchange(true);
    std::atomic<long> writerTid{0};
    std::thread writer([&ring, &writerTid] {
        writerTid.exchange(static_cast<long>(syscall(SYS_gettid)));
        ring->writeAll();
    });
    acquisitionStatus.resetForStart();
    acquisitionStatus.callbacksEnabled.exchange(true);
    acquisitionStatus.callbackStopped.exchange(false);

    std::string startError;
    status = kq7150_setMultTrigConfig(vi, kq7150_TRIG_NONE, kq7150_MODE_EDGE, 1, 0.0, 0);
    if (status == VI_SUCCESS)
        status = kq7150_multConfig(vi, kq7150_SYNC_MBA, masks.data(), kRate, kq7150_ACQ_UNTRIGGERED, 0, 0, 0);
    if (status == VI_SUCCESS)
        status = kq7150_startMultAcquisitionEx(vi, kScans, &contParams_t::callback, ring.get());
    if (status == VI_SUCCESS)
        status = kq7150_generateITRI(card0, kq7150_PULSE);
    if (status != VI_SUCCESS)
        startError = "start: " + driverText(status);

    // The GUI's poll, at its slowest: the error word latches, so a lost scan stays visible.
    std::vector<Poll> polls;
    uint16_t errorWord = 0;
    const std::map<long, double> cpuBefore = threadCpu();
    const auto start = Clock::now();
    while (startError.empty() && secondsSince(start) < seconds && ring->running.load() &&
           !(errorWord & kq7150_ERR_ACQ_MASK)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        ViInt16 state = 0, overflow = 0;
        ViUInt16 errors = 0;
        ViUInt32 backlog = 0;
        if (kq7150_checkMultAcquisition(vi, &state, &errors, &backlog, &overflow) < VI_SUCCESS)
            continue;
        errorWord |= errors;
        r.maxBacklog = std::max<uint32_t>(r.maxBacklog, backlog);
        const int fill = static_cast<int>((ring->writeIndex.load() + contParams_t::kSlots - ring->readIndex.load()) %
                                          contParams_t::kSlots);
        polls.push_back({secondsSince(start), static_cast<double>(backlog), fill});
    }
    r.seconds = secondsSince(start);
    for (const auto &[tid, cpu] : threadCpu()) {
        const auto before = cpuBefore.find(tid);
        const double used = cpu - (before == cpuBefore.end() ? 0.0 : before->second);
        if (tid == writerTid.load())
            r.writerCpu += used / r.seconds;
        else if (tid != static_cast<long>(getpid()))
            r.driverCpu += used / r.seconds;
    }

    // The view's stop: callbacks acknowledged off, cards stopped, writer ended, buffers freed.
    acquisitionStatus.callbacksEnabled.exchange(false);
    const auto waitStart = Clock::now();
    while (startError.empty() && !acquisitionStatus.callbackStopped.load() && secondsSince(waitStart) < 5.0)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    kq7150_stopMultAcquisition(vi);
    r.blocksRead = acquisitionStatus.blocksRead.load();
    ring->running.exchange(false);
    writer.join();
    r.bytesWritten = acquisitionStatus.bytesWritten.load();
    const std::string ringError = ring->error();
    ring->release();
    kq7150_multClose(vi);
    r.ran = startError.empty();

    errorWord |= acquisitionStatus.errors.load();
    r.errorWord = errorWord;
    const double slope = backlogSlope(polls, r.seconds);
    r.pace = 1.0 - slope / kRate;
    double fill = 0;
    for (const Poll &p : polls)
        fill += p.ringFill;
    r.meanRingFill = polls.empty() ? 0.0 : fill / static_cast<double>(polls.size());

    const auto checkStart = Clock::now();
    RampFile file;
    const std::string gap = r.ran ? rampFileGap(path, kLsb, file) : "";
    r.blocksInFile = file.blocks;
    r.checkSeconds = secondsSince(checkStart);
    fs::remove(path);

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
    return r;
}

void print(const RunResult &r) {
    const double need = r.cards * kOneCardBytesPerSecond / 1e6;
    const double written = r.seconds > 0 ? r.bytesWritten / r.seconds / 1e6 : 0.0;
    std::printf("%5d  %8.1f  %8.1f  %7u  %6.2f  %8.0f  %4.1f  %6.2f  %6.2f  %5.1f  %s\n", r.cards, need, written,
                r.blocksRead, r.pace, r.maxBacklog / kFifoScans * 100.0, r.meanRingFill, r.driverCpu, r.writerCpu,
                r.checkSeconds,
                r.gapFree() ? "gap-free" : r.failure.c_str());
    std::fflush(stdout);
}

} // namespace

int main(int argc, char **argv) {
    double seconds = 5.0;
    if (argc > 1) {
        const double s = std::atof(argv[1]);
        if (s > 0)
            seconds = s;
    }
    const auto benchStart = Clock::now();
    std::printf("bench_gapfree: continuous storage of K simulated cards x %d channels at %.0f Hz, %d scans "
                "per block, ViReal64 without timestamps, %.1f s per run\n",
                kChannelsPerCard, kRate, kScans, seconds);
    // Other work on the machine takes cores from the runs; the load says how much there was.
    std::printf("cores: %u (load average %s at the start)\n", std::thread::hardware_concurrency(),
                loadAverage().c_str());
    std::printf("baseline: the real-time data rate of one card, %d x %.0f x 8 B/s = %.3f MB/s\n",
                kChannelsPerCard, kRate, kOneCardBytesPerSecond / 1e6);
    if (!loadWorld())
        return 0;
    std::printf("\n%5s  %8s  %8s  %7s  %6s  %8s  %4s  %6s  %6s  %5s  %s\n", "cards", "need", "written", "blocks",
                "pace", "backlog", "ring", "driver", "writer", "check", "result");
    std::printf("%5s  %8s  %8s  %7s  %6s  %8s  %4s  %6s  %6s  %5s\n", "", "MB/s", "MB/s", "", "x", "% mem", "/16",
                "cores", "cores", "s");

    int good = 0, bad = 0;
    RunResult best;
    double longestRun = 0.0;
    auto measure = [&](int cards) {
        const auto t = Clock::now();
        const RunResult r = run(cards, seconds);
        longestRun = std::max(longestRun, secondsSince(t));
        print(r);
        if (r.gapFree() && cards > good) {
            good = cards;
            best = r;
        }
        if (!r.gapFree() && (bad == 0 || cards < bad))
            bad = cards;
        return r.gapFree();
    };
    for (int cards = 1; cards <= kMaxCards; cards *= 2)
        if (!measure(cards))
            break;
    // The next run costs at most what the longest did so far.
    while (bad > good + 1 && secondsSince(benchStart) + longestRun < kBudgetSeconds * seconds / 5.0)
        measure((good + bad) / 2);

    std::printf("\n");
    if (good == 0) {
        std::printf("largest gap-free: none, not even one card\n");
    } else {
        const double need = good * kOneCardBytesPerSecond;
        std::printf("largest gap-free: %d cards = %.1f x one card's data rate (%.1f MB/s; one card %.3f MB/s; "
                    "written %.1f MB/s)\n",
                    good, need / kOneCardBytesPerSecond, need / 1e6, kOneCardBytesPerSecond / 1e6,
                    best.bytesWritten / best.seconds / 1e6);
        // A run that never fills the kernel's share of unwritten data has measured memory, not
        // the disk; a longer one is then held to the disk's own rate.
        const double dirty = dirtyLimitBytes();
        if (dirty > 0 && need > 0 && best.bytesWritten < dirty)
            std::printf("note: the run wrote %.2f GB, below the %.1f GB of unwritten data the kernel holds before "
                        "writes wait for the disk (not before about %.0f s at %d cards): a run of %.1f s "
                        "measures the page cache, a longer one the disk\n",
                        best.bytesWritten / 1e9, dirty / 1e9, dirty / need, good, seconds);
        if (bad == 0)
            std::printf("every card count up to the driver's %d was gap-free\n", kMaxCards);
        else if (bad > good + 1)
            std::printf("(%d cards failed; counts between were not tried within the time budget)\n", bad);
        else
            std::printf("(%d cards failed)\n", bad);
    }
    std::printf("total %.1f s\n", secondsSince(benchStart));
    return 0;
}
