// Writes a plot to a file the way a person keeps it: a PNG picture, an SVG drawing or a PDF
// page, chosen by the file name's suffix, drawn at a size in pixels. The file is written whole
// or not at all: when anything fails, a file of that name that existed before is kept.
#pragma once

#include "PlotCaption.h"

#include <QSize>
#include <QString>

#include <optional>

class QwtPlot;

class PlotExporter {
public:
    enum class Format { Png, Svg, Pdf };

    // The format the suffix asks for, in any letter case; none for any other suffix.
    static std::optional<Format> formatOf(const QString &fileName);
    // The message for the user when that file cannot be written: an unknown suffix or a
    // folder that does not exist. Empty when neither stands in the way.
    static QString problem(const QString &fileName);
    // Draws the plot at that size, and the caption's band below it (the picture grows by the
    // band's height), and writes the file. Empty on success, else the message.
    static QString write(QwtPlot *plot, const QString &fileName, const QSize &pixels,
                         const PlotCaption &caption = PlotCaption());

    // The filters of a save dialog, one per format.
    static QString filters();
    // A name without a suffix gets the one of the filter chosen with it; any other is kept.
    static QString completedName(const QString &fileName, const QString &selectedFilter);
    // The filter of the name's format (the first filter for any other name).
    static QString filterOf(const QString &fileName);
};
