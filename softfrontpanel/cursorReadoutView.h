// The waveform cursors' read-out under the voltage plot: the time line, then a table with a row
// per shown channel (its values at both cursors and the difference). A few rows are seen at
// once; more channels scroll, so that 64 cards do not push the plot out of the window.
#pragma once

#include "CursorReadout.h"

#include <QWidget>

class QLabel;
class QTableWidget;

class cursorReadoutView : public QWidget {
    Q_OBJECT
public:
    explicit cursorReadoutView(QWidget *parent = nullptr);

    void show(const CursorReadout &readout);
    using QWidget::show;

    QLabel *timeLine() const { return m_times; }
    QTableWidget *table() const { return m_table; }

    static constexpr int kRowsSeen = 4;

private:
    QLabel *m_times;
    QTableWidget *m_table;
};
