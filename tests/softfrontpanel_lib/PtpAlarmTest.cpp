#include "kq7000fp_PTPalarm.h"

#include "../support/WidgetTest.h"

namespace {

// 14 Nov 2023 22:13:20 UTC, seen on a card that counts TAI (UTC + 37 s).
constexpr int64_t kUtc = 1700000000;
constexpr int kTai = 37;
constexpr int64_t kCard = kUtc + kTai;

int64_t card(int year, int month, int day, int hour, int minute, int second) {
    return QDateTime(QDate(year, month, day), QTime(hour, minute, second), Qt::UTC).toSecsSinceEpoch() + kTai;
}

// The fields edit UTC, days past the month's end rolling into the next month; the card gets
// its own time.
TEST(PtpAlarm, EditsUtcAndHandsOverCardTime) {
    kq7000fp_PTPalarm alarm{"Alarm: ", true, 10, true};
    alarm.setUTCoffset(kTai);
    // Day, month, year, hour, minute, second.
    const std::vector<QSpinBox *> fields{alarm.day(),  alarm.month(),  alarm.year(),
                                         alarm.hour(), alarm.minute(), alarm.second()};
    const auto edit = [&](std::vector<int> v) {
        for (int i = 0; i < 6; ++i)
            fields[i]->setValue(v[i]);
    };
    alarm.setTime(kCard);
    std::vector<int> shown;
    for (const QSpinBox *field : fields)
        shown.push_back(field->value());
    EXPECT_EQ(shown, (std::vector<int>{14, 11, 2023, 22, 13, 20}));
    EXPECT_EQ(alarm.alarmTime(), kCard);
    edit({31, 2, 2023, 12, 0, 0});
    EXPECT_EQ(alarm.alarmTime(), card(2023, 3, 3, 12, 0, 0));
}

} // namespace
