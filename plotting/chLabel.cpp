#include "chLabel.h"

#include "channelColour.h"

#include <QColorDialog>
#include <QMouseEvent>

chLabel::chLabel(int card, int channel, QWidget *parent)
    : QLabel(QString::number(channel + 1), parent), m_card(card), m_channel(channel),
      m_colour(channelColour(card, channel)), m_channelEnabled(channel == 0) {
    QFont f = font();
    f.setBold(true);
    setFont(f);
    setAlignment(Qt::AlignCenter);
    const QString tip = QString("This legend shows which color is used to plot the Channel %1 waveform from "
                                "Function Card %2. Right click to change the color, left click to bold the "
                                "waveform")
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
    if (!m_channelEnabled)
        return;
    if (event->button() == Qt::LeftButton) {
        setState(m_state == 1 ? 3 : 1);
    } else if (event->button() == Qt::RightButton) {
        const QColor chosen = askColour(m_colour);
        if (chosen.isValid())
            setColour(chosen);
    } else {
        return;
    }
    emit labMousePress();
}
