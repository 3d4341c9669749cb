// The splash's device picture and model. Its only caller (main) passes the model in hex and
// has no full-size splash among the resources, only the picture make_images draws.
#include "kq7000fp_splashLabel.h"

#include "../support/WidgetTest.h"

namespace {

QImage filled(QSize size, QRect blue = {}) {
    QPixmap p(size);
    p.fill(Qt::white);
    QPainter(&p).fillRect(blue, Qt::blue);
    return p.toImage();
}

// A picture of the device area's size, 452 x 194, goes to (67, 43) .. (518, 236); any other
// is reported and leaves the splash as it was.
TEST(Splash, OnlyADeviceSizedPictureIsPlacedAndTheModelIsFourHexDigits) {
    for (const QSize size : {QSize(452, 194), QSize(451, 194), QSize(452, 195)}) {
        SCOPED_TRACE(testing::Message() << size.width() << "x" << size.height());
        const bool fits = size == QSize(452, 194);
        QPixmap splash = QPixmap::fromImage(filled({520, 400}));
        testing::internal::CaptureStdout();
        EXPECT_EQ(kq7000fp_splashLabel::placeDevicePicture(splash, QPixmap(),
                                                           QPixmap::fromImage(filled(size, {{}, size}))),
                  fits);
        EXPECT_EQ(testing::internal::GetCapturedStdout().empty(), fits);
        EXPECT_EQ(splash.toImage(), filled({520, 400}, fits ? QRect(67, 43, 452, 194) : QRect()));
    }
    EXPECT_EQ(kq7000fp_splashLabel::modelDigits(0x150, true), " 150");
    EXPECT_EQ(kq7000fp_splashLabel::modelDigits(0xabcd, true), "abcd");
}

} // namespace
