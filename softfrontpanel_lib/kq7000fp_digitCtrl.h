// The numeric entry field of the front panels: a spin box holding either a floating-point value
// or an integer of up to 64 bits, shown through a printf-style format. Integers can be shown in
// decimal, hexadecimal, octal or binary, switched with a small button inside the field (click:
// next representation, right click: the menu of all of them).
//
// Typed text is validated while typing and taken on Return or when the field loses focus; text
// that is not a number is never taken, the field shows the current value again.
//
// valueChanged is overloaded; connect with QOverload, e.g.
//   connect(ctrl, QOverload<double>::of(&kq7000fp_digitCtrl::valueChanged), ...);
#pragma once

#include "intXXL.h"

#include <QAbstractSpinBox>
#include <QDoubleValidator>
#include <QLineEdit>
#include <QMetaType>
#include <QPushButton>
#include <QRegExp>

class QActionGroup;
class QMenu;

// Also accepts what the toolkit's double validator calls intermediate, so that partly typed
// numbers ("1e", "-") and values outside its range can be typed; the range is applied when
// the text is taken.
class kq7000fp_newDoubleValidator : public QDoubleValidator {
    Q_OBJECT
public:
    explicit kq7000fp_newDoubleValidator(QObject *parent = nullptr);
    State validate(QString &input, int &pos) const override;
};

// The frameless editor of the field. Losing focus counts as Return, so a typed value is taken
// when the user tabs or clicks away.
class kq7000fp_newlineEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit kq7000fp_newlineEdit(QWidget *parent = nullptr);

protected:
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
};

// The representation button inside the editor: never default, takes no focus; a context-menu
// request opens `popupMenu` at the mouse position.
class kq7000fp_newPushButton : public QPushButton {
    Q_OBJECT
public:
    explicit kq7000fp_newPushButton(QWidget *parent = nullptr);
    void setPopupMenu(QMenu *menu) { m_menu = menu; }
    QMenu *popupMenu() const { return m_menu; }

protected:
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    QMenu *m_menu = nullptr;
};

class kq7000fp_digitCtrl : public QAbstractSpinBox {
    Q_OBJECT
public:
    enum Mode { FloatingPoint = 0, Integer = 1 };
    // Rows of the representation table, usable with setBase().
    enum Representation {
        Decimal = 0,
        UnsignedDecimal,
        Hexadecimal,
        HexadecimalUpper,
        Octal,
        Binary,
        Float,
        General,
        Exponent,
        ExponentUpper,
        RepresentationCount
    };

    // Floating point, range -inf..+inf, resolution 1.0, format "%3.3f".
    explicit kq7000fp_digitCtrl(QWidget *parent = nullptr);
    // Floating point; the resolution is the amount of one step.
    kq7000fp_digitCtrl(double minimum, double maximum, double resolution, const QString &format,
                       QWidget *parent = nullptr);
    // Integer mode: a variable of `bitWidth` bits (1..64), signed or not; step 1.
    kq7000fp_digitCtrl(qint64 minimum, qint64 maximum, qint64 init, bool isSigned, int bitWidth,
                       const QString &format, QWidget *parent = nullptr);
    ~kq7000fp_digitCtrl() override;

    Mode mode() const { return m_mode; }

    // Floating-point mode.
    double value() const { return m_value; }
    double minimum() const { return m_minimum; }
    double maximum() const { return m_maximum; }
    double resolution() const { return m_stepUp; }
    // Takes the smaller as minimum, the larger as maximum; a resolution of 0 keeps the old one.
    // The value is clamped into the new range.
    void setRange(double minimum, double maximum, double resolution);

    // Integer mode.
    intXXL intValue() const { return m_intValue; }
    qint64 int64Value() const { return m_intValue.toInt64(); }
    int bitWidth() const { return m_bitWidth; }
    bool isSignedInteger() const { return m_signed; }
    // The validator pattern of the current representation.
    QRegExp regExp() const { return m_regExp; }

    // printf-style: "%[+| ][width][.precision]conv"; conv is d u x X o (integer) or f g e E
    // (floating point). A format without "%" means plain decimal or general.
    void setFormat(const QString &format);
    // The format as rebuilt from the parts; empty for binary.
    QString format() const { return m_format; }
    QChar signFlag() const { return m_signFlag; } // '+', ' ' or null
    int fieldWidth() const { return m_width; }    // -1 when absent
    int precision() const { return m_precision; } // -1 when absent

    // Switches to a row of the representation table; rows the mode does not offer are refused
    // with an information box.
    void setBase(int row);
    int base() const { return m_row; }

    kq7000fp_newlineEdit *editor() const { return m_edit; }
    kq7000fp_newPushButton *representationButton() const { return m_button; }
    QMenu *representationMenu() const { return m_menu; }

    void stepBy(int steps) override;
    // Which spin buttons and keys step: none at an end of the range unless wrapping.
    StepEnabled stepEnabled() const override;
    QSize minimumSizeHint() const override;

signals:
    void valueChanged(double value);
    void valueChanged(qint64 value);
    // The shown text, emitted together with either numeric signal.
    void valueChanged(QString valueText);
    void returnPressed();

public slots:
    void setValue(double value);
    void setValue(intXXL value);
    void setValue(qint64 init);
    void slotClear(int);
    void updateText();
    // Takes the editor's text (Return, focus out, before a step).
    void newText();
    void setBase_slot();
    void menuClicked_slot(QAction *id);
    void retPressed_slot();

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void init(const QString &format);
    bool modeIs(Mode wanted) const;
    bool rowAllowed(int row) const;
    void rebuildFormat();
    QString textOf() const;
    void updateStepEnabled();
    intXXL intoRange(intXXL v) const;
    // setValue without the mode check, for the widget's own calls.
    void takeValue(double value);
    void takeValue(intXXL value);
    void placeButton();

    Mode m_mode = FloatingPoint;
    double m_value = 0.0;
    double m_stepUp = 1.0;
    double m_stepDown = 1.0;
    double m_minimum = 0.0;
    double m_maximum = 0.0;
    intXXL m_intValue;
    intXXL m_intMinimum;
    intXXL m_intMaximum;
    intXXL m_intStep = intXXL::fromInt64(1);
    int m_bitWidth = 32;
    bool m_signed = true;
    int m_menuFlag = 4;
    int m_row = General;
    QString m_format;
    QChar m_signFlag;
    int m_width = 9;
    int m_precision = 9;
    StepEnabled m_stepEnabled = StepUpEnabled | StepDownEnabled;
    QRegExp m_regExp;

    kq7000fp_newlineEdit *m_edit = nullptr;
    kq7000fp_newPushButton *m_button = nullptr;
    QMenu *m_menu = nullptr;
    QActionGroup *m_group = nullptr;
    QValidator *m_validator = nullptr;
};

Q_DECLARE_METATYPE(intXXL)
