// The tool run as a separate process, and the recordings its tests give it.
#pragma once

#include "ContinuousStorage.h"
#include "StoredRecording.h"

#include <gtest/gtest.h>

#include <QProcess>
#include <QStringList>

#include <algorithm>
#include <sstream>
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
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        result.push_back(line);
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

// Stores r through the continuous storage, as during an acquisition: its plan, the ring's slots
// filled as the driver's callback fills them, its writer task and its end. The header and the
// CSV lines are then the storage's own.
inline void storeThroughTheStorage(const StoredRecording &r, const std::string &path) {
    ASSERT_LT(r.blocks, int(contParams_t::kSlots)) << "one pass of the ring";
    ContinuousStorage storage;
    ContinuousStorage::Plan plan;
    plan.format = r.format;
    plan.fileName = path;
    plan.timestamps = r.timestamps;
    plan.scans = r.scans;
    plan.rate = r.rate;
    plan.preTrigger = r.preTrigger;
    plan.masks.assign(r.masks.begin(), r.masks.end());
    plan.gainIndex.assign(r.masks.size() * 8, 0);
    ASSERT_EQ(storage.prepare(plan), ContinuousStorage::Result::Ready) << path;
    contParams_t &p = storage.params();
    for (int b = 0; b < r.blocks; ++b) {
        const std::vector<double> v = r.block(b);
        if (r.floats())
            std::copy(v.begin(), v.end(), static_cast<float *>(p.data[b]));
        else
            std::copy(v.begin(), v.end(), static_cast<double *>(p.data[b]));
        for (int i = 0; i < r.scans; ++i) {
            p.seconds[b][i] = r.second(int64_t(b) * r.scans + i);
            p.nanoseconds[b][i] = r.nanosecond(int64_t(b) * r.scans + i);
        }
    }
    p.writeIndex.exchange(uint32_t(r.blocks));
    storage.startWriter();
    ASSERT_EQ(storage.finish(), "") << path;
    storage.release();
}
