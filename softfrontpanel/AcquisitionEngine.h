// Runs the acquisitions of the cards: the start and stop sequences, the polling step that
// takes each block into the view buffer, the re-arming after a block, and continuous storage
// into a file. It reads its settings from a snapshot taken at the start and reports through
// an observer, so that it runs without a window.
#pragma once

#include "AcquisitionSettings.h"
#include "ContinuousStorage.h"
#include "DriverAcquisition.h"

#include "visatype.h"

class AcquisitionObserver;

class AcquisitionEngine {
public:
    enum class Start { Running, Refused, Failed };

    AcquisitionEngine(ViSession session, AcquisitionObserver &observer);

    const kq7150_multEnv *environment() { return m_driver.environment(); }
    // Configures and starts the cards; with storage the buffers, the file and the writer first.
    // Refused: nothing started (the observer was told why); Failed: a driver call failed.
    Start start(const AcquisitionSettings &settings);
    // One polling step; view takes a block of every acquired channel, channel after channel.
    void poll(double *view);
    // Stops the cards once the callback reads no more.
    void stopCards();
    // After the cards stopped: the writer stores what the ring holds. True when it has ended
    // within a second; otherwise completeStorage() follows once writerDone().
    bool endStorage();
    void completeStorage();
    bool storing() const { return m_storing; }
    bool writerDone() const { return m_storage.writerDone(); }

private:
    Start startStorage();
    void startAtAlarm(bool withCallback);
    bool pollCards(bool &ready);
    void waitForBlock();
    void finishStoredBlock();
    void finishBlock();
    bool endAfterBlock();
    void checkStorage();
    void showStatus();

    DriverAcquisition m_driver;
    ContinuousStorage m_storage;
    AcquisitionObserver &m_observer;
    AcquisitionSettings m_settings;
    TriggerPlan m_plan;
    bool m_running = false; // the cards were started and not stopped since
    bool m_storing = false; // this acquisition feeds the ring
    bool m_waitingForAlarm = false;
};
