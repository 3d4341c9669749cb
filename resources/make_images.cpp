// Draws the splash images at build time, so the repository holds no binary pictures and the
// look can be changed in code:
//   fp_splash.png       520 x 400  the common splash background of the maker's panels
//   kq7150fp_splash.png 452 x 194  the 7150 card, placed at (67, 43) on the background
// Usage: make_images <output folder>
#include <QColor>
#include <QDir>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

const QColor kNavy(0x1c, 0x2a, 0x52);
const QColor kAccent(0x4f, 0xb3, 0xff); // the blue of the LXI logo
const QColor kPaper(0xfb, 0xfc, 0xfe);

QFont boldFont(int pixelSize) {
    QFont f("DejaVu Sans");
    f.setStyleHint(QFont::SansSerif);
    f.setBold(true);
    f.setPixelSize(pixelSize);
    return f;
}

// Navy bands on the top and the left frame a light area: the device picture goes at the top
// of it and the panel writes its model, description and notice below in navy.
QImage splashBackground() {
    QImage img(520, 400, QImage::Format_RGB32);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient paper(0, 30, 0, 400);
    paper.setColorAt(0, kPaper);
    paper.setColorAt(1, QColor(0xe6, 0xea, 0xf2));
    p.fillRect(img.rect(), paper);

    p.fillRect(QRect(0, 0, 520, 30), kNavy);
    p.fillRect(QRect(0, 0, 56, 400), kNavy);
    p.fillRect(QRect(56, 30, 3, 370), kAccent);
    p.fillRect(QRect(56, 30, 464, 3), kAccent);
    p.fillRect(QRect(0, 394, 520, 6), kNavy);

    p.setPen(Qt::white);
    p.setFont(boldFont(15));
    p.drawText(QRect(0, 0, 510, 30), Qt::AlignRight | Qt::AlignVCenter, "TRAVIX");
    QFont light = boldFont(12);
    light.setBold(false);
    light.setLetterSpacing(QFont::AbsoluteSpacing, 1);
    p.setFont(light);
    p.drawText(QRect(70, 0, 300, 30), Qt::AlignLeft | Qt::AlignVCenter, "SOFT FRONT PANEL");

    // A faint sine in the left band: the panel is about waveforms.
    p.setPen(QPen(QColor(kAccent.red(), kAccent.green(), kAccent.blue(), 110), 2));
    QPainterPath wave;
    for (int y = 40; y <= 390; y += 2) {
        const double x = 28 + 14 * std::sin((y - 40) * 2 * M_PI / 70.0);
        if (y == 40)
            wave.moveTo(x, y);
        else
            wave.lineTo(x, y);
    }
    p.drawPath(wave);

    // A hairline between the picture and the texts.
    p.setPen(QPen(QColor(0xc8, 0xcf, 0xdd), 1));
    p.drawLine(87, 241, 499, 241);
    return img;
}

void chip(QPainter &p, const QRectF &body, int pinsPerSide, const QString &label) {
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xb8, 0xbc, 0xc4));
    const double step = body.width() / (pinsPerSide + 1);
    for (int i = 1; i <= pinsPerSide; ++i) {
        p.drawRect(QRectF(body.left() + i * step - 1.5, body.top() - 3, 3, 3));
        p.drawRect(QRectF(body.left() + i * step - 1.5, body.bottom(), 3, 3));
    }
    p.setBrush(QColor(0x22, 0x24, 0x29));
    p.drawRoundedRect(body, 2, 2);
    if (!label.isEmpty()) {
        p.setPen(QColor(0x9a, 0xa0, 0xab));
        p.setFont(boldFont(9));
        p.drawText(body, Qt::AlignCenter, label);
    }
}

// The card seen from above: a navy board with its bracket of eight input connectors on the
// left, one converter per channel, the logic that runs them and the edge connector.
QImage devicePicture() {
    QImage img(452, 194, QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);

    const QRectF board(46, 14, 396, 150);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 40));
    p.drawRoundedRect(board.translated(4, 5), 8, 8);

    // Edge connector fingers along the bottom.
    p.setBrush(QColor(0xd4, 0xa8, 0x3a));
    for (double x = 150; x < 410; x += 7)
        p.drawRect(QRectF(x, board.bottom() - 2, 4, 14));

    QLinearGradient pcb(0, board.top(), 0, board.bottom());
    pcb.setColorAt(0, QColor(0x26, 0x3a, 0x6e));
    pcb.setColorAt(1, kNavy);
    p.setBrush(pcb);
    p.drawRoundedRect(board, 8, 8);

    // Traces from every connector to its converter.
    p.setPen(QPen(QColor(0x3d, 0x5a, 0x9e), 1.6));
    p.setBrush(Qt::NoBrush);
    for (int ch = 0; ch < 8; ++ch) {
        const double y = 26 + ch * 17.5;
        const double cx = 104 + (ch % 4) * 30, cy = ch < 4 ? 44 : 128;
        QPainterPath t(QPointF(40, y));
        t.lineTo(84, y);
        t.lineTo(cx, cy + (ch < 4 ? 10 : -10));
        p.drawPath(t);
    }
    for (int i = 0; i < 4; ++i) {
        p.drawLine(QPointF(222, 60 + i * 16), QPointF(272, 60 + i * 16));
        p.drawLine(QPointF(360, 60 + i * 16), QPointF(400, 60 + i * 16));
    }

    for (int ch = 0; ch < 8; ++ch)
        chip(p, QRectF(92 + (ch % 4) * 30, ch < 4 ? 36 : 120, 24, 16), 3, QString());
    chip(p, QRectF(272, 48, 88, 64), 8, "7150");
    chip(p, QRectF(380, 38, 40, 24), 3, QString());
    chip(p, QRectF(380, 100, 40, 24), 3, QString());

    // Bracket with the input connectors.
    QLinearGradient metal(0, 0, 46, 0);
    metal.setColorAt(0, QColor(0x9a, 0xa1, 0xad));
    metal.setColorAt(0.5, QColor(0xe9, 0xec, 0xf1));
    metal.setColorAt(1, QColor(0xa9, 0xaf, 0xba));
    p.setPen(QPen(QColor(0x7d, 0x84, 0x91), 1));
    p.setBrush(metal);
    p.drawRoundedRect(QRectF(8, 6, 38, 176), 4, 4);
    for (int ch = 0; ch < 8; ++ch) {
        const QPointF c(27, 26 + ch * 17.5);
        p.setPen(QPen(QColor(0x5c, 0x63, 0x70), 1));
        p.setBrush(QColor(0xc9, 0xa2, 0x3c));
        p.drawEllipse(c, 7, 7);
        p.setBrush(QColor(0x2b, 0x2e, 0x35));
        p.drawEllipse(c, 3.2, 3.2);
    }
    p.setPen(kNavy);
    p.setFont(boldFont(8));
    p.drawText(QRectF(8, 166, 38, 14), Qt::AlignCenter, "IN 1-8");

    p.setPen(Qt::white);
    p.setFont(boldFont(14));
    p.drawText(QRectF(96, 64, 170, 40), Qt::AlignLeft | Qt::AlignVCenter, "MOVARA 7150");
    p.setFont(boldFont(9));
    p.setPen(QColor(0xc9, 0xd4, 0xec));
    p.drawText(QRectF(96, 90, 170, 16), Qt::AlignLeft | Qt::AlignVCenter, "8 CH  24-BIT  216 kS/s");

    // Mounting holes.
    p.setPen(QPen(QColor(0xd4, 0xa8, 0x3a), 2));
    p.setBrush(QColor(0x10, 0x18, 0x30));
    for (const QPointF c : {QPointF(428, 28), QPointF(428, 150)})
        p.drawEllipse(c, 5, 5);
    return img;
}

bool save(const QImage &img, const QDir &dir, const char *name) {
    if (img.save(dir.filePath(name), "PNG"))
        return true;
    std::fprintf(stderr, "make_images: cannot write %s\n", qPrintable(dir.filePath(name)));
    return false;
}

} // namespace

int main(int argc, char **argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_images <output folder>\n");
        return 2;
    }
    // Text needs a font database, and so an application; a build machine may have no screen.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QDir dir(QString::fromLocal8Bit(argv[1]));
    if (!dir.exists() && !QDir().mkpath(dir.path())) {
        std::fprintf(stderr, "make_images: cannot create %s\n", argv[1]);
        return 1;
    }
    const bool ok =
        save(splashBackground(), dir, "fp_splash.png") && save(devicePicture(), dir, "kq7150fp_splash.png");
    return ok ? EXIT_SUCCESS : EXIT_FAILURE;
}
