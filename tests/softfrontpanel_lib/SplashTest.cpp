#include "kq7000fp_splashLabel.h"

#include "../support/WidgetTest.h"

namespace {

const char kSizeMessage[] =
    "The size of the image of the device, that is to be used in the splash screen, is not as required!!!\n";

QPixmap filled(int w, int h, Qt::GlobalColor colour) {
    QPixmap p(w, h);
    p.fill(colour);
    return p;
}

// Places the pictures on a white 520 x 400 splash; returns the result and what was printed.
struct Placed {
    bool placed;
    QImage image;
    std::string printed;
};
Placed place(const QPixmap &fullSplash, const QPixmap &picture) {
    QPixmap splash = filled(520, 400, Qt::white);
    testing::internal::CaptureStdout();
    const bool placed = kq7000fp_splashLabel::placeDevicePicture(splash, fullSplash, picture);
    return {placed, splash.toImage(), testing::internal::GetCapturedStdout()};
}

// A full-size splash lends exactly its device area, x 67..519, y 38..236, even beside a picture;
// a picture of the device area's size, 452 x 194, goes to (67, 43) .. (518, 236). Anything else
// is reported and leaves the splash as it was.
TEST(SplashPicture, OnlyFullSplashesAndDeviceSizedPicturesArePlaced) {
    const struct {
        QSize full, picture;
        QRect drawn; // in the full splash's colour (red) or the picture's (blue)
        Qt::GlobalColor colour;
    } rows[] = {{{520, 400}, {452, 194}, {67, 38, 453, 199}, Qt::red},
                {{452, 194}, {452, 194}, {67, 43, 452, 194}, Qt::blue},
                {{}, {451, 194}, {}, Qt::white},
                {{}, {452, 195}, {}, Qt::white},
                {{519, 400}, {}, {}, Qt::white},
                {{520, 399}, {520, 400}, {}, Qt::white}};
    for (const auto &row : rows) {
        SCOPED_TRACE(testing::Message() << row.full.width() << "x" << row.full.height() << " "
                                        << row.picture.width() << "x" << row.picture.height());
        const auto pixmap = [](QSize size, Qt::GlobalColor c) {
            return size.isEmpty() ? QPixmap() : filled(size.width(), size.height(), c);
        };
        const Placed r = place(pixmap(row.full, Qt::red), pixmap(row.picture, Qt::blue));
        EXPECT_EQ(r.placed, !row.drawn.isEmpty());
        EXPECT_EQ(r.printed, row.drawn.isEmpty() ? kSizeMessage : "");
        QImage expected = filled(520, 400, Qt::white).toImage();
        QPainter(&expected).fillRect(row.drawn, row.colour);
        EXPECT_EQ(r.image, expected);
    }
}

TEST(SplashModel, IsFourDigitsInTheChosenBase) {
    EXPECT_EQ(kq7000fp_splashLabel::modelDigits(0x7150, false), "29008");
    EXPECT_EQ(kq7000fp_splashLabel::modelDigits(0x150, true), " 150");
    EXPECT_EQ(kq7000fp_splashLabel::modelDigits(0xabcd, true), "abcd");
}

} // namespace
