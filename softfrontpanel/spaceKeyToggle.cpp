#include "spaceKeyToggle.h"

#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextEdit>

spaceKeyToggle::spaceKeyToggle(QWidget *window, QAbstractButton *repetitiveButton)
    : QObject(window), m_window(window), m_button(repetitiveButton) {
    // The key goes to the focused widget, which may be any control of the window.
    qApp->installEventFilter(this);
}

spaceKeyToggle::~spaceKeyToggle() {
    qApp->removeEventFilter(this);
}

bool spaceKeyToggle::isTextInput(const QWidget *widget) {
    if (!widget)
        return false;
    if (const auto *combo = qobject_cast<const QComboBox *>(widget))
        return combo->isEditable();
    return qobject_cast<const QLineEdit *>(widget) || qobject_cast<const QAbstractSpinBox *>(widget) ||
           qobject_cast<const QTextEdit *>(widget) || qobject_cast<const QPlainTextEdit *>(widget);
}

bool spaceKeyToggle::windowHasTheKeyboard(const QWidget *receiver) const {
    return receiver && receiver->window() == m_window && QApplication::activeWindow() == m_window &&
           !QApplication::activeModalWidget() && !QApplication::activePopupWidget() &&
           !isTextInput(receiver) && !isTextInput(QApplication::focusWidget());
}

bool spaceKeyToggle::eventFilter(QObject *watched, QEvent *event) {
    if (event->type() != QEvent::KeyPress && event->type() != QEvent::KeyRelease)
        return false;
    auto *key = static_cast<QKeyEvent *>(event);
    if (key->key() != Qt::Key_Space || key->modifiers() != Qt::NoModifier ||
        !windowHasTheKeyboard(qobject_cast<QWidget *>(watched)))
        return false;
    // Release and repeats are swallowed too: passed on, they would reach the focused button.
    if (event->type() == QEvent::KeyPress && !key->isAutoRepeat() && m_button && m_button->isEnabled())
        m_button->click();
    return true;
}
