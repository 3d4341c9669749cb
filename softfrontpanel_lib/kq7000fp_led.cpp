#include "kq7000fp_led.h"

#include <QPainter>

kq7000fp_led::kq7000fp_led(const QString &text, const QColor &onColour, const QColor &offColour,
                           QWidget *parent)
    : QWidget(parent), m_onColour(onColour), m_offColour(offColour), m_text(text) {
    setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Maximum);
}

kq7000fp_led::kq7000fp_led(const QString &text, const char *onColourName, QWidget *parent)
    : kq7000fp_led(text, QColor(onColourName ? onColourName : "#FF0000"), QColor(Qt::magenta), parent) {}

QColor kq7000fp_led::offColourNow() const {
    return m_offColour == QColor(Qt::magenta) ? palette().color(QPalette::Window) : m_offColour;
}

QColor kq7000fp_led::lampColour() const {
    if (m_value == 2 && m_thirdColourSet)
        return m_thirdColour;
    return m_value != 0 ? m_onColour : offColourNow();
}

void kq7000fp_led::setValue(int value) {
    if (value == m_value)
        return;
    m_value = value;
    update();
}

void kq7000fp_led::setText(const QString &text) {
    if (text == m_text)
        return;
    m_text = text;
    updateGeometry();
    update();
}

void kq7000fp_led::setOnColour(const QColor &colour) {
    m_onColour = colour;
    update();
}

void kq7000fp_led::setOffColour(const QColor &colour) {
    m_offColour = colour;
    update();
}

void kq7000fp_led::setThirdColour(const QColor &colour) {
    m_thirdColour = colour;
    m_thirdColourSet = true;
    update();
}

void kq7000fp_led::toggleValue() {
    m_value = m_value == 0 ? 1 : 0;
    update();
    emit valueToggled();
}

QSize kq7000fp_led::minimumSizeHint() const {
    const int h = fontMetrics().height();
    return QSize(h + 2 + fontMetrics().horizontalAdvance(m_text) - 1 + (h + 1) / 2, h + 2);
}

void kq7000fp_led::paintEvent(QPaintEvent *) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const int h = fontMetrics().height();
    const int top = (height() - h) / 2;
    const QColor lamp = lampColour();
    if (h < 10) {
        p.setPen(Qt::NoPen);
        p.setBrush(lamp);
        p.drawChord(0, top, h, h, 0, 360 * 16);
    } else {
        // A bevel from the background: light upper left, dark lower right, then the lamp.
        const QColor bg = p.background().color();
        p.setBrush(Qt::NoBrush);
        p.setPen(bg.lighter(150));
        p.drawArc(0, top, h, h, 45 * 16, 180 * 16);
        p.drawArc(2, top + 2, h - 4, h - 4, 45 * 16, 180 * 16);
        p.setPen(bg.darker(200));
        p.drawArc(0, top, h, h, 225 * 16, 180 * 16);
        p.drawArc(2, top + 2, h - 4, h - 4, 225 * 16, 180 * 16);
        p.setPen(bg);
        p.drawEllipse(1, top + 1, h - 2, h - 2);
        p.setPen(Qt::NoPen);
        p.setBrush(lamp);
        p.drawEllipse(3, top + 3, h - 6, h - 6);
    }
    p.setPen(palette().color(QPalette::WindowText));
    p.drawText(QRect(h + 2, 0, width() - h - 2, height()), Qt::AlignLeft | Qt::AlignVCenter, m_text);
}
