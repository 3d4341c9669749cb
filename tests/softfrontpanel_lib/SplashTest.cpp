#include "kq7000fp_resources.h"
#include "kq7000fp_splashLabel.h"

#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

#include <string>

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

// The composed splash over the background and the device picture that the build draws.
class SplashComposed : public ::testing::Test {
protected:
    void SetUp() override {
        kq7000fp_resources::init();
        background = QImage(":/fp_splash.png");
        picture = QImage(":/kq7150fp_splash.png");
        ASSERT_EQ(background.size(), QSize(520, 400));
        ASSERT_EQ(picture.size(), QSize(452, 194));
    }
    struct Result {
        QImage image;
        std::string printed;
    };
    static Result compose(int model, bool hex,
                          const QString &description = "8-Channel, 24-bit Sigma-Delta ADC FC") {
        testing::internal::CaptureStdout();
        const kq7000fp_splashLabel splash(1.0f, 20, model, hex, "Notice", description);
        return {splash.toImage(), testing::internal::GetCapturedStdout()};
    }
    // A point in the middle of the card, where the picture is opaque.
    static QPoint cardCentre() { return {226, 97}; }
    bool showsPicture(const QImage &img) const {
        const QPoint c = cardCentre();
        return img.pixelColor(c + QPoint(67, 43)) == picture.pixelColor(c);
    }
    // Pixels of the composed image that differ from the background inside a rectangle.
    int changed(const QImage &img, const QRect &area) const {
        int n = 0;
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x)
                n += img.pixel(x, y) != background.pixel(x, y);
        return n;
    }
    QImage background, picture;
};

// The device picture is looked up by the model written as the title writes it.
TEST_F(SplashComposed, PictureIsFoundByTheModelInTheChosenBase) {
    const struct {
        int model;
        bool hex, found;
    } rows[] = {{0x7150, true, true}, {7150, false, true}, {0x7150, false, false}, {0x7140, true, false}};
    for (const auto &r : rows) {
        SCOPED_TRACE(testing::Message() << std::hex << r.model << (r.hex ? " hex" : " dec"));
        const Result c = compose(r.model, r.hex);
        EXPECT_EQ(c.image.size(), QSize(520, 400));
        EXPECT_EQ(showsPicture(c.image), r.found);
        EXPECT_EQ(c.printed, r.found ? "" : kSizeMessage);
        if (!r.found) {
            EXPECT_EQ(changed(c.image, QRect(67, 38, 453, 199)), 0);
        }
    }
}

// With a margin of 20 the texts stay between x 87 and 499 and below the device area, even
// when the description has to wrap.
TEST_F(SplashComposed, TextsStayInsideTheirArea) {
    const Result c =
        compose(0x7150, true,
                "A description long enough that it cannot fit on one line of the splash and has to "
                "wrap over several lines");
    const int textTop = 237;
    EXPECT_GT(changed(c.image, QRect(87, textTop, 413, 400 - textTop)), 0);
    EXPECT_EQ(changed(c.image, QRect(0, textTop, 87, 400 - textTop)), 0);
    EXPECT_EQ(changed(c.image, QRect(500, textTop, 20, 400 - textTop)), 0);
    // Nothing but the picture lands above the text area.
    QImage withoutPicture = c.image.copy();
    QPainter(&withoutPicture).drawImage(67, 43, background.copy(67, 43, 452, 194));
    EXPECT_EQ(changed(withoutPicture, QRect(0, 0, 520, textTop)), 0);
}

} // namespace
