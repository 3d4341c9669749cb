// The measurement page of the front panel: AC performance figures (sine fit and spectrum
// metrics) of the waveform in the plot view, per channel of one selected card, with a copy of
// the table to the clipboard as comma-separated text.
#pragma once

#include "BackgroundAnalysis.h"
#include "blockMeasurement.h"

#include <QWidget>

#include <cstdint>
#include <functional>
#include <vector>

class QComboBox;
class QLabel;
class QPushButton;
class QStandardItemModel;
class QTableView;

// Everything the window reads from its owner at each calculation. The owner fills it from its
// current state; the window keeps no pointer into it beyond one call.
struct measurementInputs {
    bool optionsExist = false; // the program was started with "-acperf"
    bool demo = false;
    int cards = 0;
    // Per card, bit k = channel k+1, of the channels that were acquired into the view buffer.
    // These, not the live enable boxes, say where each channel's block lies.
    std::vector<uint16_t> masks;
    int scans = 0;     // N of the plot view
    double rate = 0.0; // Hz
    // One block of `scans` volts per acquired channel, card by card, channel by channel.
    const double *view = nullptr;
    const double *timeAxis = nullptr; // seconds, one per scan
    double zeroPadding = 1.0;
    int fitIterations = 0; // 0: three-parameter fit; k: four-parameter fit with k iterations
    // Per card 8 entries: the gain selection index of each channel panel (copied text only).
    std::vector<int> gainIndex;
};

class measurement : public QWidget {
    Q_OBJECT
public:
    static constexpr int channels = 8;
    static constexpr int columns = blockMeasurement::columns;

    measurement(QWidget *owner, std::function<measurementInputs()> inputs, int cards);

    // True from a calculation's start until its figures are shown. The figures are computed
    // away from the window, so a large block never stops it; a calculation started while
    // another waits replaces it.
    bool calculating() const { return m_analysis.pending(); }

public slots:
    // Called after each plot and spectrum update and when another card is selected.
    void recalculate();

    QSize sizeHint() const override;

protected:
    void resizeEvent(QResizeEvent *event) override;

private slots:
    void copyToClipboard();

private:
    struct calculation;
    void show(calculation &done);
    void showRow(int row, const blockMeasurement::figures &v, double periods);
    void setCell(int row, int col, const QString &text, const QString &doubt);
    int titleWidth(int column) const;

    std::function<measurementInputs()> m_inputs;
    QComboBox *m_cardSelector;
    QTableView *m_table;
    QStandardItemModel *m_model;
    QLabel *m_explanation;
    QPushButton *m_copy;
    int m_scans = 0;
    double m_rate = 0.0;
    double m_scale;
    // What each row shows; the clipboard copies these, not the cells' text.
    blockMeasurement::figures m_figures[channels] = {};
    // Last: ending it waits for a calculation that still runs, before the table goes.
    BackgroundAnalysis m_analysis{this};
};
