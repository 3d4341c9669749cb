// Below the waveform plot: the acquisition status line with the Cancel of a timed start, the
// file size line of a recording, the block slider of a stored file with its playback
// controls, the legend (a heading and eight channel entries per card) and the symbol choice.
#pragma once

#include <QVector>
#include <QWidget>

class QAbstractButton;
class QComboBox;
class QLabel;
class QSlider;
class PlaybackControls;
class chLabel;
struct StatusLine;
struct StorageSummary;

class WaveformControls : public QWidget {
    Q_OBJECT
public:
    WaveformControls(int cards, QWidget *parent);

    void showLine(const StatusLine &line);
    // The status line in the colour of a start that waits for its alarm.
    void showWaiting(const QString &text);
    void showFileSize(uint64_t bytes, uint32_t backlog);
    // Takes the file size line's place until the next start, so that what the recording holds
    // can still be read after its message box is gone.
    void showSummary(const StorageSummary &summary);
    // Both lines empty; the file size line shown when it will have something to say.
    void clearLines(bool fileSizeShown);
    // The slider, its label and the playback controls in place of the status line.
    void showSlider();

    QLabel *status() const { return m_status; }
    QLabel *fileSize() const { return m_fileSize; }
    QAbstractButton *cancelWait() const { return m_cancelWait; }
    QSlider *slider() const { return m_slider; }
    QLabel *sliderLabel() const { return m_sliderLabel; }
    PlaybackControls *playback() const { return m_playback; }
    QComboBox *symbols() const { return m_symbols; }
    chLabel *legend(int index) const { return m_labels[index]; }
    int legendCount() const { return m_labels.size(); }
    QLabel *heading(int card) const { return m_headings[card]; }

signals:
    // A legend entry was clicked or its trace choice changed.
    void legendChanged();

private:
    void buildLines(class QVBoxLayout *column);
    void buildSlider(QVBoxLayout *column);
    void buildLegend(QVBoxLayout *column, int cards);

    QLabel *m_status = nullptr;
    QLabel *m_fileSize = nullptr;
    QAbstractButton *m_cancelWait = nullptr;
    QSlider *m_slider = nullptr;
    QLabel *m_sliderLabel = nullptr;
    PlaybackControls *m_playback = nullptr;
    QComboBox *m_symbols = nullptr;
    QVector<chLabel *> m_labels;
    QVector<QLabel *> m_headings;
};
