#include "chLabel.h"

#include "channelColour.h"

#include <QColorDialog>
#include <QContextMenuEvent>
#include <QMenu>
#include <QMouseEvent>

chLabel::chLabel(int card, int channel, QWidget *parent)
    : QLabel(QString::number(channel + 1), parent), m_card(card), m_channel(channel),
      m_colour(channelColour(card, channel)), m_channelEnabled(channel == 0) {
    setObjectName(QString("legendFC%1Ch%2").arg(card + 1).arg(channel + 1));
    QFont f = font();
    f.setBold(true);
    setFont(f);
    setAlignment(Qt::AlignCenter);
    const QString tip = QString("This legend shows which color is used to plot the Channel %1 waveform from "
                                "Function Card %2. Right click to change the color or to hide and show "
                                "traces, left click to bold the waveform")
                            .arg(channel + 1)
                            .arg(card + 1);
    setToolTip(tip);
    setWhatsThis(tip);
    applyLook();
}

void chLabel::setColour(const QColor &colour) {
    m_colour = colour;
    applyLook();
}

void chLabel::setState(int state) {
    m_state = state == 3 ? 3 : 1;
    applyLook();
}

void chLabel::setChannelEnabled(bool enabled) {
    m_channelEnabled = enabled;
    applyLook();
}

void chLabel::setTraceShown(bool shown) {
    m_traceShown = shown;
    QFont f = font();
    f.setStrikeOut(!shown);
    setFont(f);
}

void chLabel::applyLook() {
    QPalette pal = palette();
    if (!m_channelEnabled) {
        setFrameStyle(DisabledFrame);
        pal.setColor(QPalette::WindowText, disabledTextColour());
    } else {
        setFrameStyle(looksPressed() ? SunkenFrame : RaisedFrame);
        pal.setColor(QPalette::WindowText, m_colour);
    }
    setPalette(pal);
}

QColor chLabel::askColour(const QColor &current) {
    // The native chooser of some desktops ignores the initial colour; ours always shows it.
    return QColorDialog::getColor(current, this, "Select Color", QColorDialog::DontUseNativeDialog);
}

void chLabel::mousePressEvent(QMouseEvent *event) {
    if (!m_channelEnabled || event->button() != Qt::LeftButton)
        return;
    setState(m_state == 1 ? 3 : 1);
    emit labMousePress();
}

void chLabel::chooseColour() {
    const QColor chosen = askColour(m_colour);
    if (!chosen.isValid())
        return;
    setColour(chosen);
    colourChosen();
}

void chLabel::contextMenuEvent(QContextMenuEvent *event) {
    if (!takesMouse())
        return;
    auto *menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->addAction("Change Color...", this, &chLabel::chooseColour);
    menu->addSeparator();
    const std::pair<QString, TraceChoice> choices[] = {
        {traceShown() ? "Hide Trace" : "Show Trace", ToggleTrace},
        {"Show Only This Trace", OnlyThisTrace},
        {"Show All Traces", AllTraces}};
    for (const auto &[text, choice] : choices)
        menu->addAction(text, this, [this, choice = choice] { emit traceChosen(choice); });
    menu->popup(event->globalPos());
}
