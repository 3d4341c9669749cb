// Every modal message box of the program is shown through here. A test replaces the
// person in front of the screen with an answerer, so that no test waits on a box.
#pragma once

#include <QMessageBox>

#include <functional>

class kq7000fp_msgBox {
public:
    // Gets the fully built box (not shown) and returns the button to press, one of the box's
    // own buttons; nullptr counts as closing the box (Escape).
    using Answerer = std::function<QAbstractButton *(QMessageBox &box)>;

    // Installs an answerer for all boxes that follow; an empty one restores the real dialog.
    static void setAnswerer(Answerer answerer);

    // Shows the box modally, or asks the answerer; returns the pressed button or nullptr.
    static QAbstractButton *exec(QMessageBox &box);

    // A box with standard buttons; returns the pressed one, NoButton when closed.
    static QMessageBox::StandardButton ask(QMessageBox::Icon icon, QWidget *parent, const QString &title,
                                           const QString &text, QMessageBox::StandardButtons buttons,
                                           QMessageBox::StandardButton defaultButton = QMessageBox::NoButton);
};
