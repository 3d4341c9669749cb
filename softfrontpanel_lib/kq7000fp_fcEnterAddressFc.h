// One card's line of the address dialog: the carrier's VISA resource descriptor (typed, or
// picked from what was typed before) and the card's number on that carrier.
#pragma once

#include <QWidget>

class QComboBox;

class kq7000fp_fcEnterAddressFc : public QWidget {
    Q_OBJECT
public:
    explicit kq7000fp_fcEnterAddressFc(QWidget *parent = nullptr);

    // Editable; its items are the remembered descriptors, most recent first, and its current
    // text is the descriptor that is used.
    QComboBox *descriptorChoice() const { return m_descriptor; }
    // "Select", then "FC 1" to "FC 8": the current index is the card number, 0 when none.
    QComboBox *cardNumberChoice() const { return m_cardNumber; }

private:
    QComboBox *m_descriptor = nullptr;
    QComboBox *m_cardNumber = nullptr;
};
