#include "kq7000fp_splashLabel.h"

#include "kq7000fp_resources.h"

#include <QPainter>

#include <cstdio>

namespace {

// The background leaves this area free for the device and writes the texts below it.
const QRect kDeviceArea(67, 38, 453, 199);
const QPoint kPictureOrigin(67, 43);
const QSize kPictureSize(452, 194);

QFont boldFont(const QFont &base, int pointSize) {
    QFont f(base);
    f.setWeight(75);
    f.setPointSize(pointSize);
    return f;
}

} // namespace

kq7000fp_splashLabel::kq7000fp_splashLabel(float scale, int margin, int modelCode, bool hexModel,
                                           const QString &notice, const QString &description) {
    kq7000fp_resources::init();
    if (!load(":/fp_splash.png"))
        return;
    const QString model = modelDigits(modelCode, hexModel);
    {
        QPainter p(this);
        const QFont titleFont = boldFont(p.font(), static_cast<int>(18 * scale));
        const QFont descriptionFont = boldFont(p.font(), static_cast<int>(12 * scale));
        const QFont noticeFont = boldFont(p.font(), 8);
        const int h1 = QFontMetrics(titleFont).height();
        const int h3 = QFontMetrics(noticeFont).height();
        const int left = margin + 67;
        const int width = 453 - 2 * margin;
        // The background's text area is light; its brand colour keeps the texts one family.
        p.setPen(QColor(0x1c, 0x2a, 0x52));

        p.setFont(titleFont);
        p.drawText(QRect(left, 236 + h1 / 2, width, h1), Qt::AlignCenter, "Movara " + model);
        p.setFont(descriptionFont);
        p.drawText(QRect(left, 236 + 2 * h1, width, 2 * (82 - h1) - 3 * h3),
                   Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, description);
        p.setFont(noticeFont);
        p.drawText(QRect(left, 2 * (200 - h3), width, h3), Qt::AlignCenter, notice);
    }
    placeDevicePicture(*this, QPixmap(QString(":/kq%1fp_splash.bmp").arg(model)),
                       QPixmap(QString(":/kq%1fp_splash.png").arg(model)));
}

QString kq7000fp_splashLabel::modelDigits(int modelCode, bool hexModel) {
    return QString("%1").arg(modelCode, 4, hexModel ? 16 : 10, QChar(' '));
}

bool kq7000fp_splashLabel::placeDevicePicture(QPixmap &splash, const QPixmap &fullSplash,
                                              const QPixmap &picture) {
    if (fullSplash.size() == QSize(kWidth, kHeight)) {
        QPainter(&splash).drawPixmap(kDeviceArea.topLeft(), fullSplash, kDeviceArea);
        return true;
    }
    if (picture.size() == kPictureSize) {
        QPainter(&splash).drawPixmap(kPictureOrigin, picture);
        return true;
    }
    std::fputs("The size of the image of the device, that is to be used in the splash screen, is not as "
               "required!!!\n",
               stdout);
    std::fflush(stdout);
    return false;
}
