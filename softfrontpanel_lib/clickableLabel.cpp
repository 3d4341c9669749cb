#include "clickableLabel.h"

#include <QMouseEvent>

clickableLabel::clickableLabel(const QString &text, QWidget *parent)
    : QLabel("<u><font color='#22e'>" + text + "</font></u>", parent) {
    setCursor(Qt::PointingHandCursor);
}

void clickableLabel::mouseReleaseEvent(QMouseEvent *event) {
    QLabel::mouseReleaseEvent(event);
    if (rect().contains(event->pos()))
        emit clicked();
}
