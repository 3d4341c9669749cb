// A lamp with a caption: the frame's "Active" light and each channel's overrange light.
#pragma once

#include <QColor>
#include <QWidget>

class kq7000fp_led : public QWidget {
    Q_OBJECT
public:
    // An off colour equal to Qt::magenta stands for the palette's window colour.
    kq7000fp_led(const QString &text, const QColor &onColour, const QColor &offColour,
                 QWidget *parent = nullptr);
    // The on colour by name (null: "#FF0000"); off is the palette's window colour.
    kq7000fp_led(const QString &text, const char *onColourName, QWidget *parent = nullptr);

    int value() const { return m_value; }
    QString text() const { return m_text; }
    // The colour the lamp is drawn in now.
    QColor lampColour() const;

    void setValue(int value);
    void setText(const QString &text);
    void setOnColour(const QColor &colour);
    void setOffColour(const QColor &colour);
    void setThirdColour(const QColor &colour);

    QSize minimumSizeHint() const override;
    QSize sizeHint() const override { return minimumSizeHint(); }

signals:
    void valueToggled();

public slots:
    void toggleValue();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QColor offColourNow() const;

    int m_value = 0;
    QColor m_onColour;
    QColor m_offColour;
    QColor m_thirdColour = Qt::black;
    QString m_text;
    bool m_thirdColourSet = false;
};
