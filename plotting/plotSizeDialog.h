// The size of an exported plot: width and height in pixels, first offered as the plot's size
// on the screen, so that OK alone keeps the picture as seen.
#pragma once

#include <QDialog>
#include <QSize>

class QSpinBox;

class plotSizeDialog : public QDialog {
    Q_OBJECT
public:
    // A side longer than this would ask for an image of hundreds of megabytes.
    static constexpr int kMaxSide = 8192;
    static constexpr int kMinSide = 50;

    plotSizeDialog(const QSize &proposed, QWidget *parent);

    QSize chosenSize() const;
    QSpinBox *widthBox() const { return m_width; }
    QSpinBox *heightBox() const { return m_height; }

    // Shows the dialog; true with size set to the chosen one, false when cancelled.
    static bool ask(QWidget *parent, QSize &size);

private:
    QSpinBox *sideBox();

    QSpinBox *m_width = nullptr;
    QSpinBox *m_height = nullptr;
};
