#include "AcquisitionEngine.h"

#include "AcquisitionObserver.h"
#include "AcquisitionStatus.h"
#include "DriverErrorReporter.h"
#include "StatusLine.h"

#include <chrono>
#include <cstdio>
#include <future>
#include <thread>

namespace {

// How long a stop waits for the writer before the caller goes on and waits in the background.
constexpr auto kDiskWait = std::chrono::seconds(1);

} // namespace

AcquisitionEngine::AcquisitionEngine(ViSession session, AcquisitionObserver &observer)
    : m_driver(session), m_observer(observer) {}

AcquisitionEngine::Start AcquisitionEngine::start(const AcquisitionSettings &settings) {
    m_settings = settings;
    m_plan = settings.plan();
    m_running = true;
    m_driver.configure(m_plan, settings.triggerEdge, settings.triggerLevel, settings.channels.masks(),
                       settings.rate, settings.pipeline);
    if (settings.storage)
        return startStorage();
    if (settings.triggerSource == TriggerPlan::kPtpAlarm)
        startAtAlarm(false);
    else
        m_driver.start();
    return Start::Running;
}

// Buffers, file and writer first; then the cards start calling back with their blocks.
AcquisitionEngine::Start AcquisitionEngine::startStorage() {
    ContinuousStorage::Plan plan;
    plan.format = m_settings.format;
    plan.fileName = m_settings.fileName;
    plan.path = m_settings.filePath;
    plan.timestamps = m_settings.timestamps && m_settings.triggerSource == TriggerPlan::kPtpAlarm;
    plan.single = !m_settings.repetitive;
    plan.scans = m_settings.scans;
    plan.rate = m_settings.rate;
    plan.preTrigger = m_plan.preTrigger;
    plan.masks = m_settings.channels.masks();
    plan.gainIndex = m_settings.gainIndex;
    switch (m_storage.prepare(plan)) {
    case ContinuousStorage::Result::Ready:
        break;
    case ContinuousStorage::Result::NoMemory:
        m_observer.error(m_storage.params().error());
        return Start::Refused;
    case ContinuousStorage::Result::CannotOpen:
        std::printf("Cannot open file: \"%s\" for writing.\n", plan.fileName.c_str());
        m_observer.cannotOpen(plan.fileName);
        return Start::Refused;
    }
    m_storing = true;
    m_storage.startWriter();
    acquisitionStatus.callbacksEnabled.exchange(true);
    acquisitionStatus.callbackStopped.exchange(false);
    acquisitionStatus.singleDone.exchange(false);
    if (m_settings.triggerSource == TriggerPlan::kPtpAlarm)
        startAtAlarm(true);
    else
        m_driver.startWithCallback(m_settings.scans, &contParams_t::callback, &m_storage.params());
    return m_driver.poll(acquisitionStatus) ? Start::Running : Start::Failed;
}

// The start waits on a thread of its own for the card clock to reach the alarm, which may
// take long; the observer keeps the user's side going meanwhile.
void AcquisitionEngine::startAtAlarm(bool withCallback) {
    startMultInThd_params_t params;
    params.session = m_driver.session();
    params.startTime = m_settings.alarmTime;
    if (withCallback) {
        params.callback = &contParams_t::callback;
        params.userData = &m_storage.params();
        params.scans = m_settings.scans;
    }
    std::future<void> task = std::async(std::launch::async, DriverAcquisition::startTimed, &params);
    m_waitingForAlarm = true;
    m_observer.awaitAlarm(
        [&task] { return task.wait_for(std::chrono::seconds(0)) == std::future_status::ready; });
    task.wait();
    m_waitingForAlarm = false;
    // A stop while the start was pending ended it because it was asked to, which is no failure.
    if (!m_running) {
        m_driver.stop();
        return;
    }
    if (params.status < VI_SUCCESS)
        DriverErrorReporter::report(params.status, "kq7150_startMultAcquisitionTimed64");
}

void AcquisitionEngine::stopCards() {
    // The callback acknowledges that it reads no more before the cards are stopped under it;
    // while the start still waits for its alarm there is no callback to hear it.
    if (acquisitionStatus.callbacksEnabled.exchange(false) && m_storing && !m_waitingForAlarm)
        for (int i = 0; i < 20 && !acquisitionStatus.callbackStopped.load(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
    if (m_running)
        m_driver.stop();
    m_running = false;
}

// A disk that does not take the ring's blocks soon (a hung network drive, a pipe nobody
// reads) is left to the caller to wait for, so that it stays usable.
bool AcquisitionEngine::endStorage() {
    m_storing = false;
    m_storage.requestEnd();
    const auto end = std::chrono::steady_clock::now() + kDiskWait;
    while (!m_storage.writerDone() && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    if (!m_storage.writerDone())
        return false;
    completeStorage();
    return true;
}

// The writer has ended: the run's first error is told with what the file holds, and the
// buffers go once no callback is inside.
void AcquisitionEngine::completeStorage() {
    std::string error = m_storage.finish();
    if (!m_storage.params().fileName.empty())
        m_observer.summary(m_storage.summary());
    if (!error.empty()) {
        const std::string stored = m_storage.storedText();
        m_observer.error(stored.empty() ? error : error + "\n" + stored);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    m_storage.release();
}

// Polls the cards; ready when a whole block waits in them. False after a reported failure.
bool AcquisitionEngine::pollCards(bool &ready) {
    if (!m_driver.poll(acquisitionStatus)) {
        m_observer.failed();
        return false;
    }
    ready = acquisitionStatus.backlog.load() >= static_cast<uint32_t>(m_settings.scans);
    if (acquisitionStatus.state.load() == kq7150_STATE_END && !m_driver.stop()) {
        m_observer.failed();
        return false;
    }
    return true;
}

void AcquisitionEngine::poll(double *view) {
    bool ready = false;
    // The number of the block from the ring, taken with it: a callback may hand over the next
    // one right after.
    std::optional<uint32_t> stored;
    if (m_storing) {
        stored = m_storage.params().takePlotBlock(view);
        ready = stored.has_value();
    } else if (!pollCards(ready)) {
        return;
    }
    if (!ready) {
        waitForBlock();
        return;
    }
    // Without the ring each block is read after a new start: it begins at the trigger.
    const double first = static_cast<double>(stored.value_or(0)) * m_settings.scans - m_plan.preTrigger;
    m_observer.blockRange(first / m_settings.rate, (first + m_settings.scans) / m_settings.rate);
    if (m_storing) {
        m_observer.blockReady();
        finishStoredBlock();
        return;
    }
    if (!m_driver.stop() || !m_driver.read(m_settings.scans, view)) {
        m_observer.failed();
        return;
    }
    m_observer.blockReady();
    finishBlock();
}

// After the first block of a start at an alarm, the cards are re-armed untriggered and each
// further block is taken at once.
void AcquisitionEngine::waitForBlock() {
    if (acquisitionStatus.state.load() == kq7150_STATE_READY && m_settings.untriggered() &&
        !m_driver.softwareTrigger()) {
        m_observer.failed();
        return;
    }
    if (m_storing)
        checkStorage();
    showStatus();
}

// After a block from the ring was shown: a single shot ends here, and the cards keep acquiring
// otherwise.
void AcquisitionEngine::finishStoredBlock() {
    if (acquisitionStatus.singleDone.load()) {
        std::printf("* Stopped\n");
        m_observer.singleShotStored();
        return;
    }
    if (endAfterBlock())
        return;
    checkStorage();
    showStatus();
}

// After a block read from the cards: end a single shot, or re-arm.
void AcquisitionEngine::finishBlock() {
    if (endAfterBlock())
        return;
    if (!m_driver.rearm()) {
        m_observer.failed();
        return;
    }
    showStatus();
}

// Tells the overrange seen with the block just shown, and ends a single shot. True when the
// acquisition ended.
bool AcquisitionEngine::endAfterBlock() {
    const uint16_t errors = acquisitionStatus.errors.load();
    if (errors & StatusLine::kOutOfRange) {
        m_observer.overrange(errors);
        showStatus();
    }
    if (m_settings.repetitive)
        return false;
    m_observer.ended();
    return true;
}

// An acquisition error of the cards ends storing; the file size follows the writer.
void AcquisitionEngine::checkStorage() {
    if (acquisitionStatus.errors.load() & StatusLine::kAcquisitionErrors) {
        m_observer.ended();
        return;
    }
    m_observer.fileSize(acquisitionStatus.bytesWritten.load(), acquisitionStatus.backlog.load());
}

void AcquisitionEngine::showStatus() {
    const int state = acquisitionStatus.state.load();
    const uint16_t errors = acquisitionStatus.errors.load();
    // A recording that ended while the cards go on says so until the user stops.
    const std::string why =
        m_storing && m_storage.params().storingEnded.load() ? m_storage.params().error() : "";
    m_observer.status(why.empty() ? StatusLine::running(state, errors)
                                  : StatusLine::storingEnded(state, errors, why));
}
