#pragma once
// What a plot shows, without any window: named series of points, the range all of them cover,
// the range on show and the zoom / pan operations on it, and the nearest-point look-up behind a
// pointer read-out. Every window that plots curves (the curve view, the dispersion and study
// windows) keeps its data in these types, so zoom, read-out and export behave alike everywhere.
//
// Conventions: x is the horizontal (independent) axis, y the vertical one; values are doubles
// in the series' own units; non-finite points are never drawn, counted in a range or found.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace plot {

struct Point {
    double x = 0;
    double y = 0;
    bool operator==(const Point&) const = default;
};

// 0x00RRGGBB, as written in HTML without the '#'.
using Rgb = std::uint32_t;
constexpr Rgb MakeRgb(int r, int g, int b) {
    return (Rgb(r & 0xFF) << 16) | (Rgb(g & 0xFF) << 8) | Rgb(b & 0xFF);
}
constexpr int RgbRed(Rgb c) { return int((c >> 16) & 0xFF); }
constexpr int RgbGreen(Rgb c) { return int((c >> 8) & 0xFF); }
constexpr int RgbBlue(Rgb c) { return int(c & 0xFF); }

// The i-th colour of a fixed palette of ten well-distinguished colours (wraps around): the
// colour a series gets when the caller has no preference.
Rgb SeriesColour(std::size_t index);

// How a line is drawn besides its colour.
enum class Dash { Solid, Dashed, Dotted, DashDot };
// The i-th series' dash: solid for the first ten, then dashed, dotted and dash-dotted, so that
// lines stay apart when the colours come round again (forty before a look repeats).
Dash SeriesDash(std::size_t index);

// A named curve. Points are drawn in their order (a line joins point i to point i + 1);
// they need not be sorted. name and unit appear in the legend, the read-out and CSV headers.
struct Series {
    enum class Style { Line, Markers, LineAndMarkers };
    std::string name;            // "W result_w.dat", "A0 mode"
    std::string unit;            // unit of y: "mm", "mm/us"
    Rgb colour = MakeRgb(0, 0, 255);
    double lineWidth = 1.0;      // pixels; less than 1 draws 1 pixel wide
    Style style = Style::Line;
    bool singlePrecision = false;  // values came from 32-bit floats: CSV writes their shortest float text
    std::vector<Point> points;
    // A colour per point (as many as points) draws each segment in its first point's colour
    // instead of `colour` (a line coloured by a quantity along it); empty for one colour.
    std::vector<Rgb> pointColours;
    Dash dash = Dash::Solid;
};

// Gives the i-th of several series its colour and dash.
void SetSeriesLook(Series& s, std::size_t index);

// An axis-aligned rectangle in data units. Empty (no extent on an axis) is allowed.
struct Range {
    double xMin = 0, xMax = 0, yMin = 0, yMax = 0;
    double Width() const { return xMax - xMin; }
    double Height() const { return yMax - yMin; }
    bool Contains(Point p) const { return p.x >= xMin && p.x <= xMax && p.y >= yMin && p.y <= yMax; }
    bool operator==(const Range&) const = default;
};

// The smallest range holding every finite point of every series; none when there is no such
// point. An axis whose values are all equal gives an empty extent on that axis.
std::optional<Range> DataRange(std::span<const Series> series);
// The same as the union with another range (either may be missing).
std::optional<Range> Union(const std::optional<Range>& a, const std::optional<Range>& b);
// A range with some room around the data (fraction of the extent on each side); an empty axis
// gets +-1 (or +-10 % of its value) so that it can be scaled.
Range Padded(const Range& data, double fraction);

// The range on show and what the user does to it. Zooming never makes an axis narrower than
// a millionth of its magnitude (below that doubles and the 32-bit values of result files stop
// resolving), nor wider than a million times the data.
class ViewState {
public:
    // The whole data, the range Overview returns to.
    void SetFullRange(const Range& full);
    const Range& FullRange() const { return m_full; }
    const Range& Shown() const { return m_shown; }
    void SetShown(const Range& shown);
    bool IsOverview() const { return m_shown == m_full; }

    void Overview() { m_shown = m_full; }
    // Scales the shown extent by factorX / factorY (below 1 zooms in) keeping `about` where it is
    // on screen. A factor of 1 leaves that axis alone.
    void ZoomAbout(Point about, double factorX, double factorY);
    // Shows exactly the rectangle spanned by two corners (in any order); a rectangle without
    // extent on an axis leaves that axis as it was.
    void ZoomTo(Point a, Point b);
    // Moves the shown range by (dx, dy) data units.
    void Pan(double dx, double dy);
    // Moves by fractions of the shown extent (0.1 = a tenth of the width), as arrow keys do.
    void PanByFraction(double fx, double fy);

private:
    Range Limited(Range r) const;
    Range m_full;
    Range m_shown;
};

// The point nearest to a pointer, measured on screen: dx and dy are scaled by pixels per unit,
// so a steep curve and a flat one are judged as the eye sees them. Only points inside `within`
// (when given) count. maxPixels limits how far the point may be (infinity: any distance).
struct Nearest {
    std::size_t series = 0;
    std::size_t index = 0;
    Point point;
    double pixels = 0;  // distance on screen
};
// The line nearest to a pointer, measured on screen to the drawn segments (not only to the
// points, which may lie far apart on a straight stretch): its point nearer to the pointer's
// foot on the nearest segment, with the distance to that segment. None beyond maxPixels.
std::optional<Nearest> NearestLine(std::span<const Series> series, Point pointer, double pixelsPerX,
                                   double pixelsPerY, const Range& within, double maxPixels);
std::optional<Nearest> NearestPoint(std::span<const Series> series, Point pointer, double pixelsPerX,
                                    double pixelsPerY, const std::optional<Range>& within = std::nullopt,
                                    double maxPixels = 1e300);

// A colour-mapped grid (a B-scan: value over receiving point and time). values holds nx * ny
// numbers row by row: values[iy * nx + ix] is the cell at column ix (x from extent.xMin to
// extent.xMax) and row iy (y from extent.yMin upwards). Non-finite cells are drawn transparent.
struct Grid {
    std::string name;   // "W"
    std::string unit;   // "mm"
    int nx = 0;
    int ny = 0;
    Range extent;       // the outer edges of the cells
    std::vector<double> values;
    // Columns that are not evenly spaced: the centre of each (ascending, nx of them); a column
    // then reaches halfway to its neighbours (and as far beyond the outer ones). Empty: even.
    std::vector<double> columnX;
    // What each column is, for read-outs ("receiver 3 at x = 2.5 mm"); empty: its x.
    std::vector<std::string> columnNames;
    // Where column ix begins and ends along x.
    std::pair<double, double> ColumnEdges(int ix) const;
    double At(int ix, int iy) const { return values[std::size_t(iy) * std::size_t(nx) + std::size_t(ix)]; }
    // Smallest and largest finite value; none when there is none.
    std::optional<std::pair<double, double>> ValueRange() const;
};

// The colour of value v on a blue-white-red scale from vMin to vMax (for signed data such as
// displacement; 0 is white when the scale is symmetric). Values outside take the end colours.
Rgb DivergingColour(double v, double vMin, double vMax);

}  // namespace plot
