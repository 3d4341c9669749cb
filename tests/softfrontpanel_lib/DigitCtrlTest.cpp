#include "intXXL.h"
#include "kq7000fp_digitCtrl.h"

#include "../support/ScriptedBoxes.h"

#include <QApplication>
#include <QMenu>
#include <QRegExpValidator>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

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

// --- the 80-bit integer --------------------------------------------------------------------------

TEST(IntXXLTest, ArithmeticCarriesAcrossTheSixtyFourBitBoundaryAndComparesSigned) {
    const intXXL maxU64 = intXXL::fromUInt64(~quint64(0));
    const intXXL one = intXXL::fromInt64(1);
    const intXXL beyond = maxU64 + one; // 2^64, needs the fifth word
    EXPECT_EQ(beyond.toUInt64(), 0u);
    EXPECT_FALSE(beyond.isNegative());
    EXPECT_TRUE(beyond > maxU64);
    EXPECT_EQ(beyond - one, maxU64);

    const intXXL minusOne = intXXL::fromInt64(-1);
    EXPECT_TRUE(minusOne < intXXL());
    EXPECT_TRUE(intXXL::fromInt64(INT64_MIN) < minusOne);
    EXPECT_TRUE(minusOne < maxU64); // the same low 64 bits, but one is negative
    EXPECT_EQ((intXXL::fromInt64(INT64_MIN) - one).toInt64(), INT64_MAX);
    EXPECT_TRUE(intXXL::fromInt64(INT64_MIN) - one < intXXL::fromInt64(INT64_MIN));
}

TEST(IntXXLTest, ShiftsMasksAndSmallDivision) {
    EXPECT_EQ((intXXL::fromInt64(1) << 70) >> 70, intXXL::fromInt64(1));
    EXPECT_EQ((intXXL::fromInt64(-8) >> 2).toInt64(), -2); // arithmetic
    EXPECT_EQ((intXXL::fromInt64(-1) >> 79), intXXL::fromInt64(-1));
    EXPECT_EQ(((intXXL::fromInt64(1) << 79) >> 70).toInt64(), -512);
    EXPECT_EQ((intXXL::fromInt64(-1) & intXXL::lowMask(16)).toUInt64(), 0xFFFFu);
    EXPECT_EQ(intXXL::lowMask(64).toUInt64(), ~quint64(0));
    EXPECT_FALSE(intXXL::lowMask(64).isNegative());
    EXPECT_EQ(intXXL::fromUInt64(0x8000).signExtendedFrom(16).toInt64(), -32768);
    EXPECT_EQ(intXXL::fromUInt64(0x7FFF).signExtendedFrom(16).toInt64(), 32767);

    std::uint16_t rest = 0;
    const intXXL q = (intXXL::fromUInt64(~quint64(0)) + intXXL::fromInt64(1)).divSmall(10, &rest);
    EXPECT_EQ(q.toUInt64(), 1844674407370955161u); // 2^64 / 10
    EXPECT_EQ(rest, 6);
}

// --- floating-point mode -------------------------------------------------------------------------

TEST(DigitCtrlFloatTest, TypedTextIsTakenOnReturnAndClampedToTheRange) {
    kq7000fp_digitCtrl ctrl(-1e12, 1e12, 1e-12, "%g");
    EXPECT_EQ(ctrl.text(), "0");
    EXPECT_TRUE(ctrl.representationButton()->isHidden());
    QSignalSpy changed(&ctrl, doubleChanged);
    QSignalSpy returns(&ctrl, &kq7000fp_digitCtrl::returnPressed);

    typeAndReturn(ctrl, "2.5");
    ASSERT_EQ(changed.count(), 1);
    EXPECT_EQ(changed.at(0).at(0).toDouble(), 2.5);
    EXPECT_EQ(ctrl.text(), "2.5");
    EXPECT_EQ(returns.count(), 1);

    typeAndReturn(ctrl, "5e13");
    EXPECT_EQ(ctrl.value(), 1e12);
    EXPECT_EQ(ctrl.text(), "1e+12");

    // Text that is not a number is never taken; the field shows the value again.
    changed.clear();
    ctrl.editor()->setText("1e");
    QTest::keyClick(&ctrl, Qt::Key_Return);
    EXPECT_EQ(ctrl.text(), "1e+12");
    ctrl.setValue(1e12);
    EXPECT_EQ(changed.count(), 0);
}

TEST(DigitCtrlFloatTest, FormatIsTakenApartAndRebuilt) {
    kq7000fp_digitCtrl ctrl(-10.0, 10.0, 0.5, "%+8.3f");
    ctrl.setValue(2.5);
    EXPECT_EQ(ctrl.text(), "  +2.500");
    // The padded text reads back as the same value.
    QSignalSpy changed(&ctrl, doubleChanged);
    ctrl.newText();
    EXPECT_EQ(changed.count(), 0);

    ctrl.setFormat("%.2E");
    EXPECT_EQ(ctrl.text(), "2.50E+00");
    ctrl.setFormat("plain");
    EXPECT_EQ(ctrl.format(), "%g");
    ctrl.setFormat("%5d"); // not a floating-point conversion: the first offered row
    EXPECT_EQ(ctrl.format(), "%5f");

    kq7000fp_digitCtrl defaults;
    EXPECT_EQ(defaults.text(), "0.000");
    EXPECT_EQ(defaults.format(), "%3.3f");
}

TEST(DigitCtrlFloatTest, StepsStopAtTheEndsUnlessWrapping) {
    kq7000fp_digitCtrl ctrl(-1.0, 1.0, 0.25, "%g");
    ctrl.setValue(-1.0);
    QSignalSpy changed(&ctrl, doubleChanged);
    ctrl.stepBy(-1);
    EXPECT_EQ(ctrl.value(), -1.0);
    EXPECT_EQ(changed.count(), 0);
    EXPECT_FALSE(ctrl.stepEnabled() & QAbstractSpinBox::StepDownEnabled);

    ctrl.stepBy(3);
    EXPECT_EQ(ctrl.value(), -0.25);
    EXPECT_TRUE(ctrl.stepEnabled() & QAbstractSpinBox::StepDownEnabled);

    // A typed but not yet taken value is the base of the step.
    ctrl.editor()->setText("0.5");
    ctrl.stepBy(1);
    EXPECT_EQ(ctrl.value(), 0.75);

    ctrl.setWrapping(true);
    ctrl.setValue(1.0);
    ctrl.stepBy(1);
    EXPECT_EQ(ctrl.value(), -1.0);
    ctrl.stepBy(-1);
    EXPECT_EQ(ctrl.value(), 1.0);

    ctrl.setReadOnly(true);
    ctrl.stepBy(-1);
    EXPECT_EQ(ctrl.value(), 1.0);
}

TEST(DigitCtrlFloatTest, RangeIsOrderedAndClampsTheValue) {
    kq7000fp_digitCtrl ctrl(0.0, 100.0, 1.0, "%g");
    ctrl.setValue(50.0);
    QSignalSpy changed(&ctrl, doubleChanged);
    ctrl.setRange(20.0, 10.0, 0.0); // swapped ends; resolution 0 keeps the step
    EXPECT_EQ(ctrl.minimum(), 10.0);
    EXPECT_EQ(ctrl.maximum(), 20.0);
    EXPECT_EQ(ctrl.resolution(), 1.0);
    EXPECT_EQ(ctrl.value(), 20.0);
    EXPECT_EQ(changed.count(), 1);
    ctrl.setRange(0.0, 100.0, -0.1);
    EXPECT_EQ(ctrl.resolution(), 0.1);
}

TEST(DigitCtrlFloatTest, WrongModeAndRepresentationAreReportedInBoxes) {
    kq7000fp_digitCtrl ctrl(0.0, 100.0, 1.0, "%g");
    {
        ScriptedBoxes boxes({"Cancel"});
        ctrl.setValue(qint64(5));
        ASSERT_EQ(boxes.texts.size(), 1);
        EXPECT_EQ(boxes.texts[0], "Data type is wrong! Do you really want to continue?");
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

// --- integer mode --------------------------------------------------------------------------------

TEST(DigitCtrlIntegerTest, HexadecimalShowsTheBitPatternAndLimitsTheDigits) {
    kq7000fp_digitCtrl ctrl(-32768, 32767, -1, true, 16, "%x");
    EXPECT_EQ(validity(ctrl.editor()->validator(), "ffff"), QValidator::Acceptable);
    EXPECT_EQ(validity(ctrl.editor()->validator(), "fffff"), QValidator::Invalid);
    EXPECT_EQ(ctrl.text(), "ffff");
    EXPECT_FALSE(ctrl.representationButton()->isHidden());

    // The shown pattern reads back as the same negative value; a pattern with the sign bit set
    // is a negative number.
    QSignalSpy changed(&ctrl, int64Changed);
    ctrl.newText();
    EXPECT_EQ(changed.count(), 0);
    typeAndReturn(ctrl, "8000");
    EXPECT_EQ(ctrl.int64Value(), -32768);
    ASSERT_EQ(changed.count(), 1);
    EXPECT_EQ(changed.at(0).at(0).toLongLong(), -32768);
}

TEST(DigitCtrlIntegerTest, EachBaseGetsItsPatternAndText) {
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

TEST(DigitCtrlIntegerTest, ButtonAndMenuOfferTheRepresentationsOfTheVariable) {
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

TEST(DigitCtrlIntegerTest, ValueStaysInRangeAndStepsStopAtTheEnds) {
    kq7000fp_digitCtrl ctrl(-100, 100, 0, true, 16, "%d");
    QSignalSpy changed(&ctrl, int64Changed);
    ctrl.setValue(qint64(500));
    EXPECT_EQ(ctrl.int64Value(), 100);
    ctrl.setValue(qint64(-100));
    changed.clear();
    ctrl.stepBy(-1);
    EXPECT_EQ(ctrl.int64Value(), -100);
    EXPECT_EQ(changed.count(), 0);
    EXPECT_EQ(ctrl.text(), "-100");
    ctrl.stepBy(1);
    EXPECT_EQ(ctrl.int64Value(), -99);

    ctrl.setWrapping(true);
    ctrl.setValue(qint64(100));
    ctrl.stepBy(1);
    EXPECT_EQ(ctrl.int64Value(), -100);
    ctrl.stepBy(-1);
    EXPECT_EQ(ctrl.int64Value(), 100);

    // Typed beyond the range: brought into it.
    typeAndReturn(ctrl, "-3000");
    EXPECT_EQ(ctrl.int64Value(), -100);

    ScriptedBoxes boxes({"Cancel", "Yes"});
    ctrl.setRange(0.0, 1.0, 1.0);
    EXPECT_EQ(ctrl.maximum(), 0.0);
    ctrl.setRange(0.0, 1.0, 1.0); // goes on once Yes was pressed
    EXPECT_EQ(ctrl.maximum(), 1.0);
    EXPECT_EQ(boxes.texts.size(), 2);
}

TEST(DigitCtrlFloatTest, LeavingTheFieldTakesTheTypedText) {
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
