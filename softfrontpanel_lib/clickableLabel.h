// A label that reads as a link and reports a click, for actions that belong in running text
// rather than on a button.
#pragma once

#include <QLabel>

class clickableLabel : public QLabel {
    Q_OBJECT
public:
    explicit clickableLabel(const QString &text, QWidget *parent = nullptr);

signals:
    void clicked();

protected:
    // Release rather than press, as buttons do: the user may still slide off to cancel.
    void mouseReleaseEvent(QMouseEvent *event) override;
};
