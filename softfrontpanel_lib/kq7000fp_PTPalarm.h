// An editor for the time of a PTP alarm. The time is edited in UTC, while the card counts on
// its own clock (TAI on a PTP-synchronised card); the widget converts with the UTC offset its
// owner hands over. It never reads a clock itself: it asks its owner for the card time, so
// that the same widget serves any card and demo mode alike.
#pragma once

#include <QWidget>

#include <cstdint>

class QLabel;
class QSpinBox;
class QTimer;

class kq7000fp_PTPalarm : public QWidget {
    Q_OBJECT
public:
    // nowPlusOffset: seconds added by the "Now+%1s" button; 0 leaves the button out.
    kq7000fp_PTPalarm(const QString &text, bool nowButton, int nowPlusOffset, bool showClock,
                      QWidget *parent = nullptr);

    // Card time minus UTC, in seconds.
    void setUTCoffset(int32_t offset);
    int32_t utcOffset() const { return m_utcOffset; }

    // Shows the card time as UTC date and time in the editor.
    void setTime(int64_t cardTime);
    // The card time at which the alarm fires: the edited UTC time plus the UTC offset.
    int64_t alarmTime() const;

    // What the clock display shows now; empty without a clock display.
    QString clockText() const;

    void setArmed(bool armed);
    bool isArmed() const { return m_armed; }

    // Shows the card time as UTC and, when armed, the seconds to (negative) or since the alarm.
    void updateClock(int64_t cardTime);

    QSpinBox *day() const { return m_day; }
    QSpinBox *month() const { return m_month; }
    QSpinBox *year() const { return m_year; }
    QSpinBox *hour() const { return m_hour; }
    QSpinBox *minute() const { return m_minute; }
    QSpinBox *second() const { return m_second; }

signals:
    // Asks the owner to set the alarm to the card's time now plus offsetFromNow seconds.
    void setTimeRequest(int offsetFromNow);
    // Asks the owner to answer with updateClock(); sent every 500 ms with a clock display.
    void requestCurrentTime();

private slots:
    void setNowSlot();
    void setNowPlusSlot();

private:
    // The edited date and time as seconds since 1970, UTC.
    int64_t alarmUtc() const;

    int32_t m_utcOffset = 0;
    QLabel *m_clock = nullptr;
    QTimer *m_clockTimer = nullptr;
    bool m_showClock = false;
    bool m_armed = true;
    int m_nowPlusOffset = 0;
    QSpinBox *m_day = nullptr;
    QSpinBox *m_month = nullptr;
    QSpinBox *m_year = nullptr;
    QSpinBox *m_hour = nullptr;
    QSpinBox *m_minute = nullptr;
    QSpinBox *m_second = nullptr;
};
