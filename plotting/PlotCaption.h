// The band below a saved plot picture: the legend (a short line in each curve's colour and its
// name), then a line with the acquisition settings, so that a picture kept apart from the
// program still says what it shows.
#pragma once

#include "CurveTable.h"

#include <QFont>

class QPainter;
class QRect;

class PlotCaption {
public:
    PlotCaption() = default;
    // The table's settings and its columns' names and colours; its samples are not needed.
    explicit PlotCaption(const CurveTable &table);

    bool empty() const { return m_table.settings.empty() && m_table.columns.empty(); }
    // The band's height in pixels at that width: legend entries wrap to further rows.
    int height(int width) const;
    // Draws the band, white behind, into that rectangle.
    void draw(QPainter &painter, const QRect &area) const;

private:
    // Lays the entries out from the top left; returns the band's height. Draws when painter is set.
    int layOut(int width, QPainter *painter, int left, int top) const;

    CurveTable m_table;
    QFont m_font;
};
