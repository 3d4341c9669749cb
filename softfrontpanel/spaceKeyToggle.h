// Space starts and stops the repetitive acquisition from anywhere in the front panel window,
// as a click on its button would. The key is left alone where it means something else: in a
// text field (line edits, spin boxes, editable combo boxes, text edits), and whenever the window
// is not the one the person types into (a dialog, a menu, another window). It wins over the
// focused button or check box, which would otherwise take Space as a click of their own: after
// a click on "Autoscale", Space still starts the acquisition.
#pragma once

#include <QObject>
#include <QPointer>

class QAbstractButton;
class QWidget;

class spaceKeyToggle : public QObject {
    Q_OBJECT
public:
    // Watches the application's key events for window; the object belongs to window. A
    // disabled button (while a single shot runs) makes the key do nothing.
    spaceKeyToggle(QWidget *window, QAbstractButton *repetitiveButton);
    ~spaceKeyToggle() override;

    static bool isTextInput(const QWidget *widget);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool windowHasTheKeyboard(const QWidget *receiver) const;

    QWidget *m_window;
    QPointer<QAbstractButton> m_button;
};
