#include "kq7000fp_PTPalarm.h"

#include "../support/WidgetTest.h"

namespace {

// The person edits UTC; the card counts TAI (UTC + 37 s) and gets its own time. Days past the
// month's end roll into the next month, leap years counted; no daylight saving creeps in.
TEST(PtpAlarmTest, EditsUtcAndHandsOverCardTimeRollingDaysPastTheMonthEnd) {
    constexpr int kTai = 37;
    const auto utc = [](int year, int month, int day, int hour, int minute, int second) {
        return QDateTime(QDate(year, month, day), QTime(hour, minute, second), Qt::UTC).toSecsSinceEpoch();
    };
    setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1); // summer time, from a rule: no zone files needed
    tzset();
    kq7000fp_PTPalarm alarm{"Alarm: ", true, 10, true};
    alarm.setUTCoffset(kTai);
    const std::vector<QSpinBox *> fields{alarm.day(),  alarm.month(),  alarm.year(),
                                         alarm.hour(), alarm.minute(), alarm.second()};
    const auto edit = [&](std::vector<int> v) {
        for (size_t i = 0; i < 6; ++i)
            fields[i]->setValue(v[i]);
        return alarm.alarmTime() - kTai;
    };
    alarm.setTime(1700000000 + kTai);
    std::vector<int> shown;
    for (QSpinBox *field : fields)
        shown.push_back(field->value());
    EXPECT_EQ(shown, (std::vector<int>{14, 11, 2023, 22, 13, 20}));
    EXPECT_EQ(alarm.alarmTime(), 1700000000 + kTai);
    EXPECT_EQ(edit({1, 7, 2024, 3, 4, 5}), utc(2024, 7, 1, 3, 4, 5));
    EXPECT_EQ(edit({31, 2, 2023, 12, 0, 0}), utc(2023, 3, 3, 12, 0, 0));
    EXPECT_EQ(edit({31, 2, 2024, 12, 0, 0}), utc(2024, 3, 2, 12, 0, 0));
    unsetenv("TZ");
    tzset();
}

} // namespace
