// Computes a window's analyses away from its thread and shows each result on it: a job started
// while another waits replaces it (NewestJobRunner), and results are shown in the order their
// jobs were started. The window keeps it as its last member, so that ending it waits for a job
// that still runs before anything its result would be shown with goes.
#pragma once

#include "NewestJobRunner.h"

#include <QObject>

#include <memory>
#include <utility>

class BackgroundAnalysis {
public:
    explicit BackgroundAnalysis(QObject *window) : m_window(window) {}

    // Runs job->compute() away from the window, then show(*job) on the window's thread.
    template <class Job, class Show> void start(std::shared_ptr<Job> job, Show show) {
        const bool replaced = m_runner.submit([this, job, show = std::move(show)] {
            job->compute();
            QMetaObject::invokeMethod(
                m_window,
                [this, job, show] {
                    --m_pending;
                    show(*job);
                },
                Qt::QueuedConnection);
        });
        if (!replaced)
            ++m_pending;
    }
    // True from a start until its result is shown or a newer job replaced it.
    bool pending() const { return m_pending > 0; }

private:
    QObject *m_window;
    int m_pending = 0; // touched on the window's thread only
    NewestJobRunner m_runner;
};
