// kq7150-tool measure --all on a stored file of more than 1 GiB against reading the same file
// sequentially with cat, in the same run: blocks per second, MB/s and their ratio. The file is
// written in a temporary folder beside the build folder (the same disk) and removed
// afterwards. Both read it from the page cache, as it has just been written. It reports; it
// never fails.
#include "DataFileWriter.h"
#include "StorageFormat.h"

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

using Clock = std::chrono::steady_clock;

constexpr int kChannels = 8;
constexpr int kScans = 65536;
constexpr double kRate = 216000.0;
constexpr uint64_t kBlockBytes = uint64_t(kChannels) * kScans * sizeof(double);
constexpr int kBlocks = 260; // 1.02 GiB
constexpr uint64_t kNeededFree = uint64_t(3) << 30;

// Writes the file as continuous storage does: the header, then the blocks one by one. Every
// block is the same tones; the analysis costs the same whatever the samples are.
bool writeFile(const std::string &path) {
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
    std::vector<double> block(std::size_t(kChannels) * kScans);
    for (int e = 0; e < kChannels; ++e)
        for (int i = 0; i < kScans; ++i)
            block[std::size_t(e) * kScans + i] =
                (1.0 + 0.1 * e) * std::sin(2 * M_PI * (1000.0 + 317.0 * e) * i / kRate);
    for (int b = 0; ok && b < kBlocks; ++b)
        ok = DataFileWriter::writeBlock(file, nullptr, nullptr, kScans, block.data(), kBlockBytes);
    return std::fclose(file) == 0 && ok;
}

// Seconds that program took with its standard output on /dev/null; negative when it failed.
double timed(std::vector<std::string> args) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
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
    if (!writeFile(path)) {
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
    return 0;
}
