#pragma once
// The arithmetic of the curve plot, kept apart from OpenGL so it is tested alone: where the
// plot rectangle sits, the tick labels' places (their values and texts are plot/'s, AxisFormat),
// which segments are drawn and where, the legend box, and the logical palette of indexed-colour
// formats.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "MateCon.h"
#include "PlotModel.h"

namespace Plot {
constexpr int kTickIntervals = 4;        // 3 interior ticks divide each axis into 4
constexpr double kTickLength = 5.0;      // h, in pixels
}  // namespace Plot

// Plot origin (W/4, H/4) in window pixels; the plot is the middle half in each direction.
struct PlotOrigin {
    double x0 = 0;
    double y0 = 0;
    double Width() const { return 2 * x0; }
    double Height() const { return 2 * y0; }
};
PlotOrigin ComputePlotOrigin(int width, int height);

struct PlotLabel {
    double x = 0;  // raster position relative to the plot origin
    double y = 0;
    std::string text;
    bool highlighted = false;
};

// The five labels of each axis for a plot of width wx / height wy: exactly 0 reads "0.0", other
// times have two decimals, other values four (plot::FixedDecimals), at least three characters.
std::array<PlotLabel, 5> TimeLabels(float xMin, float xMax, double wx);
std::array<PlotLabel, 5> ValueLabels(float yMin, float yMax, double wy);
// The labels an axis shows: the five above while they show at least three significant digits;
// otherwise labels of three significant digits over a common power of ten, which `power`
// ("x 1e-5") names at the end of the axis (above the value axis, below the end of the time axis).
struct AxisLabels {
    std::array<PlotLabel, 5> labels;
    std::optional<PlotLabel> power;
};
AxisLabels TimeAxisLabels(float xMin, float xMax, double wx);
AxisLabels ValueAxisLabels(float yMin, float yMax, double wy);

// "U", "V", "W" for components 1, 2, 3; no label for any other value.
std::optional<PlotLabel> VerticalAxisLetter(int labelComp, double wy);
PlotLabel HorizontalAxisLetter(double wx);

// The displayed range and how it maps onto the plot of a W x H window.
struct PlotMapping {
    float xMin = 0, xMax = 0, yMin = 0, yMax = 0;
    double sx = 0, sy = 0;      // pixels per unit; unused on an empty axis
    bool emptyX = false;         // max equals min: the axis has no extent to scale by
    bool emptyY = false;
    double midX = 0, midY = 0;   // where an empty axis puts every point (middle of the plot)

    // Times and values of result files are floats; added curves may be doubles.
    double MapX(double t) const { return emptyX ? midX : (t - xMin) * sx; }
    double MapY(double v) const { return emptyY ? midY : (v - yMin) * sy; }
    // A segment is drawn whole or not at all: p from the left edge on, q up to the right edge,
    // both values inside the value range, bounds included.
    bool SegmentShown(const CCurvePoint& p, const CCurvePoint& q) const {
        return p.m_fX >= xMin && q.m_fX <= xMax && p.m_fY >= yMin && p.m_fY <= yMax &&
               q.m_fY >= yMin && q.m_fY <= yMax;
    }
};
PlotMapping ComputePlotMapping(float xMin, float xMax, float yMin, float yMax, int width,
                               int height);

// The legend of a view with added curves: a box in the top-right corner inside the plot, one
// row per curve with a short line in the curve's colour and its name. Plot coordinates (relative
// to the plot origin, y upwards), from the names' widths and the font's line height and descent.
struct LegendRow {
    double sampleX0 = 0, sampleX1 = 0, sampleY = 0;  // the line sample
    double textX = 0, textY = 0;                     // raster position of the name (its baseline)
};
struct LegendLayout {
    double left = 0, bottom = 0, right = 0, top = 0;  // the box
    std::vector<LegendRow> rows;
};
LegendLayout ComputeLegend(const std::vector<double>& textWidths, double lineHeight, double descent, double wx,
                           double wy);

// What the logical palette is built from: the pixel format's flags and colour layout.
struct PixelFormatLayout {
    std::uint32_t flags = 0;
    int colorBits = 0;
    int redBits = 0, redShift = 0;
    int greenBits = 0, greenShift = 0;
    int blueBits = 0, blueShift = 0;
};
constexpr std::uint32_t kNeedPaletteFlag = 0x80;

struct PaletteEntry {
    std::uint8_t red = 0, green = 0, blue = 0, flags = 0;
    bool operator==(const PaletteEntry&) const = default;
};
// Entries of the logical palette an indexed-colour format needs, or none when the format does
// not need one (every true-colour format). Formats wider than 16 colour bits never need one
// and are not expanded.
std::vector<PaletteEntry> BuildLogicalPalette(const PixelFormatLayout& format);
