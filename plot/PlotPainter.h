#pragma once
// Draws a plot with QPainter onto any paint device: the screen (PlotWidget), a QImage (PNG),
// a QSvgGenerator (SVG, where the frame, tick labels and curves become <polyline>, <text> and
// <path> elements an SVG viewer shows as vectors) or a printer.
//
// Typical use:
//   plot::PlotContent content;               // series, axis names, optional colour grid
//   plot::ViewState view; view.SetFullRange(plot::Padded(*plot::DataRange(content.series), 0.02));
//   QImage image(800, 500, QImage::Format_RGB32);
//   QPainter painter(&image);
//   plot::PaintPlot(painter, image.rect(), content, view.Shown(), plot::PlotStyle{});
// or plot::ExportPlotImage("out.svg", QSize(800, 500), content, view.Shown(), style, &error).

#include <QColor>
#include <QFont>
#include <QPointF>
#include <QRectF>
#include <QSize>
#include <QString>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "PlotModel.h"
#include "SeriesCsv.h"

class QPainter;

namespace plot {

// Everything a plot shows besides the range: the curves, an optional colour grid below them,
// the axis names (titles are "name (unit)") and a title above the plot.
struct PlotContent {
    std::vector<Series> series;
    std::optional<Grid> grid;       // drawn first, with a colour bar right of the plot
    double gridMin = 0, gridMax = 0;  // colour scale; both 0: the grid's own value range, symmetric about 0
    AxisName x{"x", ""};
    AxisName y{"y", ""};
    std::string title;
    // One unit as long on both axes (a polar plot): the frame takes the shown range's proportions,
    // centred in the room there is.
    bool equalScales = false;
};

struct PlotStyle {
    QFont font;                          // tick labels; titles use the same font
    QColor background = Qt::white;
    QColor frame = QColor(26, 128, 26);  // frame, ticks and labels (the curve view's green)
    QColor text = QColor(26, 128, 26);
    bool legend = true;                  // beside the frame when there are two series or more (or always)
    bool legendAlways = false;
    bool gridLines = false;              // light lines at the ticks
    int tickTarget = 6;                  // about this many ticks per axis
};

// Data range <-> pixels of a plot rectangle (y grows downwards on screen, upwards in data).
struct Mapping {
    Range shown;
    QRectF rect;
    double PixelsPerX() const { return shown.Width() > 0 ? rect.width() / shown.Width() : 0; }
    double PixelsPerY() const { return shown.Height() > 0 ? rect.height() / shown.Height() : 0; }
    QPointF ToPixel(Point p) const;
    Point ToData(QPointF pixel) const;
};

// Where the plot rectangle (the frame) lies in target for this content, range and style: room
// on the left for the value labels of that range and the title, below for the x labels and
// title, on the right for a colour bar.
QRectF PlotRect(const QRectF& target, const PlotContent& content, const Range& shown, const PlotStyle& style);

// Paints background, optional grid and colour bar, curves (cut at the frame), frame, ticks,
// labels (a "x 1e-5" power of ten at the end of an axis when needed), titles and legend.
void PaintPlot(QPainter& painter, const QRectF& target, const PlotContent& content, const Range& shown,
               const PlotStyle& style);

// Cuts the segment a-b to its part inside r (Liang-Barsky); false when no part of it with any
// length is inside (a segment of one point counts when the point is inside).
bool ClipSegment(Point& a, Point& b, const Range& r);
// The parts of a polyline inside r: a segment crossing the edge is cut at it; non-finite
// points break the line. Each piece has at least two points.
std::vector<std::vector<Point>> ClipPolyline(const std::vector<Point>& points, const Range& r);

// Writes whatever paint draws as an image file: ".svg" (any case) through QSvgGenerator,
// anything else through QImage (format from the suffix: png, jpg, bmp). paint receives the
// painter and the full target rectangle (0, 0, size). Atomic; false with a reason on failure.
using PaintFunction = std::function<void(QPainter&, const QRectF&)>;
bool ExportImageFile(const QString& path, QSize size, const PaintFunction& paint, QString* error,
                     const QString& svgTitle = QString());
// ExportImageFile for a plot.
bool ExportPlotImage(const QString& path, QSize size, const PlotContent& content, const Range& shown,
                     const PlotStyle& style, QString* error);

// The read-out text for a pointer at data point p and the nearest series point, numbers against
// the shown range's scale: "t = 1.234 us, W = 5.67e-05 mm | nearest: W result_w.dat (1.2 us,
// 5.6e-05 mm)".
QString ReadoutText(const PlotContent& content, const Range& shown, Point pointer, const std::optional<Nearest>& nearest);
// Every read-out's way of writing a number: 4 significant digits ("1.235", "5.67e-05"), a '.'
// whatever the locale, "-" for a value that is not finite, and "0" for one within rounding of
// zero against `scale`, the size of the quantity it is read among (the largest value of its
// kind, the end of the axis shown): a skew of 7.3e-16 deg among angles reads "0".
QString ReadoutNumber(double value, double scale);
// The scale of values read between lo and hi: the larger magnitude of the two.
double ReadoutScale(double lo, double hi);
// A share of the scale no computed value is trusted below: well above double rounding carried
// through a few thousand operations, well below any difference 4 digits can show.
inline constexpr double kReadoutRounding = 1e-12;

}  // namespace plot
