// The tool run as a separate process, and the recordings its tests give it.
#pragma once

#include "StoredRecording.h"

#include <QProcess>
#include <QStringList>

#include <string>
#include <vector>

struct ToolRun {
    int status = -1; // -1: did not end normally
    std::string out;
    std::string err;
};

inline ToolRun runTool(const QStringList &args) {
    QProcess process;
    process.start(KQ_TOOL, args);
    ToolRun run;
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit)
        return run;
    run.status = process.exitCode();
    run.out = process.readAllStandardOutput().toStdString();
    run.err = process.readAllStandardError().toStdString();
    return run;
}

inline std::vector<std::string> lines(const std::string &text) {
    std::vector<std::string> result;
    for (std::size_t at = 0, end; at < text.size(); at = end + 1) {
        end = text.find('\n', at);
        if (end == std::string::npos)
            end = text.size();
        result.push_back(text.substr(at, end - at));
    }
    return result;
}

// masks, blocks of scans at rate from preTrigger scans before the trigger, channels at gains 1
// and 2 in turn.
inline StoredRecording toolRecording(int format, std::vector<uint8_t> masks, bool timestamps, int blocks = 3,
                                     int scans = 1000, double rate = 10000.0, int preTrigger = 250) {
    StoredRecording r;
    r.withFormat(format).withMasks(std::move(masks)).withTimestamps(timestamps).withBlocks(blocks);
    r.withScans(scans).withRate(rate).withPreTrigger(preTrigger);
    for (int k = 0; k < r.channels(); ++k)
        r.lsb.push_back(StorageFormat::lsb(k % 2));
    return r;
}

// One and three cards, with and without timestamps, both sample widths. The storage dialog
// offers timestamps with ViReal64 only; the storage itself writes them with ViReal32 too, and
// the reader takes such files.
inline std::vector<StoredRecording> programRecordings() {
    return {toolRecording(StorageFormat::kBinary64, {0x05}, true),
            toolRecording(StorageFormat::kBinary32, {0x81}, false, 2, 1024, 20000.0, 0),
            toolRecording(StorageFormat::kBinary64, {0x03, 0x30, 0x81}, false, 4, 600, 6000.0, 60),
            toolRecording(StorageFormat::kBinary32, {0x01, 0x02, 0x80}, true)};
}
