// The start-up splash of a function-card panel: the common background with the card's model,
// description and notice written on it, and a picture of the card.
#pragma once

#include <QPixmap>
#include <QString>

class kq7000fp_splashLabel : public QPixmap {
public:
    static constexpr int kWidth = 520;
    static constexpr int kHeight = 400;

    // scale enlarges the title and description fonts; margin narrows their text area on both
    // sides. The model is written with 4 digits, hexadecimal when hexModel. The pixmap stays
    // null when the background cannot be loaded.
    kq7000fp_splashLabel(float scale, int margin, int modelCode, bool hexModel, const QString &notice,
                         const QString &description);

    // "7150" for 0x7150 in hexadecimal; space-padded to 4, as resource names and the title use it.
    static QString modelDigits(int modelCode, bool hexModel);

    // Puts the device picture on the splash: a full-size splash image lends its device area, else
    // a picture of exactly the device area's size is drawn into it. Anything else is reported on
    // standard output and leaves the splash as it is; returns whether a picture was placed.
    static bool placeDevicePicture(QPixmap &splash, const QPixmap &fullSplash, const QPixmap &picture);
};
