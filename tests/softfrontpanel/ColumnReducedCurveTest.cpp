// The reduced curve must light the pixels the full curve lights: a plot of far more samples
// than columns is drawn both ways and compared pixel by pixel.
#include "ColumnReducedCurve.h"

#include <qwt_plot.h>
#include <qwt_plot_curve.h>

#include <QImage>
#include <QPixmap>

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

namespace {

QImage draw(QwtPlotCurve *curve, const std::vector<double> &x, const std::vector<double> &y) {
    QwtPlot plot;
    plot.setCanvasBackground(Qt::black);
    plot.setAxisScale(QwtPlot::xBottom, x.front(), x.back());
    plot.setAxisScale(QwtPlot::yLeft, -1.2, 1.2);
    curve->setPen(QPen(Qt::white, 1)); // opaque: overdrawing a pixel cannot change it
    curve->setRawSamples(x.data(), y.data(), static_cast<int>(x.size()));
    curve->attach(&plot);
    plot.resize(640, 360);
    plot.replot();
    const QImage image = plot.canvas()->grab().toImage();
    curve->detach(); // the plot would delete what the caller owns
    return image;
}

struct Comparison {
    int lit = 0, differing = 0;
};

Comparison compare(const QImage &a, const QImage &b) {
    Comparison c;
    for (int row = 0; row < a.height(); ++row)
        for (int col = 0; col < a.width(); ++col) {
            const bool litA = qGray(a.pixel(col, row)) > 128, litB = qGray(b.pixel(col, row)) > 128;
            c.lit += litA;
            c.differing += litA != litB;
        }
    return c;
}

// Dense: about 10 samples a period, every column a full swing. Sparse: fewer samples than
// columns, where nothing may be dropped.
TEST(ColumnReducedCurve, LightsTheSamePixelsAsEverySample) {
    for (auto [n, periods] : {std::pair{131072, 13107.0}, std::pair{65536, 3.0}, std::pair{300, 4.5}}) {
        std::vector<double> x(n), y(n);
        for (int i = 0; i < n; ++i) {
            x[i] = i * 1e-4;
            y[i] = std::sin(2 * M_PI * periods * i / n) + 0.1 * std::sin(0.37 * i);
        }
        QwtPlotCurve full;
        ColumnReducedCurve reduced;
        const Comparison c = compare(draw(&full, x, y), draw(&reduced, x, y));
        ASSERT_GT(c.lit, 1000) << n;
        // Rounding of segment ends may move a handful of pixels, never a stroke.
        EXPECT_LE(c.differing, c.lit / 1000 + 5) << n << " samples: " << c.differing << " of " << c.lit;
    }
}

} // namespace
