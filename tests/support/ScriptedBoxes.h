// Answers the program's message boxes in tests: presses the buttons named in the script, in
// order ("Cancel" when the script is used up), and keeps the texts of the boxes it saw.
#pragma once

#include "kq7000fp_msgBox.h"

#include <QAbstractButton>
#include <QStringList>

class ScriptedBoxes {
public:
    explicit ScriptedBoxes(QStringList presses = {}) : m_presses(std::move(presses)) {
        kq7000fp_msgBox::setAnswerer([this](QMessageBox &box) -> QAbstractButton * {
            texts << box.text();
            titles << box.windowTitle();
            icons << box.icon();
            const QString wanted = m_presses.isEmpty() ? "Cancel" : m_presses.takeFirst();
            for (QAbstractButton *b : box.buttons())
                if (b->text().remove('&') == wanted)
                    return b;
            return nullptr;
        });
    }
    ~ScriptedBoxes() { kq7000fp_msgBox::setAnswerer(nullptr); }
    void press(const QString &button) { m_presses << button; }

    QStringList texts;
    QStringList titles;
    QList<QMessageBox::Icon> icons;

private:
    QStringList m_presses;
};
