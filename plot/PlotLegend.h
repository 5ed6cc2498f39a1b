#pragma once
// The legend of a plot, beside its frame so that it never covers a curve: one entry per series
// (a sample of its line, colour and dash, and its name), top to bottom and then in further
// columns when the frame's height does not hold them all; names too long for the room are cut
// with an ellipsis. PlotRect leaves the room, PaintPlot draws it there.

#include <QColor>
#include <QFont>
#include <QPen>
#include <QPointF>
#include <QSizeF>
#include <QString>

#include <vector>

#include "PlotModel.h"

class QPainter;

namespace plot {

struct PlotContent;
struct PlotStyle;

struct LegendEntry {
    QString text;
    QColor colour;
    Dash dash = Dash::Solid;
};

struct LegendLayout {
    QSizeF size;             // the whole box
    int columns = 0;
    int rows = 0;            // entries a column holds
    double columnWidth = 0;
    double rowHeight = 0;
    std::vector<QString> texts;  // the names as they fit
};

// The pen a series is drawn with (its colour, width and dash).
QPen SeriesPen(const Series& s);
// Whether the plot shows a legend, and its entries.
bool ShowsLegend(const PlotContent& content, const PlotStyle& style);
std::vector<LegendEntry> LegendEntries(const PlotContent& content);
// The layout of the entries in at most maxHeight and (cutting names) maxWidth pixels.
LegendLayout LayoutLegend(const std::vector<LegendEntry>& entries, const QFont& font, double maxHeight, double maxWidth);
// Draws the laid-out legend with its top-left corner at topLeft.
void PaintLegend(QPainter& painter, QPointF topLeft, const std::vector<LegendEntry>& entries,
                 const LegendLayout& layout, const QFont& font, const QColor& textColour);

}  // namespace plot
