// A legend entry of one channel: its number in bold, in the channel's colour while the channel
// is enabled and grey while it is not. The frame shows whether the entry is pressed in, a struck
// out number that the channel's trace is hidden. Its context menu changes the colour and hides
// or shows traces; the legend's owner applies the trace choices to all its entries.
// The voltage plot uses it directly; the spectrum legend derives from it.
#pragma once

#include <QColor>
#include <QLabel>
#include <QPen>

class QContextMenuEvent;

class chLabel : public QLabel {
    Q_OBJECT
public:
    // card and channel are 0-based; the entry shows the channel number from 1. Channel 1 of a
    // card starts enabled, the others disabled, as the channel panels start.
    chLabel(int card, int channel, QWidget *parent = nullptr);

    int card() const { return m_card; }
    int channel() const { return m_channel; }

    QColor colour() const { return m_colour; }
    void setColour(const QColor &colour);

    // 1 (normal) or 3 (emphasised); it is also the width of the curve's pen.
    int state() const { return m_state; }
    void setState(int state);
    QPen pen() const { return QPen(m_colour, m_state); }

    // Follows the channel's enable box; a disabled entry is grey and ignores the mouse.
    bool isChannelEnabled() const { return m_channelEnabled; }
    void setChannelEnabled(bool enabled);

    // Whether the channel's curve is to be drawn (true at construction).
    virtual bool traceShown() const { return m_traceShown; }
    virtual void setTraceShown(bool shown);
    enum TraceChoice { ToggleTrace, OnlyThisTrace, AllTraces };

    // Frame styles (QFrame shape | shadow) of the three looks.
    static constexpr int DisabledFrame = 19; // WinPanel | Plain
    static constexpr int RaisedFrame = 35;   // WinPanel | Raised
    static constexpr int SunkenFrame = 51;   // WinPanel | Sunken
    static QColor disabledTextColour() { return QColor(200, 200, 200); }

signals:
    void labMousePress();
    // "Hide Trace" / "Show Trace", "Show Only This Trace" or "Show All Traces" from the menu.
    void traceChosen(int choice);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    // A disabled entry takes no clicks and offers no menu.
    virtual bool takesMouse() const { return m_channelEnabled; }
    // After a colour was chosen: the owner redraws as after a click.
    virtual void colourChosen() { emit labMousePress(); }

    // Whether an enabled entry is drawn pressed in (sunken).
    virtual bool looksPressed() const { return m_state == 3; }
    void applyLook();

    // Runs the colour chooser on the current colour; an invalid colour means cancelled.
    // Virtual so that a test can stand in for the person choosing.
    virtual QColor askColour(const QColor &current);

private:
    int m_card;
    int m_channel;
    QColor m_colour;
    void chooseColour();

    int m_state = 1;
    bool m_channelEnabled;
    bool m_traceShown = true;
};
