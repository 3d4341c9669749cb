#include "PlotExporter.h"

#include <qwt_plot.h>
#include <qwt_plot_renderer.h>

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>
#include <QSvgGenerator>

namespace {

struct FormatEntry {
    PlotExporter::Format format;
    const char *suffix;
    const char *filter;
};

const FormatEntry kFormats[] = {
    {PlotExporter::Format::Png, "png", "PNG image (*.png)"},
    {PlotExporter::Format::Svg, "svg", "SVG drawing (*.svg)"},
    {PlotExporter::Format::Pdf, "pdf", "PDF document (*.pdf)"},
};

// A pixel of the export is a pixel of a usual screen: text in points comes out as large,
// relative to the plot, as on the screen, and SVG and PDF readers show the page at that size.
constexpr int kDotsPerInch = 96;

QString shown(const QString &fileName) {
    return QDir::toNativeSeparators(fileName);
}

// Painting into a buffer first: the painters of the three formats report no write errors, and
// the file is touched only once the whole drawing exists. The plot takes the size asked for;
// the caption's band, when there is one, lies below it.
struct Drawing {
    QwtPlot *plot;
    QSize pixels;
    const PlotCaption &caption;
    int band;

    QSize total() const { return pixels + QSize(0, band); }
    void draw(QPaintDevice &device) const {
        QPainter painter(&device);
        QwtPlotRenderer().render(plot, &painter, QRectF(QPointF(0, 0), pixels));
        caption.draw(painter, QRect(0, pixels.height(), pixels.width(), band));
    }
};

QByteArray png(const Drawing &drawing) {
    QImage image(drawing.total(), QImage::Format_ARGB32);
    if (image.isNull())
        return {};
    const int dotsPerMeter = qRound(kDotsPerInch / 0.0254);
    image.setDotsPerMeterX(dotsPerMeter);
    image.setDotsPerMeterY(dotsPerMeter);
    image.fill(Qt::white);
    drawing.draw(image);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    return image.save(&buffer, "PNG") ? bytes : QByteArray();
}

QByteArray svg(const Drawing &drawing) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QSvgGenerator generator;
    generator.setOutputDevice(&buffer);
    generator.setResolution(kDotsPerInch);
    generator.setSize(drawing.total());
    generator.setViewBox(QRect(QPoint(0, 0), drawing.total()));
    drawing.draw(generator);
    return bytes;
}

// One page exactly the picture's size: ExactMatch keeps a size near a standard paper size from
// being rounded to that paper. At 96 dpi a pixel is a unit of the page.
QByteArray pdf(const Drawing &drawing) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QPdfWriter writer(&buffer);
    writer.setResolution(kDotsPerInch);
    const QSizeF points = QSizeF(drawing.total()) * 72.0 / kDotsPerInch;
    writer.setPageSize(QPageSize(points, QPageSize::Point, QString(), QPageSize::ExactMatch));
    writer.setPageMargins(QMarginsF(0, 0, 0, 0));
    writer.setCreator("Movara Soft Front Panel");
    drawing.draw(writer);
    return bytes;
}

} // namespace

std::optional<PlotExporter::Format> PlotExporter::formatOf(const QString &fileName) {
    const QString suffix = QFileInfo(fileName).suffix().toLower();
    for (const FormatEntry &entry : kFormats)
        if (suffix == entry.suffix)
            return entry.format;
    return std::nullopt;
}

QString PlotExporter::problem(const QString &fileName) {
    if (!formatOf(fileName))
        return QString("Cannot save the plot as \"%1\": the file name must end in .png, .svg or .pdf.")
            .arg(shown(fileName));
    const QDir folder = QFileInfo(fileName).absoluteDir();
    if (!folder.exists())
        return QString("Directory: \"%1\" does not exist.").arg(shown(folder.path()));
    return {};
}

QString PlotExporter::write(QwtPlot *plot, const QString &fileName, const QSize &pixels,
                            const PlotCaption &caption) {
    if (const QString refused = problem(fileName); !refused.isEmpty())
        return refused;
    QByteArray bytes;
    if (!pixels.isEmpty()) {
        const Drawing drawing{plot, pixels, caption, caption.height(pixels.width())};
        switch (*formatOf(fileName)) {
        case Format::Png:
            bytes = png(drawing);
            break;
        case Format::Svg:
            bytes = svg(drawing);
            break;
        case Format::Pdf:
            bytes = pdf(drawing);
            break;
        }
    }
    if (bytes.isEmpty())
        return QString("Cannot draw the plot at %1 x %2 pixels.").arg(pixels.width()).arg(pixels.height());

    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        return QString("Cannot write the file: \"%1\" (%2).").arg(shown(fileName), file.errorString());
    return {};
}

QString PlotExporter::filters() {
    QStringList all;
    for (const FormatEntry &entry : kFormats)
        all << entry.filter;
    return all.join(";;");
}

QString PlotExporter::completedName(const QString &fileName, const QString &selectedFilter) {
    if (!QFileInfo(fileName).suffix().isEmpty())
        return fileName;
    for (const FormatEntry &entry : kFormats)
        if (selectedFilter == entry.filter)
            return fileName + "." + entry.suffix;
    return fileName;
}

QString PlotExporter::filterOf(const QString &fileName) {
    const std::optional<Format> format = formatOf(fileName);
    for (const FormatEntry &entry : kFormats)
        if (format == entry.format)
            return entry.filter;
    return kFormats[0].filter;
}
