// The digit control as this program builds it: the floating-point multiplier of the axis
// dialog's custom unit. Integer mode and the other bases are never shown.
#include "kq7000fp_digitCtrl.h"

#include "../support/WidgetTest.h"

namespace {

const auto changedSignal = QOverload<double>::of(&kq7000fp_digitCtrl::valueChanged);

// Steps stop at the ends unless wrapping. Nothing makes the control read-only.
TEST(DigitCtrl, StepsStopAtTheEndsUnlessWrapping) {
    const struct {
        bool wrap;
        double start;
        int steps;
        double expected;
    } rows[] = {{false, -1.0, -1, -1.0}, {false, -1.0, 3, -0.25}, {false, 1.0, 1, 1.0},
                {true, 1.0, 1, -1.0},    {true, -1.0, -1, 1.0},   {true, 0.75, 1, 1.0}};
    for (const auto &r : rows) {
        SCOPED_TRACE(testing::Message() << r.wrap << " " << r.start << " by " << r.steps);
        kq7000fp_digitCtrl ctrl(-1.0, 1.0, 0.25, "%g");
        ctrl.setWrapping(r.wrap);
        ctrl.setValue(r.start);
        QSignalSpy changed(&ctrl, changedSignal);
        ctrl.stepBy(r.steps);
        EXPECT_EQ(ctrl.value(), r.expected);
        EXPECT_EQ(changed.count() > 0, r.expected != r.start);
        if (!r.wrap)
            EXPECT_EQ(bool(ctrl.stepEnabled() & QAbstractSpinBox::StepDownEnabled), r.expected > -1.0);
    }
    // A typed but not yet taken value is the base of the step.
    kq7000fp_digitCtrl ctrl(-1.0, 1.0, 0.25, "%g");
    ctrl.editor()->setText("0.5");
    ctrl.stepBy(1);
    EXPECT_EQ(ctrl.value(), 0.75);
}

// Return or leaving the field takes the typed text, clamped to the range; text that is not a
// number is never taken.
TEST(DigitCtrl, TypedTextIsTakenOnReturnOrFocusOutAndClamped) {
    QWidget window;
    auto *ctrl = new kq7000fp_digitCtrl(-1e12, 1e12, 1e-12, "%g", &window);
    auto *other = new QLineEdit(&window);
    other->move(0, 40);
    window.show();
    QApplication::setActiveWindow(&window);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    ctrl->setFocus();
    QSignalSpy changed(ctrl, changedSignal), returns(ctrl, &kq7000fp_digitCtrl::returnPressed);
    const auto type = [&](const QString &text) {
        ctrl->editor()->selectAll();
        QTest::keyClicks(ctrl, text);
        QTest::keyClick(ctrl, Qt::Key_Return);
    };
    type("2.5");
    EXPECT_EQ(std::tuple(changed.value(0).value(0), returns.count()), std::tuple(QVariant(2.5), 1));
    type("5e13");
    changed.clear();
    ctrl->editor()->setText("1e"); // may become a number: typed, but not taken
    QTest::keyClick(ctrl, Qt::Key_Return);
    EXPECT_EQ(std::pair(ctrl->text(), changed.count()), std::pair(QString("1e+12"), 0));
    ctrl->editor()->selectAll();
    QTest::keyClicks(ctrl, "x7");
    EXPECT_EQ(std::pair(ctrl->editor()->text(), changed.count()), std::pair(QString("7"), 0));
    other->setFocus();
    EXPECT_EQ(std::pair(changed.count(), ctrl->value()), std::pair(1, 7.0));
}

} // namespace
