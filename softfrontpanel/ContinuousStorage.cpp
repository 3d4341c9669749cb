#include "ContinuousStorage.h"

#include "DataFileWriter.h"
#include "StorageFormat.h"

#include <QFile>
#include <QString>
#include <QThread>
#include <QThreadPool>
#include <QtConcurrent>

#include <cstdio>

ContinuousStorage::Result ContinuousStorage::prepare(const Plan &plan)
{
    contParams_t &p = m_params;
    p.file = nullptr;
    p.format = plan.format;
    p.sampleWidth = StorageFormat::sampleWidth(plan.format);
    p.channels = 0;
    for (size_t c = 0; c < plan.masks.size(); ++c)
        for (int k = 0; k < 8; ++k)
            if ((plan.masks[c] >> k) & 1)
                p.lsb[p.channels++] = StorageFormat::lsb(plan.gainIndex[c * 8 + k]);
    p.scans = p.displayScans = plan.scans;
    if (!p.allocate()) {
        std::printf("Unable to allocate memory.\n");
        return Result::NoMemory;
    }
    p.single = plan.single;
    p.fileName = plan.fileName;
    p.timestamps = plan.timestamps;
    if (!plan.fileName.empty() && !openFile(plan)) {
        p.release();
        return Result::CannotOpen;
    }
    p.running.exchange(true);
    return Result::Ready;
}

bool ContinuousStorage::openFile(const Plan &plan)
{
    contParams_t &p = m_params;
    const bool text = StorageFormat::isCsv(plan.format);
    const QByteArray name = QFile::encodeName(QString::fromStdString(plan.fileName));
    p.file = std::fopen(name.constData(), text ? "w" : "wb");
    if (!p.file)
        return false;
    bool written;
    if (text) {
        written = DataFileWriter::writeCsvHeader(p.file, plan.format == StorageFormat::kCsvMilli, plan.rate,
                                                 std::vector<uint8_t>(plan.masks.begin(), plan.masks.end()),
                                                 plan.timestamps);
    } else {
        DataFileHeader header;
        header.format = plan.format;
        header.rate = plan.rate;
        header.channels = p.channels;
        header.scans = plan.scans;
        header.masks.assign(plan.masks.begin(), plan.masks.end());
        header.timeOffset = -plan.preTrigger / plan.rate;
        header.timestamps = plan.timestamps;
        written = DataFileWriter::writeHeader(p.file, header);
    }
    // A header that did not reach the disk is the same failure as the writer's later ones.
    if (!written)
        p.setError("Disk write failed!");
    return true;
}

void ContinuousStorage::startWriter()
{
    if (!m_params.file)
        return;
    QThreadPool::globalInstance()->setMaxThreadCount(32);
    std::atomic<bool> started{false};
    m_writer = QtConcurrent::run([this, &started] {
        started.exchange(true);
        m_params.writeAll();
    });
    while (!started.load())
        QThread::yieldCurrentThread();
}

std::string ContinuousStorage::finish()
{
    m_params.running.exchange(false);
    m_writer.waitForFinished();
    m_writer = QFuture<void>();
    return m_params.error();
}
