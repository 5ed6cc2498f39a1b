#pragma once
// The curve view's curves outside the window: "Export image..." draws them as a figure for a
// report (axis titles with units, the view's description as title, a legend beside the frame
// for several curves, round tick values, optional grid lines, the whole picture used), and
// "Export data..." writes them whole or over the time span shown. "Save bitmap" and printing
// keep the screen's own picture.

#include <QFont>

#include <string>
#include <vector>

#include "PlotPainter.h"

class COstrelDoc;

// The figure's content for the document's curves (the view's own and the added ones).
plot::PlotContent CurveFigureContent(const COstrelDoc& doc, std::vector<plot::Series> series);
// Its look: the view's background, black frame and text, the font, grid lines when asked.
plot::PlotStyle CurveFigureStyle(const QFont& font, plot::Rgb background, bool gridLines);
// The range a figure shows: the document's range on show.
plot::Range ShownCurveRange(const COstrelDoc& doc);

// The series with only their points at times from `from` to `to` (both included).
std::vector<plot::Series> InTimeSpan(std::vector<plot::Series> series, double from, double to);
