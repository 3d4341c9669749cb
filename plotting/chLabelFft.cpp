#include "chLabelFft.h"

#include <QMouseEvent>

chLabelFft::chLabelFft(int card, int channel, QWidget *parent) : chLabel(card, channel, parent) {
    const QString tip = QString("This legend shows which color is used to plot the Channel %1 spectrum from "
                                "Function Card %2. Left click to show or hide the spectrum, right click to "
                                "change the color")
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
    // A disabled channel may still be selected: its spectrum appears once the channel is
    // acquired, so the choice is kept while the entry stays grey.
    if (event->button() == Qt::LeftButton) {
        setSelected(!m_selected);
    } else if (event->button() == Qt::RightButton) {
        const QColor chosen = askColour(colour());
        if (!chosen.isValid())
            return;
        setColour(chosen);
    } else {
        return;
    }
    emit clicked();
}
