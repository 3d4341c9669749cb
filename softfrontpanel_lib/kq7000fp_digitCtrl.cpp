#include "kq7000fp_digitCtrl.h"

#include "kq7000fp_msgBox.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QContextMenuEvent>
#include <QFocusEvent>
#include <QMenu>
#include <QRegExpValidator>
#include <QStyle>

#include <cmath>
#include <cstdio>
#include <limits>

namespace {

struct RepresentationRow {
    int base;        // 0 for the floating-point rows
    char conversion; // printf conversion; 0 for binary, which printf cannot do
    const char *buttonText;
    int groupMask; // 1 signed integer, 2 unsigned integer, 4 floating point
    const char *menuName;
};

const RepresentationRow kRows[kq7000fp_digitCtrl::RepresentationCount] = {
    {10, 'd', "d", 1, "decimal"},     {10, 'u', "d", 2, "unsigned decimal"},
    {16, 'x', "h", 3, "hexadecimal"}, {16, 'X', "H", 3, "hexadecimal upper"},
    {8, 'o', "o", 3, "octal"},        {2, 0, "b", 3, "binary"},
    {0, 'f', "f", 4, "float"},        {0, 'g', "g", 4, "general"},
    {0, 'e', "e", 4, "exponent"},     {0, 'E', "E", 4, "Exponent"},
};

int groupMaskOf(int row) {
    return row >= 0 && row < kq7000fp_digitCtrl::RepresentationCount ? kRows[row].groupMask : 0;
}

// Every box of this widget is a bare notice with a single Yes button; true when Yes was pressed.
bool inform(QWidget *parent, const QString &text) {
    return kq7000fp_msgBox::ask(QMessageBox::Information, parent, QString(), text, QMessageBox::Yes) ==
           QMessageBox::Yes;
}

} // namespace

// ---------------------------------------------------------------------------------------------

kq7000fp_newDoubleValidator::kq7000fp_newDoubleValidator(QObject *parent) : QDoubleValidator(parent) {
    // The text is read back with QString::toDouble, which always uses the C locale.
    setLocale(QLocale::c());
}

QValidator::State kq7000fp_newDoubleValidator::validate(QString &input, int &pos) const {
    State state = QDoubleValidator::validate(input, pos);
    if (state == Invalid) {
        // A format with a field width pads the shown value with spaces; editing such a text
        // must not be refused because of the padding.
        QString trimmed = input.trimmed();
        if (trimmed != input) {
            int p = 0;
            state = QDoubleValidator::validate(trimmed, p);
        }
    }
    return state == Intermediate ? Acceptable : state;
}

kq7000fp_newlineEdit::kq7000fp_newlineEdit(QWidget *parent) : QLineEdit(parent) {
    setFrame(false);
}

void kq7000fp_newlineEdit::focusInEvent(QFocusEvent *event) {
    QLineEdit::focusInEvent(event);
    setCursorPosition(3);
}

void kq7000fp_newlineEdit::focusOutEvent(QFocusEvent *event) {
    QLineEdit::focusOutEvent(event);
    emit returnPressed();
}

kq7000fp_newPushButton::kq7000fp_newPushButton(QWidget *parent) : QPushButton(parent) {
    setCursor(Qt::ArrowCursor);
    setAutoDefault(false);
    setDefault(false);
    setFocusPolicy(Qt::NoFocus);
}

void kq7000fp_newPushButton::contextMenuEvent(QContextMenuEvent *event) {
    if (m_menu)
        m_menu->popup(event->globalPos());
    event->accept();
}

// ---------------------------------------------------------------------------------------------

kq7000fp_digitCtrl::kq7000fp_digitCtrl(QWidget *parent)
    : kq7000fp_digitCtrl(-std::numeric_limits<double>::infinity(), std::numeric_limits<double>::infinity(),
                         1.0, QStringLiteral("%3.3f"), parent) {}

kq7000fp_digitCtrl::kq7000fp_digitCtrl(double minimum, double maximum, double resolution,
                                       const QString &format, QWidget *parent)
    : QAbstractSpinBox(parent) {
    m_mode = FloatingPoint;
    m_menuFlag = 4;
    m_validator = new kq7000fp_newDoubleValidator(this);
    init(format);
    setRange(minimum, maximum, resolution);
}

kq7000fp_digitCtrl::kq7000fp_digitCtrl(qint64 minimum, qint64 maximum, qint64 init, bool isSigned,
                                       int bitWidth, const QString &format, QWidget *parent)
    : QAbstractSpinBox(parent) {
    m_mode = Integer;
    m_signed = isSigned;
    m_bitWidth = qBound(1, bitWidth, 64);
    m_menuFlag = isSigned ? 1 : 2;
    m_intMinimum = intXXL::fromInt64(qMin(minimum, maximum));
    m_intMaximum = intXXL::fromInt64(qMax(minimum, maximum));
    m_validator = new QRegExpValidator(this);
    this->init(format);
    takeValue(intXXL::fromInt64(init));
}

kq7000fp_digitCtrl::~kq7000fp_digitCtrl() {
    // The editor outlives this part of the object and emits returnPressed() when it loses
    // focus during destruction; that must not reach newText() any more.
    disconnect(m_edit, nullptr, this, nullptr);
}

void kq7000fp_digitCtrl::init(const QString &format) {
    setWrapping(false);
    // The spin box's own text interpretation knows nothing of this widget's values.
    setKeyboardTracking(false);
    m_stepEnabled = StepUpEnabled | StepDownEnabled;
    m_width = 9;
    m_precision = 9;

    m_edit = new kq7000fp_newlineEdit(this);
    m_edit->setFocusPolicy(Qt::WheelFocus);
    setLineEdit(m_edit);
    // setLineEdit() installs the spin box's own validator; ours replaces it.
    m_edit->setValidator(m_validator);
    m_edit->setCursorPosition(3);

    m_menu = new QMenu(this);
    m_group = new QActionGroup(m_menu);
    m_group->setExclusive(true);
    for (int row = 0; row < RepresentationCount; ++row) {
        if (!rowAllowed(row))
            continue;
        QAction *action = m_menu->addAction(QString::fromLatin1(kRows[row].menuName));
        action->setCheckable(true);
        action->setData(row);
        m_group->addAction(action);
    }

    m_button = new kq7000fp_newPushButton(m_edit);
    m_button->setPopupMenu(m_menu);
    m_button->setText(QStringLiteral("H"));
    if (m_mode == Integer) {
        placeButton();
        m_edit->setTextMargins(m_button->width() + 1, 0, 0, 0);
    } else {
        m_button->hide();
    }

    connect(m_edit, &QLineEdit::returnPressed, this, &kq7000fp_digitCtrl::newText);
    connect(m_edit, &QLineEdit::returnPressed, this, &kq7000fp_digitCtrl::retPressed_slot);
    connect(m_button, &QPushButton::clicked, this, &kq7000fp_digitCtrl::setBase_slot);
    connect(m_menu, &QMenu::triggered, this, &kq7000fp_digitCtrl::menuClicked_slot);

    setFormat(format);
    setButtonSymbols(UpDownArrows);
    setReadOnly(false);
}

bool kq7000fp_digitCtrl::modeIs(Mode wanted) const {
    if (m_mode == wanted)
        return true;
    return inform(const_cast<kq7000fp_digitCtrl *>(this),
                  QStringLiteral("Data type is wrong! Do you really want to continue?"));
}

bool kq7000fp_digitCtrl::rowAllowed(int row) const {
    return (groupMaskOf(row) & m_menuFlag) == m_menuFlag;
}

// ---------------------------------------------------------------------------------------------

void kq7000fp_digitCtrl::setFormat(const QString &format) {
    const QByteArray f = format.toLatin1();
    char conversion = m_mode == Integer ? 'd' : 'g';
    m_signFlag = QChar();
    m_width = -1;
    m_precision = -1;
    if (f.startsWith('%')) {
        int i = 1;
        if (i < f.size() && (f[i] == '+' || f[i] == ' '))
            m_signFlag = QLatin1Char(f[i++]);
        auto readNumber = [&](int &target) {
            if (i >= f.size() || f[i] < '0' || f[i] > '9')
                return;
            target = 0;
            while (i < f.size() && f[i] >= '0' && f[i] <= '9')
                target = target * 10 + (f[i++] - '0');
        };
        readNumber(m_width);
        if (i < f.size() && f[i] == '.') {
            ++i;
            readNumber(m_precision);
        }
        // Callers write integer formats as "%lld" as often as "%d"; the length is added back.
        while (i < f.size() && (f[i] == 'l' || f[i] == 'h'))
            ++i;
        conversion = i < f.size() ? f[i] : '\0';
    }

    int row = -1;
    for (int r = RepresentationCount - 1; r >= 0 && row < 0; --r)
        if (rowAllowed(r) && kRows[r].conversion != 0 && kRows[r].conversion == conversion)
            row = r;
    for (int r = 0; r < RepresentationCount && row < 0; ++r)
        if (rowAllowed(r))
            row = r;
    setBase(row);
}

void kq7000fp_digitCtrl::setBase(int row) {
    if (!rowAllowed(row)) {
        std::printf("base:%d, flag:0x%x, MenuFlag:0x%x\n", row, groupMaskOf(row), m_menuFlag);
        std::fflush(stdout);
        inform(QApplication::activeWindow(), QStringLiteral("try missconfigure: non supported new base"));
    } else {
        m_row = row;
        m_button->setText(QString::fromLatin1(kRows[row].buttonText));
        for (QAction *action : m_group->actions())
            if (action->data().toInt() == row)
                action->setChecked(true);
    }
    rebuildFormat();
    updateText();
}

void kq7000fp_digitCtrl::rebuildFormat() {
    if (!rowAllowed(m_row)) {
        inform(this,
               QStringLiteral("missconfiguration! signed variable and conversion flag for only unsigned "
                              "variable (or swapd)"));
        return;
    }
    const RepresentationRow &r = kRows[m_row];
    if (r.conversion == 0) {
        m_format.clear();
    } else {
        m_format = QStringLiteral("%");
        if (!m_signFlag.isNull())
            m_format += m_signFlag;
        if (m_width != -1)
            m_format += QString::number(m_width);
        if (m_precision != -1)
            m_format += QLatin1Char('.') + QString::number(m_precision);
        if (m_mode == Integer)
            m_format += QStringLiteral("ll");
        m_format += QLatin1Char(r.conversion);
    }
    if (m_mode != Integer)
        return;

    // Digits the largest magnitude of the variable needs in this base: 2^(w-1) for a signed
    // decimal text, otherwise the full width of ones, as the other bases show the bit pattern.
    intXXL largest =
        m_signed && r.base == 10 ? intXXL::fromInt64(1) << (m_bitWidth - 1) : intXXL::lowMask(m_bitWidth);
    int digits = 0;
    while (largest != intXXL()) {
        largest = largest.divSmall(static_cast<std::uint16_t>(r.base));
        ++digits;
    }
    QString pattern = r.base == 10 ? QStringLiteral("[+-]?") : QString();
    pattern += QStringLiteral("[0-");
    pattern += r.base == 16 ? QStringLiteral("9a-fA-F") : QString::number(r.base - 1);
    pattern += QStringLiteral("]{1,%1}").arg(m_precision != -1 ? m_precision : digits);
    m_regExp = QRegExp(pattern);
    static_cast<QRegExpValidator *>(m_validator)->setRegExp(m_regExp);
}

QString kq7000fp_digitCtrl::textOf() const {
    const QByteArray fmt = m_format.toLatin1();
    if (m_mode == FloatingPoint)
        return QString::asprintf(fmt.constData(), m_value);
    const RepresentationRow &r = kRows[m_row];
    if (r.base == 10 && m_signed)
        return QString::asprintf(fmt.constData(), static_cast<qlonglong>(m_intValue.toInt64()));
    const quint64 pattern = (m_intValue & intXXL::lowMask(m_bitWidth)).toUInt64();
    if (r.conversion == 0)
        return QString::number(pattern, 2);
    return QString::asprintf(fmt.constData(), static_cast<qulonglong>(pattern));
}

void kq7000fp_digitCtrl::updateText() {
    m_edit->setUpdatesEnabled(false);
    m_edit->setText(textOf());
    m_edit->setUpdatesEnabled(true);
    m_edit->update();
}

void kq7000fp_digitCtrl::updateStepEnabled() {
    const bool up = m_mode == Integer ? m_intMaximum > m_intValue : m_maximum > m_value;
    const bool down = m_mode == Integer ? m_intValue > m_intMinimum : m_value > m_minimum;
    m_stepEnabled = StepNone;
    if (!isReadOnly() && (up || wrapping()))
        m_stepEnabled |= StepUpEnabled;
    if (!isReadOnly() && (down || wrapping()))
        m_stepEnabled |= StepDownEnabled;
}

// ---------------------------------------------------------------------------------------------

void kq7000fp_digitCtrl::setRange(double minimum, double maximum, double resolution) {
    if (!modeIs(FloatingPoint))
        return;
    m_minimum = qMin(minimum, maximum);
    m_maximum = qMax(minimum, maximum);
    if (resolution != 0.0)
        m_stepUp = m_stepDown = std::fabs(resolution);
    takeValue(m_value);
}

void kq7000fp_digitCtrl::setValue(double value) {
    if (modeIs(FloatingPoint))
        takeValue(value);
}

void kq7000fp_digitCtrl::takeValue(double value) {
    const double old = m_value;
    m_value = qBound(m_minimum, value, m_maximum);
    updateStepEnabled();
    updateText();
    if (m_value != old) {
        emit valueChanged(m_value);
        emit valueChanged(m_edit->text());
    }
}

intXXL kq7000fp_digitCtrl::intoRange(intXXL v) const {
    if (v < m_intMinimum)
        return m_intMinimum;
    if (v > m_intMaximum)
        return m_intMaximum;
    return v;
}

void kq7000fp_digitCtrl::setValue(intXXL value) {
    if (modeIs(Integer))
        takeValue(value);
}

void kq7000fp_digitCtrl::takeValue(intXXL value) {
    const intXXL old = m_intValue;
    // Masking keeps the value within the variable's bits; a signed variable keeps its sign so
    // that comparisons against the range and the emitted qint64 stay meaningful.
    const intXXL masked = intoRange(value) & intXXL::lowMask(m_bitWidth);
    m_intValue = m_signed ? masked.signExtendedFrom(m_bitWidth) : masked;
    updateStepEnabled();
    updateText();
    if (m_intValue != old) {
        emit valueChanged(static_cast<qint64>(m_intValue.toInt64()));
        emit valueChanged(m_edit->text());
    }
}

void kq7000fp_digitCtrl::setValue(qint64 init) {
    setValue(intXXL::fromInt64(init));
}

void kq7000fp_digitCtrl::newText() {
    const QString text = m_edit->text().trimmed();
    bool ok = false;
    if (m_mode == FloatingPoint) {
        const double v = text.toDouble(&ok);
        if (ok)
            takeValue(v);
        else
            updateText();
        return;
    }
    const int base = kRows[m_row].base;
    intXXL v;
    if (m_signed && base == 10) {
        v = intXXL::fromInt64(text.toLongLong(&ok, 10));
    } else {
        v = intXXL::fromUInt64(text.toULongLong(&ok, base));
        // The other bases show a signed variable's bit pattern; read back, the pattern has to
        // mean the same negative number again.
        if (m_signed && v <= intXXL::lowMask(m_bitWidth))
            v = v.signExtendedFrom(m_bitWidth);
    }
    if (ok)
        takeValue(v);
    else
        updateText();
}

void kq7000fp_digitCtrl::stepBy(int steps) {
    if (isReadOnly())
        return;
    newText();
    if (m_mode == FloatingPoint) {
        double v = steps * (steps < 1 ? m_stepDown : m_stepUp) + m_value;
        if (wrapping()) {
            if (v > m_maximum)
                v = m_minimum;
            else if (v < m_minimum)
                v = m_maximum;
        }
        takeValue(v);
        return;
    }
    if (steps == 0)
        return;
    intXXL v = steps > 0 ? m_intValue + m_intStep : m_intValue - m_intStep;
    if (wrapping()) {
        if (v > m_intMaximum)
            v = m_intMinimum;
        else if (v < m_intMinimum)
            v = m_intMaximum;
    }
    takeValue(v);
}

QAbstractSpinBox::StepEnabled kq7000fp_digitCtrl::stepEnabled() const {
    return m_stepEnabled;
}

void kq7000fp_digitCtrl::slotClear(int) {
    m_edit->clear();
}

void kq7000fp_digitCtrl::setBase_slot() {
    const QList<QAction *> actions = m_group->actions();
    if (actions.isEmpty())
        return;
    int current = actions.indexOf(m_group->checkedAction());
    actions.at((current + 1) % actions.size())->trigger();
}

void kq7000fp_digitCtrl::menuClicked_slot(QAction *id) {
    newText();
    setBase(id->data().toInt());
}

void kq7000fp_digitCtrl::retPressed_slot() {
    emit returnPressed();
}

// ---------------------------------------------------------------------------------------------

void kq7000fp_digitCtrl::placeButton() {
    const int w = m_edit->fontMetrics().horizontalAdvance(QLatin1Char('H')) + 8;
    m_button->setGeometry(0, 0, w, m_edit->height());
}

void kq7000fp_digitCtrl::resizeEvent(QResizeEvent *event) {
    QAbstractSpinBox::resizeEvent(event);
    if (m_mode == Integer) {
        placeButton();
        m_edit->setTextMargins(m_button->width() + 1, 0, 0, 0);
    }
}

QSize kq7000fp_digitCtrl::minimumSizeHint() const {
    QSize hint = QAbstractSpinBox::minimumSizeHint();
    const int chars = m_mode == Integer ? qMin(m_bitWidth / 4, 20) : 2;
    const QFontMetrics fm(font());
    hint.rwidth() += fm.horizontalAdvance(QString(chars, QLatin1Char('0')));
    if (!m_button->isHidden())
        hint.rwidth() += fm.horizontalAdvance(QLatin1Char('H'));
    return hint;
}
