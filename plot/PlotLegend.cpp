#include "PlotLegend.h"

#include <QFontMetricsF>
#include <QPainter>

#include <algorithm>
#include <cmath>

#include "PlotPainter.h"

namespace plot {

namespace {

constexpr double kPad = 6.0;
constexpr double kSample = 28.0;  // the line sample's length

Qt::PenStyle PenStyle(Dash dash) {
    switch (dash) {
    case Dash::Solid: return Qt::SolidLine;
    case Dash::Dashed: return Qt::DashLine;
    case Dash::Dotted: return Qt::DotLine;
    case Dash::DashDot: return Qt::DashDotLine;
    }
    return Qt::SolidLine;
}

QColor ToQColor(Rgb c) { return QColor(RgbRed(c), RgbGreen(c), RgbBlue(c)); }

}  // namespace

QPen SeriesPen(const Series& s) {
    QPen pen(ToQColor(s.colour));
    pen.setWidthF(std::max(1.0, s.lineWidth));
    pen.setStyle(PenStyle(s.dash));
    pen.setCapStyle(Qt::FlatCap);
    pen.setJoinStyle(Qt::BevelJoin);
    return pen;
}

bool ShowsLegend(const PlotContent& content, const PlotStyle& style) {
    return style.legend && (content.series.size() >= 2 || (style.legendAlways && !content.series.empty()));
}

std::vector<LegendEntry> LegendEntries(const PlotContent& content) {
    std::vector<LegendEntry> entries;
    // A series without a name (a guide line) has no entry.
    for (const Series& s : content.series)
        if (!s.name.empty())
            entries.push_back({QString::fromStdString(s.name), ToQColor(s.colour), s.dash});
    return entries;
}

LegendLayout LayoutLegend(const std::vector<LegendEntry>& entries, const QFont& font, double maxHeight, double maxWidth) {
    LegendLayout l;
    if (entries.empty())
        return l;
    const QFontMetricsF fm(font);
    l.rowHeight = fm.height() + 2;
    const int n = int(entries.size());
    l.rows = std::clamp(int(std::floor((maxHeight - kPad) / l.rowHeight)), 1, n);
    l.columns = (n + l.rows - 1) / l.rows;
    l.rows = (n + l.columns - 1) / l.columns;  // as even as the columns allow
    double textWidth = 0;
    for (const LegendEntry& e : entries)
        textWidth = std::max(textWidth, fm.horizontalAdvance(e.text));
    const double fixed = kSample + 3 * kPad;
    // Each column gets an equal share of the room; a name that does not fit loses its end.
    const double room = std::max(fm.horizontalAdvance(QStringLiteral("A0...")), (maxWidth - kPad) / l.columns - fixed);
    textWidth = std::min(textWidth, room);
    for (const LegendEntry& e : entries)
        l.texts.push_back(fm.elidedText(e.text, Qt::ElideRight, textWidth + 0.5));
    l.columnWidth = textWidth + fixed;
    l.size = QSizeF(l.columnWidth * l.columns + kPad, l.rowHeight * l.rows + kPad);
    return l;
}

void PaintLegend(QPainter& painter, QPointF topLeft, const std::vector<LegendEntry>& entries,
                 const LegendLayout& layout, const QFont& font, const QColor& textColour) {
    if (entries.empty() || layout.rows <= 0)
        return;
    const QFontMetricsF fm(font);
    painter.save();
    painter.setFont(font);
    painter.setPen(QPen(textColour, 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(QRectF(topLeft, layout.size));
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const int column = int(i) / layout.rows, row = int(i) % layout.rows;
        const double x = topLeft.x() + kPad + column * layout.columnWidth;
        const double y = topLeft.y() + kPad / 2 + layout.rowHeight * (row + 0.5);
        QPen pen(entries[i].colour, 2);
        pen.setStyle(PenStyle(entries[i].dash));
        pen.setCapStyle(Qt::FlatCap);
        painter.setPen(pen);
        painter.drawLine(QPointF(x, y), QPointF(x + kSample, y));
        painter.setPen(textColour);
        painter.drawText(QPointF(x + kSample + kPad, y + fm.ascent() / 2 - 1), layout.texts[i]);
    }
    painter.restore();
}

}  // namespace plot
