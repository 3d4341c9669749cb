#include "PlaybackControls.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QToolButton>

#include <algorithm>
#include <climits>
#include <cmath>

PlaybackControls::PlaybackControls(QWidget *parent) : QWidget(parent) {
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    m_pause = new QToolButton(this);
    m_pause->setObjectName("pauseButton");
    m_pause->setText("Pause");
    m_pause->setCheckable(true);
    m_pause->setShortcut(QKeySequence(Qt::Key_P));
    m_pause->setToolTip("Holds a repetitive playback at the block shown (P); the slider still picks blocks");
    m_speed = new QComboBox(this);
    m_speed->setObjectName("playbackSpeed");
    m_speed->setToolTip("How fast a repetitive playback steps through the blocks");
    // Item data: how many blocks' durations pass per second of playback; 0: no waiting.
    m_speed->addItem("Real time", 1.0);
    m_speed->addItem("2x", 2.0);
    m_speed->addItem("10x", 10.0);
    m_speed->addItem("As fast as possible", 0.0);
    m_speed->setCurrentIndex(m_speed->count() - 1);
    row->addWidget(m_pause);
    row->addWidget(m_speed);
    connect(m_pause, &QToolButton::toggled, this, &PlaybackControls::pausedChanged);
    connect(m_speed, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &PlaybackControls::speedChanged);
}

bool PlaybackControls::paused() const {
    return m_pause->isChecked();
}

int PlaybackControls::intervalMs(double blockSeconds, int fastestMs) const {
    const double speed = m_speed->currentData().toDouble();
    if (!(speed > 0))
        return fastestMs;
    return static_cast<int>(std::clamp(std::round(blockSeconds * 1000.0 / speed), 1.0, double(INT_MAX)));
}
