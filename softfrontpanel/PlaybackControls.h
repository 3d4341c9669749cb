// Beside the block slider of a recording: pause, and the pace at which a repetitive playback
// steps through the blocks, from real time (a block per its own duration) to as fast as the
// window draws them, which is how a recording played before it had a choice.
#pragma once

#include <QWidget>

class QComboBox;
class QToolButton;

class PlaybackControls : public QWidget {
    Q_OBJECT
public:
    explicit PlaybackControls(QWidget *parent);

    bool paused() const;
    // The time between two blocks of blockSeconds each; fastestMs as fast as possible.
    int intervalMs(double blockSeconds, int fastestMs) const;

    QToolButton *pauseButton() const { return m_pause; }
    QComboBox *speedChoice() const { return m_speed; }

signals:
    void pausedChanged(bool paused);
    void speedChanged();

private:
    QToolButton *m_pause;
    QComboBox *m_speed;
};
