#include "kq7000fp_msgBox.h"

#include <QAbstractButton>

namespace {
kq7000fp_msgBox::Answerer &answerer() {
    static kq7000fp_msgBox::Answerer a;
    return a;
}
} // namespace

void kq7000fp_msgBox::setAnswerer(Answerer a) {
    answerer() = std::move(a);
}

QAbstractButton *kq7000fp_msgBox::exec(QMessageBox &box) {
    if (answerer())
        return answerer()(box);
    box.exec();
    return box.clickedButton();
}

QMessageBox::StandardButton kq7000fp_msgBox::ask(QMessageBox::Icon icon, QWidget *parent,
                                                 const QString &title, const QString &text,
                                                 QMessageBox::StandardButtons buttons,
                                                 QMessageBox::StandardButton defaultButton) {
    QMessageBox box(icon, title, text, buttons, parent);
    if (defaultButton != QMessageBox::NoButton)
        box.setDefaultButton(defaultButton);
    QAbstractButton *pressed = exec(box);
    return pressed ? box.standardButton(pressed) : QMessageBox::NoButton;
}
