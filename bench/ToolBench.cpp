// kq7150-tool measure --all on a stored file of more than 1 GiB against reading the same file
// sequentially with cat, and against what a user would write instead (numpy_measure.py: window,
// real FFT, THD and SNR per channel, no fits, on one core), in the same run: blocks per second,
// MB/s and their ratios, the numpy one per core. The file is
// written in a temporary folder beside the build folder (the same disk) and removed
// afterwards. Both read it from the page cache, as it has just been written. It reports; it
// never fails.
#include "BenchClock.h"
#include "DataFileWriter.h"
#include "StorageFormat.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace fs = std::filesystem;

namespace {

constexpr int kChannels = 8;
constexpr int kScans = 65536;
constexpr double kRate = 216000.0;
constexpr uint64_t kBlockBytes = uint64_t(kChannels) * kScans * sizeof(double);
constexpr int kBlocks = 260; // 1.02 GiB
constexpr uint64_t kNeededFree = uint64_t(3) << 30;

// Writes the file as continuous storage does: the header (its length to headerBytes), then the
// blocks one by one. Every block is the same tones; the analysis costs the same whatever the
// samples are.
bool writeFile(const std::string &path, long &headerBytes) {
    std::FILE *file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    DataFileHeader header;
    header.format = StorageFormat::kBinary64;
    header.rate = kRate;
    header.channels = kChannels;
    header.scans = kScans;
    header.masks = {0xFF};
    bool ok = DataFileWriter::writeHeader(file, header);
    headerBytes = std::ftell(file);
    std::vector<double> block(std::size_t(kChannels) * kScans);
    for (int e = 0; e < kChannels; ++e)
        for (int i = 0; i < kScans; ++i)
            block[std::size_t(e) * kScans + i] =
                (1.0 + 0.1 * e) * std::sin(2 * M_PI * (1000.0 + 317.0 * e) * i / kRate);
    for (int b = 0; ok && b < kBlocks; ++b)
        ok = DataFileWriter::writeBlock(file, nullptr, nullptr, kScans, block.data(), kBlockBytes);
    return std::fclose(file) == 0 && ok;
}

// Seconds that program took with its standard output on /dev/null (or on `output`), its
// standard error on /dev/null too when quiet; negative when it failed.
double timed(std::vector<std::string> args, const std::string &output = "/dev/null", bool quiet = false) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    if (quiet)
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    std::vector<char *> argv;
    for (std::string &a : args)
        argv.push_back(&a[0]);
    argv.push_back(nullptr);
    const auto start = Clock::now();
    pid_t pid = 0;
    int status = 0;
    const bool ran = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0 &&
                     waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    posix_spawn_file_actions_destroy(&actions);
    return ran ? seconds : -1.0;
}

// Debian's interpreter, which python3-numpy serves, before whatever python3 the PATH finds first.
std::string pythonWithNumpy() {
    for (const char *python : {"/usr/bin/python3", "python3"})
        if (timed({python, "-c", "import numpy"}, "/dev/null", true) >= 0)
            return python;
    return "";
}

// Seconds numpy_measure.py took on the file, and whether it measured every block; negative when
// it could not run.
double timedNumpy(const std::string &python, const fs::path &folder, const std::string &path,
                  long headerBytes) {
    const std::string blocksFile = (folder / "numpy_blocks.txt").string();
    const double seconds = timed({python, KQ_NUMPY_SCRIPT, path, std::to_string(headerBytes),
                                  std::to_string(kChannels), std::to_string(kScans)},
                                 blocksFile);
    std::FILE *file = std::fopen(blocksFile.c_str(), "r");
    int blocks = -1;
    if (file) {
        if (std::fscanf(file, "%d", &blocks) != 1)
            blocks = -1;
        std::fclose(file);
    }
    return blocks == kBlocks ? seconds : -1.0;
}

} // namespace

int main() {
    const fs::path bin = fs::read_symlink("/proc/self/exe").parent_path();
    const fs::path buildFolder = bin.parent_path();
    const std::string tool = (bin / "kq7150-tool").string();
    std::error_code error;
    const uint64_t available = fs::space(buildFolder, error).available;
    const double fileBytes = double(kBlocks) * double(kBlockBytes);
    std::printf(
        "kq7150-tool measure --all: %d blocks of %d channels x %d scans (ViReal64), %.2f GiB, on %u cores\n",
        kBlocks, kChannels, kScans, fileBytes / 1073741824.0, std::thread::hardware_concurrency());
    if (error || available < kNeededFree) {
        std::printf("  skipped: %.2f GiB free beside %s, 3 GiB needed\n", double(available) / 1073741824.0,
                    buildFolder.c_str());
        return 0;
    }
    const fs::path folder = buildFolder / ("bench_tool_" + std::to_string(getpid()));
    fs::create_directories(folder);
    const std::string path = (folder / "large.bin7150").string();
    long headerBytes = 0;
    if (!writeFile(path, headerBytes)) {
        std::printf("  the file could not be written in %s\n", folder.c_str());
        fs::remove_all(folder);
        return 0;
    }

    timed({"cat", path}); // the whole file in the page cache for both
    double cat = -1.0;
    for (int run = 0; run < 3; ++run) {
        const double seconds = timed({"cat", path});
        if (seconds > 0 && (cat < 0 || seconds < cat))
            cat = seconds;
    }
    const double measure = timed({tool, "measure", path, "--all"});
    const std::string python = pythonWithNumpy();
    const double numpy = python.empty() ? -1.0 : timedNumpy(python, folder, path, headerBytes);
    fs::remove_all(folder);
    if (cat <= 0 || measure <= 0) {
        std::printf("  FAILED: cat %s, kq7150-tool %s\n", cat > 0 ? "ran" : "failed",
                    measure > 0 ? "ran" : "failed");
        return 0;
    }
    const double catRate = fileBytes / cat / 1e6, toolRate = fileBytes / measure / 1e6;
    std::printf("  baseline cat FILE > /dev/null (best of 3): %8.3f s  %9.1f MB/s  %8.1f blocks/s\n", cat,
                catRate, kBlocks / cat);
    std::printf("  kq7150-tool measure FILE --all > /dev/null: %8.3f s  %9.1f MB/s  %8.1f blocks/s\n",
                measure, toolRate, kBlocks / measure);
    std::printf("  ratio tool / cat: %.4f (%.0f x slower than reading the file)\n", toolRate / catRate,
                catRate / toolRate);
    if (python.empty()) {
        std::printf("  numpy baseline skipped: no python3 with numpy (Debian package python3-numpy)\n");
        return 0;
    }
    if (numpy <= 0) {
        std::printf("  numpy baseline FAILED: %s %s did not measure the %d blocks\n", python.c_str(),
                    KQ_NUMPY_SCRIPT, kBlocks);
        return 0;
    }
    // The tool spreads the blocks over every core, the script runs on one.
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    const double toolPerCore = kBlocks / measure / cores, numpyBlocks = kBlocks / numpy;
    std::printf("  baseline numpy_measure.py (window, rfft, THD, SNR; 1 core): %8.3f s  %8.1f blocks/s\n",
                numpy, numpyBlocks);
    std::printf("  ratio per core, tool (%.1f blocks/s / %u cores) / numpy: %.3f (target >= 0.5)\n",
                kBlocks / measure, cores, toolPerCore / numpyBlocks);
    return 0;
}
