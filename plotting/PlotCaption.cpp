#include "PlotCaption.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPen>

namespace {

constexpr int kMargin = 8;    // around the band's content
constexpr int kSample = 24;   // the colour line of an entry
constexpr int kEntryGap = 16; // between entries

} // namespace

PlotCaption::PlotCaption(const CurveTable &table) : m_table{table.settings, table.xName, {}, {}} {
    for (const CurveTable::Column &column : table.columns)
        m_table.columns.push_back({column.name, {}, column.rgb});
    // In pixels, not points: the band looks the same in a PNG, an SVG and a PDF of one size.
    m_font.setPixelSize(12);
}

int PlotCaption::height(int width) const {
    return empty() ? 0 : layOut(width, nullptr, 0, 0);
}

void PlotCaption::draw(QPainter &painter, const QRect &area) const {
    if (empty())
        return;
    painter.save();
    painter.fillRect(area, Qt::white);
    painter.setFont(m_font);
    layOut(area.width(), &painter, area.left(), area.top());
    painter.restore();
}

int PlotCaption::layOut(int width, QPainter *painter, int left, int top) const {
    const QFontMetrics metrics(m_font);
    const int line = metrics.height();
    int x = kMargin, y = kMargin;
    for (const CurveTable::Column &column : m_table.columns) {
        const QString name = QString::fromStdString(column.name);
        const int entry = kSample + 4 + metrics.horizontalAdvance(name);
        if (x > kMargin && x + entry > width - kMargin) {
            x = kMargin;
            y += line;
        }
        if (painter) {
            painter->setPen(QPen(QColor::fromRgb(column.rgb), 2));
            const int middle = top + y + line / 2;
            painter->drawLine(left + x, middle, left + x + kSample, middle);
            painter->setPen(Qt::black);
            painter->drawText(QRect(left + x + kSample + 4, top + y, entry, line),
                              Qt::AlignLeft | Qt::AlignVCenter, name);
        }
        x += entry + kEntryGap;
    }
    if (!m_table.columns.empty())
        y += line;
    if (!m_table.settings.empty()) {
        if (painter) {
            painter->setPen(Qt::black);
            // A picture narrower than the line keeps its start.
            const QString settings = metrics.elidedText(QString::fromStdString(m_table.settings),
                                                        Qt::ElideRight, width - 2 * kMargin);
            painter->drawText(QRect(left + kMargin, top + y, width - 2 * kMargin, line),
                              Qt::AlignLeft | Qt::AlignVCenter, settings);
        }
        y += line;
    }
    return y + kMargin;
}
