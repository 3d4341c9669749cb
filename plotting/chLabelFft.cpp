#include "chLabelFft.h"

#include <QMouseEvent>

chLabelFft::chLabelFft(int card, int channel, QWidget *parent) : chLabel(card, channel, parent) {
    const QString tip = QString("This legend shows which color is used to plot the Channel %1 spectrum from "
                                "Function Card %2. Left click to show or hide the spectrum, right click to "
                                "change the color or to show only this spectrum or all of them")
                            .arg(channel + 1)
                            .arg(card + 1);
    setToolTip(tip);
    setWhatsThis(tip);
    applyLook();
}

void chLabelFft::setSelected(bool selected) {
    m_selected = selected;
    applyLook();
}

void chLabelFft::mousePressEvent(QMouseEvent *event) {
    if (event->button() != Qt::LeftButton)
        return;
    setSelected(!m_selected);
    emit clicked();
}
