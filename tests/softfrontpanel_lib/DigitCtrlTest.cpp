#include "intXXL.h"
#include "kq7000fp_digitCtrl.h"

#include "../support/ScriptedBoxes.h"

#include <QApplication>
#include <QMenu>
#include <QRegExpValidator>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

namespace {

const auto doubleChanged = QOverload<double>::of(&kq7000fp_digitCtrl::valueChanged);
const auto int64Changed = QOverload<qint64>::of(&kq7000fp_digitCtrl::valueChanged);

// What the user does: replace the field's text by typing and press Return.
void typeAndReturn(kq7000fp_digitCtrl &ctrl, const QString &text) {
    ctrl.editor()->selectAll();
    QTest::keyClicks(&ctrl, text);
    QTest::keyClick(&ctrl, Qt::Key_Return);
}

QValidator::State validity(const QValidator *validator, QString text) {
    int pos = 0;
    return validator->validate(text, pos);
}

} // namespace

TEST(IntXXLTest, CarriesAcrossSixtyFourBitsComparesSignedShiftsAndDivides) {
    const intXXL maxU64 = intXXL::fromUInt64(~quint64(0));
    const intXXL one = intXXL::fromInt64(1), minusOne = intXXL::fromInt64(-1);
    const intXXL beyond = maxU64 + one; // 2^64, needs the fifth word
    EXPECT_EQ(beyond.toUInt64(), 0u);
    EXPECT_FALSE(beyond.isNegative());
    EXPECT_TRUE(beyond > maxU64);
    EXPECT_EQ(beyond - one, maxU64);
    EXPECT_TRUE(minusOne < intXXL());
    EXPECT_TRUE(intXXL::fromInt64(INT64_MIN) < minusOne);
    EXPECT_TRUE(minusOne < maxU64); // the same low 64 bits, but one is negative
    EXPECT_EQ((intXXL::fromInt64(INT64_MIN) - one).toInt64(), INT64_MAX);
    EXPECT_TRUE(intXXL::fromInt64(INT64_MIN) - one < intXXL::fromInt64(INT64_MIN));

    EXPECT_EQ((one << 70) >> 70, one);
    EXPECT_EQ((intXXL::fromInt64(-8) >> 2).toInt64(), -2); // arithmetic
    EXPECT_EQ(minusOne >> 79, minusOne);
    EXPECT_EQ(((one << 79) >> 70).toInt64(), -512);
    EXPECT_EQ((minusOne & intXXL::lowMask(16)).toUInt64(), 0xFFFFu);
    EXPECT_EQ(intXXL::lowMask(64).toUInt64(), ~quint64(0));
    EXPECT_FALSE(intXXL::lowMask(64).isNegative());
    EXPECT_EQ(intXXL::fromUInt64(0x8000).signExtendedFrom(16).toInt64(), -32768);
    EXPECT_EQ(intXXL::fromUInt64(0x7FFF).signExtendedFrom(16).toInt64(), 32767);
    std::uint16_t rest = 0;
    EXPECT_EQ(beyond.divSmall(10, &rest).toUInt64(), 1844674407370955161u); // 2^64 / 10
    EXPECT_EQ(rest, 6);
}

// Steps stop at the ends unless wrapping, in both modes; a read-only control does not step.
TEST(DigitCtrl, StepsStopAtTheEndsUnlessWrapping) {
    const struct {
        bool integer, wrap;
        double start;
        int steps;
        double expected;
    } rows[] = {
        {false, false, -1.0, -1, -1.0}, {false, false, -1.0, 3, -0.25}, {false, true, 1.0, 1, -1.0},
        {false, true, -1.0, -1, 1.0},   {true, false, -100, -1, -100},  {true, false, -100, 1, -99},
        {true, true, 100, 1, -100},     {true, true, -100, -1, 100},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(testing::Message() << r.integer << r.wrap << " " << r.start << " by " << r.steps);
        auto ctrl = r.integer ? std::make_unique<kq7000fp_digitCtrl>(-100, 100, 0, true, 16, "%d")
                              : std::make_unique<kq7000fp_digitCtrl>(-1.0, 1.0, 0.25, "%g");
        ctrl->setWrapping(r.wrap);
        r.integer ? ctrl->setValue(qint64(r.start)) : ctrl->setValue(r.start);
        QSignalSpy changed(ctrl.get(), doubleChanged), changedInt(ctrl.get(), int64Changed);
        ctrl->stepBy(r.steps);
        const double now = r.integer ? double(ctrl->int64Value()) : ctrl->value();
        EXPECT_EQ(now, r.expected);
        EXPECT_EQ(changed.count() + changedInt.count() > 0, now != r.start);
        if (!r.wrap && !r.integer) {
            EXPECT_EQ(bool(ctrl->stepEnabled() & QAbstractSpinBox::StepDownEnabled), now > ctrl->minimum());
        }
        ctrl->setReadOnly(true);
        ctrl->stepBy(r.steps);
        EXPECT_EQ(r.integer ? double(ctrl->int64Value()) : ctrl->value(), now);
    }
    // A typed but not yet taken value is the base of the step.
    kq7000fp_digitCtrl ctrl(-1.0, 1.0, 0.25, "%g");
    ctrl.editor()->setText("0.5");
    ctrl.stepBy(1);
    EXPECT_EQ(ctrl.value(), 0.75);
}

TEST(DigitCtrl, TypedTextIsTakenOnReturnAndClampedToTheRange) {
    kq7000fp_digitCtrl ctrl(-1e12, 1e12, 1e-12, "%g");
    EXPECT_EQ(ctrl.text(), "0");
    EXPECT_TRUE(ctrl.representationButton()->isHidden());
    QSignalSpy changed(&ctrl, doubleChanged);
    QSignalSpy returns(&ctrl, &kq7000fp_digitCtrl::returnPressed);
    typeAndReturn(ctrl, "2.5");
    ASSERT_EQ(changed.count(), 1);
    EXPECT_EQ(changed.at(0).at(0).toDouble(), 2.5);
    EXPECT_EQ(returns.count(), 1);
    typeAndReturn(ctrl, "5e13");
    EXPECT_EQ(ctrl.text(), "1e+12");
    // Text that is not a number is never taken; the field shows the value again.
    changed.clear();
    ctrl.editor()->setText("1e");
    QTest::keyClick(&ctrl, Qt::Key_Return);
    EXPECT_EQ(ctrl.text(), "1e+12");
    ctrl.setValue(1e12);
    EXPECT_EQ(changed.count(), 0);

    kq7000fp_digitCtrl integer(-100, 100, 0, true, 16, "%d");
    integer.setValue(qint64(500));
    EXPECT_EQ(integer.int64Value(), 100);
    typeAndReturn(integer, "-3000");
    EXPECT_EQ(integer.int64Value(), -100);
}

TEST(DigitCtrl, RangeIsOrderedAndClampsTheValue) {
    kq7000fp_digitCtrl ctrl(0.0, 100.0, 1.0, "%g");
    ctrl.setValue(50.0);
    QSignalSpy changed(&ctrl, doubleChanged);
    ctrl.setRange(20.0, 10.0, 0.0); // swapped ends; resolution 0 keeps the step
    EXPECT_EQ(std::tuple(ctrl.minimum(), ctrl.maximum(), ctrl.resolution(), ctrl.value()),
              std::tuple(10.0, 20.0, 1.0, 20.0));
    EXPECT_EQ(changed.count(), 1);
    ctrl.setRange(0.0, 100.0, -0.1);
    EXPECT_EQ(ctrl.resolution(), 0.1);

    // An integer control asks before taking a fractional resolution, and goes on after Yes.
    kq7000fp_digitCtrl integer(-100, 100, 0, true, 16, "%d");
    ScriptedBoxes boxes({"Cancel", "Yes"});
    integer.setRange(0.0, 1.0, 1.0);
    EXPECT_EQ(integer.maximum(), 0.0);
    integer.setRange(0.0, 1.0, 1.0);
    EXPECT_EQ(integer.maximum(), 1.0);
    EXPECT_EQ(boxes.texts.size(), 2);
}

TEST(DigitCtrl, FormatIsTakenApartAndRebuilt) {
    kq7000fp_digitCtrl ctrl(-10.0, 10.0, 0.5, "%+8.3f");
    ctrl.setValue(2.5);
    EXPECT_EQ(ctrl.text(), "  +2.500");
    QSignalSpy changed(&ctrl, doubleChanged);
    ctrl.newText(); // the padded text reads back as the same value
    EXPECT_EQ(changed.count(), 0);
    ctrl.setFormat("%.2E");
    EXPECT_EQ(ctrl.text(), "2.50E+00");
    ctrl.setFormat("plain");
    EXPECT_EQ(ctrl.format(), "%g");
    ctrl.setFormat("%5d"); // not a floating-point conversion: the first offered row
    EXPECT_EQ(ctrl.format(), "%5f");
    kq7000fp_digitCtrl defaults;
    EXPECT_EQ(std::pair(defaults.text(), defaults.format()), std::pair(QString("0.000"), QString("%3.3f")));
}

TEST(DigitCtrl, WrongModeAndRepresentationAreRefusedWithABox) {
    kq7000fp_digitCtrl ctrl(0.0, 100.0, 1.0, "%g");
    {
        ScriptedBoxes boxes({"Cancel"});
        ctrl.setValue(qint64(5));
        EXPECT_EQ(boxes.texts, QStringList{"Data type is wrong! Do you really want to continue?"});
        EXPECT_EQ(ctrl.intValue(), intXXL());
    }
    {
        ScriptedBoxes boxes({"Yes"});
        ctrl.setBase(kq7000fp_digitCtrl::Hexadecimal);
        EXPECT_EQ(boxes.texts, QStringList{"try missconfigure: non supported new base"});
        EXPECT_EQ(ctrl.base(), kq7000fp_digitCtrl::General);
    }
    ScriptedBoxes none;
    ctrl.setBase(kq7000fp_digitCtrl::Exponent);
    EXPECT_EQ(ctrl.text(), "0.000000e+00");
    EXPECT_TRUE(none.texts.isEmpty());
}

TEST(DigitCtrl, HexadecimalShowsTheBitPatternAndLimitsTheDigits) {
    kq7000fp_digitCtrl ctrl(-32768, 32767, -1, true, 16, "%x");
    EXPECT_EQ(validity(ctrl.editor()->validator(), "ffff"), QValidator::Acceptable);
    EXPECT_EQ(validity(ctrl.editor()->validator(), "fffff"), QValidator::Invalid);
    EXPECT_EQ(ctrl.text(), "ffff");
    EXPECT_FALSE(ctrl.representationButton()->isHidden());
    // The shown pattern reads back as the same negative value; the sign bit makes it negative.
    QSignalSpy changed(&ctrl, int64Changed);
    ctrl.newText();
    EXPECT_EQ(changed.count(), 0);
    typeAndReturn(ctrl, "8000");
    ASSERT_EQ(changed.count(), 1);
    EXPECT_EQ(changed.at(0).at(0).toLongLong(), -32768);
}

TEST(DigitCtrl, EachBaseGetsItsPatternAndText) {
    kq7000fp_digitCtrl ctrl(-32768, 32767, -2, true, 16, "%d");
    EXPECT_EQ(ctrl.regExp().pattern(), "[+-]?[0-9]{1,5}");
    EXPECT_EQ(ctrl.text(), "-2");
    ctrl.setBase(kq7000fp_digitCtrl::Octal);
    EXPECT_EQ(ctrl.text(), "177776");
    ctrl.setBase(kq7000fp_digitCtrl::Binary);
    EXPECT_EQ(ctrl.regExp().pattern(), "[0-1]{1,16}");
    EXPECT_EQ(ctrl.text(), "1111111111111110");
    ctrl.setFormat("%.3X");
    EXPECT_EQ(ctrl.regExp().pattern(), "[0-9a-fA-F]{1,3}");
    // The largest 64-bit magnitudes: 2^63 has 19 decimal digits, 2^64-1 has 16 hex digits.
    kq7000fp_digitCtrl wide(INT64_MIN, INT64_MAX, INT64_MIN, true, 64, "%d");
    EXPECT_EQ(wide.regExp().pattern(), "[+-]?[0-9]{1,19}");
    EXPECT_EQ(wide.text(), "-9223372036854775808");
    wide.setBase(kq7000fp_digitCtrl::Hexadecimal);
    EXPECT_EQ(wide.regExp().pattern(), "[0-9a-fA-F]{1,16}");
    EXPECT_EQ(wide.text(), "8000000000000000");
}

TEST(DigitCtrl, ButtonAndMenuOfferTheRepresentationsOfTheVariable) {
    kq7000fp_digitCtrl ctrl(0, 255, 171, false, 8, "%x");
    EXPECT_EQ(ctrl.representationMenu()->actions().size(), 5); // no signed decimal
    QTest::mouseClick(ctrl.representationButton(), Qt::LeftButton);
    EXPECT_EQ(ctrl.base(), kq7000fp_digitCtrl::HexadecimalUpper);
    EXPECT_EQ(ctrl.representationButton()->text(), "H");
    EXPECT_EQ(ctrl.text(), "AB");
    ctrl.setBase(kq7000fp_digitCtrl::Binary);
    ctrl.setBase_slot(); // wraps to the first row
    EXPECT_EQ(ctrl.base(), kq7000fp_digitCtrl::UnsignedDecimal);
    EXPECT_EQ(ctrl.text(), "171");
    ScriptedBoxes boxes({"Yes"});
    ctrl.setBase(kq7000fp_digitCtrl::Decimal); // signed decimal: not for an unsigned variable
    EXPECT_EQ(boxes.texts, QStringList{"try missconfigure: non supported new base"});
    EXPECT_EQ(ctrl.base(), kq7000fp_digitCtrl::UnsignedDecimal);
    kq7000fp_digitCtrl signedCtrl(-5, 5, 0, true, 8, "%u"); // 'u' is not offered: first row
    EXPECT_EQ(signedCtrl.base(), kq7000fp_digitCtrl::Decimal);
}

TEST(DigitCtrl, LeavingTheFieldTakesTheTypedText) {
    QWidget window;
    auto *ctrl = new kq7000fp_digitCtrl(0.0, 10.0, 1.0, "%g", &window);
    auto *other = new QLineEdit(&window);
    other->move(0, 40);
    window.show();
    QApplication::setActiveWindow(&window);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    ctrl->setFocus();
    QSignalSpy changed(ctrl, doubleChanged);
    ctrl->editor()->selectAll();
    QTest::keyClicks(ctrl, "7");
    EXPECT_EQ(changed.count(), 0);
    other->setFocus();
    ASSERT_EQ(changed.count(), 1);
    EXPECT_EQ(ctrl->value(), 7.0);
    EXPECT_EQ(validity(ctrl->editor()->validator(), "1e"), QValidator::Acceptable);
    EXPECT_EQ(validity(ctrl->editor()->validator(), "x1"), QValidator::Invalid);
}
