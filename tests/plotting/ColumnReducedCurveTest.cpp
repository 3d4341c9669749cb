// The reduced curve must light the pixels the full curve lights: a plot of far more samples
// than columns is drawn both ways and compared pixel by pixel.
#include "ColumnReducedCurve.h"
#include "EnvelopedData.h"
#include "RunEnvelope.h"

#include <qwt_plot.h>
#include <qwt_plot_curve.h>

#include "../support/WidgetTest.h"

#include <algorithm>
#include <random>
#include <vector>

namespace {

// The plot shows x from x0 to x1; with an envelope, the curve draws from EnvelopedData instead
// of plain raw samples. Pixels count as lit above half grey.
std::vector<bool> draw(QwtPlotCurve *curve, const std::vector<double> &x, const std::vector<double> &y,
                       double x0, double x1, bool envelope = false) {
    QwtPlot plot;
    plot.setCanvasBackground(Qt::black);
    plot.setAxisScale(QwtPlot::xBottom, x0, x1);
    plot.setAxisScale(QwtPlot::yLeft, -1.2, 1.2);
    curve->setPen(QPen(Qt::white, 1)); // opaque: overdrawing a pixel cannot change it
    if (envelope)
        curve->setData(new EnvelopedData(x.data(), y.data(), x.size(), RunEnvelope(y.data(), y.size())));
    else
        curve->setRawSamples(x.data(), y.data(), static_cast<int>(x.size()));
    curve->attach(&plot);
    plot.resize(640, 360);
    plot.replot();
    const QImage image = plot.canvas()->grab().toImage();
    curve->detach(); // the plot would delete what the caller owns
    std::vector<bool> lit;
    for (int row = 0; row < image.height(); ++row)
        for (int col = 0; col < image.width(); ++col)
            lit.push_back(qGray(image.pixel(col, row)) > 128);
    return lit;
}

// Dense: about 10 samples a period, every column a full swing. Sparse: fewer samples than
// columns, where nothing may be dropped. Each drawn whole, zoomed into a stretch in the middle
// (samples left and right of the canvas, and the lines into it), and from an envelope.
TEST(ColumnReducedCurve, LightsTheSamePixelsAsEverySample) {
    for (auto [n, periods] : {std::pair{131072, 13107.0}, std::pair{65536, 3.0}, std::pair{300, 4.5}}) {
        std::vector<double> x(n), y(n);
        for (int i = 0; i < n; ++i) {
            x[i] = i * 1e-4;
            y[i] = std::sin(2 * M_PI * periods * i / n) + 0.1 * std::sin(0.37 * i);
        }
        const double end = x.back();
        for (auto [x0, x1, envelope] : {std::tuple{0.0, end, false},
                                        {0.3 * end, 0.3123 * end, false},
                                        {0.0, end, true},
                                        {0.41 * end, 0.7 * end, true}}) {
            SCOPED_TRACE(testing::Message()
                         << n << " samples, " << x0 << " .. " << x1 << ", envelope " << envelope);
            QwtPlotCurve full;
            ColumnReducedCurve reduced;
            const std::vector<bool> a = draw(&full, x, y, x0, x1), b = draw(&reduced, x, y, x0, x1, envelope);
            ASSERT_EQ(a.size(), b.size());
            const long lit = std::count(a.begin(), a.end(), true);
            long differing = 0;
            for (std::size_t i = 0; i < a.size(); ++i)
                differing += a[i] != b[i];
            ASSERT_GT(lit, 300);
            // Rounding of segment ends may move a handful of pixels, never a stroke.
            EXPECT_LE(differing, lit / 1000 + 5) << differing << " of " << lit;
        }
    }
}

// The extremes of any run, read through the envelope's groups, are those of its samples: on
// noise, and on ramps up and down, whose extremes lie at the very ends of every run.
TEST(RunEnvelope, ExtremesOfEveryRunAreThoseOfItsSamples) {
    std::mt19937 gen(3);
    std::uniform_real_distribution<double> noise(-1.0, 1.0);
    for (std::size_t n : {std::size_t(1), RunEnvelope::group - 1, 5 * RunEnvelope::group, std::size_t(1000)})
        for (int shape = 0; shape < 3; ++shape) {
            std::vector<double> y(n);
            for (std::size_t k = 0; k < n; ++k)
                y[k] = shape == 0 ? noise(gen) : shape == 1 ? double(k) : -double(k);
            const RunEnvelope envelope(y.data(), n);
            EXPECT_EQ(envelope.range(), std::pair(*std::min_element(y.begin(), y.end()),
                                                  *std::max_element(y.begin(), y.end())));
            for (std::size_t i = 0; i < n; i += 7)
                for (std::size_t j = i + 1; j <= n; ++j) {
                    const auto [low, high] = std::minmax_element(y.begin() + i, y.begin() + j);
                    ASSERT_EQ(envelope.extremes(y.data(), i, j), std::pair(*low, *high))
                        << n << " shape " << shape << ": " << i << " .. " << j;
                }
        }
}

} // namespace
