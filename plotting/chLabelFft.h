// A spectrum legend entry: the channel's legend label that is selected to show the channel's
// spectrum. Pressed in while selected.
#pragma once

#include "chLabel.h"

class chLabelFft : public chLabel {
    Q_OBJECT
public:
    chLabelFft(int card, int channel, QWidget *parent = nullptr);

    // Whether the user wants this channel's spectrum shown (false at construction).
    bool isSelected() const { return m_selected; }
    // Changes the look only; whoever changes the selection tells the listeners with clicked().
    void setSelected(bool selected);
    // A spectrum's trace is shown while its entry is selected.
    bool traceShown() const override { return m_selected; }
    void setTraceShown(bool shown) override { setSelected(shown); }

signals:
    // The selection or the colour changed: the spectrum curves are to be re-evaluated.
    void clicked();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    bool looksPressed() const override { return m_selected; }
    // A disabled channel may still be selected: its spectrum appears once the channel is
    // acquired, so the choice is kept while the entry stays grey.
    bool takesMouse() const override { return true; }
    void colourChosen() override { emit clicked(); }

private:
    bool m_selected = false;
};
