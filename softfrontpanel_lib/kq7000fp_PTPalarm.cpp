#include "kq7000fp_PTPalarm.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QStyle>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <ctime>

namespace {

// Compact buttons of a fixed width, never narrower than their text in the font in use.
QPushButton *compactButton(const QString &text, int width, QWidget *parent) {
    auto *button = new QPushButton(text, parent);
    const QStyle *style = button->style();
    const int padding =
        style->pixelMetric(QStyle::PM_ButtonMargin) + style->pixelMetric(QStyle::PM_DefaultFrameWidth);
    button->setFixedWidth(std::max(width, button->fontMetrics().horizontalAdvance(text) + 2 * padding));
    return button;
}

QSpinBox *field(int minimum, int maximum, QWidget *parent) {
    auto *box = new QSpinBox(parent);
    box->setRange(minimum, maximum);
    return box;
}

} // namespace

kq7000fp_PTPalarm::kq7000fp_PTPalarm(const QString &text, bool nowButton, int nowPlusOffset, bool showClock,
                                     QWidget *parent)
    : QWidget(parent), m_showClock(showClock), m_nowPlusOffset(nowPlusOffset) {
    auto *caption = new QLabel(text, this);
    m_day = field(1, 31, this);
    m_month = field(1, 12, this);
    m_year = field(1970, 2100, this);
    m_hour = field(0, 23, this);
    m_minute = field(0, 59, this);
    m_second = field(0, 59, this);

    auto *dateRow = new QHBoxLayout;
    dateRow->setContentsMargins(0, 0, 0, 0);
    dateRow->setSpacing(3);
    dateRow->addWidget(caption);
    dateRow->addWidget(m_day);
    dateRow->addWidget(m_month);
    dateRow->addWidget(m_year);
    dateRow->addSpacing(10);
    dateRow->addWidget(m_hour);
    dateRow->addWidget(m_minute);
    dateRow->addWidget(m_second);
    dateRow->addWidget(new QLabel(" UTC", this));
    dateRow->addSpacing(10);
    if (nowButton) {
        auto *now = compactButton("Now", 40, this);
        connect(now, &QPushButton::clicked, this, &kq7000fp_PTPalarm::setNowSlot);
        dateRow->addWidget(now);
    }
    if (nowPlusOffset > 0) {
        auto *nowPlus = compactButton(QString("Now+%1s").arg(nowPlusOffset), 55, this);
        connect(nowPlus, &QPushButton::clicked, this, &kq7000fp_PTPalarm::setNowPlusSlot);
        dateRow->addWidget(nowPlus);
    }
    dateRow->addStretch();

    auto *rows = new QVBoxLayout(this);
    rows->setContentsMargins(0, 0, 0, 0);
    rows->setSpacing(3);
    rows->addLayout(dateRow);
    if (!showClock)
        return;

    // The clock line starts under the first date field, not under the caption.
    auto *clockRow = new QHBoxLayout;
    clockRow->setContentsMargins(0, 0, 0, 0);
    clockRow->addSpacing(caption->fontMetrics().horizontalAdvance(text) + dateRow->spacing());
    m_clock = new QLabel(this);
    clockRow->addWidget(m_clock);
    clockRow->addStretch();
    rows->addLayout(clockRow);

    m_clockTimer = new QTimer(this);
    connect(m_clockTimer, &QTimer::timeout, this, &kq7000fp_PTPalarm::requestCurrentTime);
    m_clockTimer->start(500);
}

void kq7000fp_PTPalarm::setNowSlot() {
    emit setTimeRequest(0);
}

void kq7000fp_PTPalarm::setNowPlusSlot() {
    emit setTimeRequest(m_nowPlusOffset);
}

void kq7000fp_PTPalarm::setUTCoffset(int32_t offset) {
    m_utcOffset = offset;
}

void kq7000fp_PTPalarm::setArmed(bool armed) {
    m_armed = armed;
}

void kq7000fp_PTPalarm::setTime(int64_t cardTime) {
    const time_t utc = static_cast<time_t>(cardTime - m_utcOffset);
    struct tm t {};
    gmtime_r(&utc, &t);
    m_day->setValue(t.tm_mday);
    m_month->setValue(t.tm_mon + 1);
    m_year->setValue(t.tm_year + 1900);
    m_hour->setValue(t.tm_hour);
    m_minute->setValue(t.tm_min);
    m_second->setValue(t.tm_sec);
}

int64_t kq7000fp_PTPalarm::alarmUtc() const {
    // timegm() reads the fields as UTC, so no daylight saving shifts the alarm, and it
    // carries a day past the month's end into the next month (31 February is early March):
    // the day field allows 31 whatever the month.
    struct tm t {};
    t.tm_mday = m_day->value();
    t.tm_mon = m_month->value() - 1;
    t.tm_year = m_year->value() - 1900;
    t.tm_hour = m_hour->value();
    t.tm_min = m_minute->value();
    t.tm_sec = m_second->value();
    return static_cast<int64_t>(timegm(&t));
}

int64_t kq7000fp_PTPalarm::alarmTime() const {
    return alarmUtc() + m_utcOffset;
}

QString kq7000fp_PTPalarm::clockText() const {
    return m_clock ? m_clock->text() : QString();
}

void kq7000fp_PTPalarm::updateClock(int64_t cardTime) {
    if (!m_clock)
        return;
    const time_t utc = static_cast<time_t>(cardTime - m_utcOffset);
    struct tm t {};
    gmtime_r(&utc, &t);
    char now[256];
    strftime(now, sizeof now, "%d %b %Y %H:%M:%S", &t);
    QString text = QString::fromLocal8Bit(now);
    if (m_armed) {
        // Counted in card seconds on both sides, so the offset cancels; the sign stays in
        // the text ("-5 s" to go), as the operator reads it as a countdown.
        const qint64 d = cardTime - alarmTime();
        text += QString(d >= 0 ? "    Time since PTP Alarm: %1 s" : "    Time to PTP Alarm: %1 s").arg(d);
    }
    m_clock->setText(text);
}
