#include "PlotGeometry.h"

#include <algorithm>

#include "AxisFormat.h"

PlotOrigin ComputePlotOrigin(int width, int height) {
    return {width / 4.0, height / 4.0};
}

namespace {

// The five tick values of an axis from lo to hi.
std::vector<double> AxisTicks(float lo, float hi) { return plot::EvenTicks(lo, hi, Plot::kTickIntervals); }

// The texts of the curve view's labels: "0.0" for exactly 0, else `decimals` decimals, at least
// three characters, with a '.' in any locale.
const plot::LabelFormat kTimeFormat = plot::FixedDecimals(2);
const plot::LabelFormat kValueFormat = plot::FixedDecimals(4);

}  // namespace

std::array<PlotLabel, 5> TimeLabels(float xMin, float xMax, double wx) {
    using Plot::kTickLength;
    const std::vector<double> values = AxisTicks(xMin, xMax);
    std::array<PlotLabel, 5> labels;
    for (int i = 0; i <= Plot::kTickIntervals; ++i)
        labels[i] = {i * wx / Plot::kTickIntervals - kTickLength, -3 * kTickLength, kTimeFormat.Format(values[i]),
                     false};
    return labels;
}

std::array<PlotLabel, 5> ValueLabels(float yMin, float yMax, double wy) {
    using Plot::kTickLength;
    const std::vector<double> values = AxisTicks(yMin, yMax);
    std::array<PlotLabel, 5> labels;
    for (int i = 0; i <= Plot::kTickIntervals; ++i) {
        // A zero label is shorter, so it starts closer to the edge.
        const double x = values[i] == 0.0 ? -5 * kTickLength : -11 * kTickLength;
        labels[i] = {x, i * wy / Plot::kTickIntervals - kTickLength / 2, kValueFormat.Format(values[i]), false};
    }
    return labels;
}

AxisLabels TimeAxisLabels(float xMin, float xMax, double wx) {
    AxisLabels axis{TimeLabels(xMin, xMax, wx), std::nullopt};
    const std::vector<double> values = AxisTicks(xMin, xMax);
    const plot::LabelFormat format = plot::FixedDecimalsFormat(values, 2);
    if (!format.scaled)
        return axis;
    for (int i = 0; i <= Plot::kTickIntervals; ++i)
        axis.labels[i].text = format.Format(values[i]);
    // Under the end of the axis, below the last label.
    axis.power = PlotLabel{wx - Plot::kTickLength, -6 * Plot::kTickLength, format.Suffix(), false};
    return axis;
}

AxisLabels ValueAxisLabels(float yMin, float yMax, double wy) {
    AxisLabels axis{ValueLabels(yMin, yMax, wy), std::nullopt};
    const std::vector<double> values = AxisTicks(yMin, yMax);
    const plot::LabelFormat format = plot::FixedDecimalsFormat(values, 4);
    if (!format.scaled)
        return axis;
    for (int i = 0; i <= Plot::kTickIntervals; ++i) {
        axis.labels[i].text = format.Format(values[i]);
        // The scaled texts ("-2.50") are shorter than four-decimal ones: closer to the edge.
        if (values[i] != 0.0)
            axis.labels[i].x = -8 * Plot::kTickLength;
    }
    // Above the top of the axis, right of the axis letter.
    axis.power = PlotLabel{3 * Plot::kTickLength, wy + 2 * Plot::kTickLength, format.Suffix(), false};
    return axis;
}

std::optional<PlotLabel> VerticalAxisLetter(int labelComp, double wy) {
    static const char* const kLetters[] = {"U", "V", "W"};
    if (labelComp < 1 || labelComp > 3)
        return std::nullopt;
    return PlotLabel{-Plot::kTickLength, wy + 2 * Plot::kTickLength, kLetters[labelComp - 1], true};
}

PlotLabel HorizontalAxisLetter(double wx) {
    return {wx + 2 * Plot::kTickLength, Plot::kTickLength / 5, "T", true};
}

PlotMapping ComputePlotMapping(float xMin, float xMax, float yMin, float yMax, int width,
                               int height) {
    PlotMapping m;
    m.xMin = xMin;
    m.xMax = xMax;
    m.yMin = yMin;
    m.yMax = yMax;
    const double plotWidth = width / 2.0;
    const double plotHeight = height / 2.0;
    m.emptyX = xMax == xMin;
    m.emptyY = yMax == yMin;
    m.sx = m.emptyX ? 0.0 : plotWidth / (double(xMax) - double(xMin));
    m.sy = m.emptyY ? 0.0 : plotHeight / (double(yMax) - double(yMin));
    m.midX = plotWidth / 2;
    m.midY = plotHeight / 2;
    return m;
}

LegendLayout ComputeLegend(const std::vector<double>& textWidths, double lineHeight, double descent, double wx,
                           double wy) {
    constexpr double kInset = 5, kPad = 4, kSample = 20;
    double widest = 0;
    for (const double w : textWidths)
        widest = std::max(widest, w);
    LegendLayout legend;
    legend.right = wx - kInset;
    legend.top = wy - kInset;
    legend.left = legend.right - (kPad + kSample + kPad + widest + kPad);
    legend.bottom = legend.top - (kPad + lineHeight * double(textWidths.size()) + kPad);
    for (std::size_t i = 0; i < textWidths.size(); ++i) {
        LegendRow row;
        const double rowBottom = legend.top - kPad - lineHeight * double(i + 1);
        row.textX = legend.left + kPad + kSample + kPad;
        row.textY = rowBottom + descent;
        row.sampleX0 = legend.left + kPad;
        row.sampleX1 = row.sampleX0 + kSample;
        row.sampleY = rowBottom + lineHeight / 2;
        legend.rows.push_back(row);
    }
    return legend;
}

namespace {

int ComponentLevel(int index, int bits, int shift) {
    static const int kOneBit[] = {0, 255};
    static const int kTwoBits[] = {0, 85, 170, 255};
    static const int kThreeBits[] = {0, 36, 73, 109, 146, 182, 219, 255};
    const int value = (index >> shift) & 0xFF;
    switch (bits) {
    case 1: return kOneBit[value & 1];
    case 2: return kTwoBits[value & 3];
    case 3: return kThreeBits[value & 7];
    default: return 0;
    }
}

struct SystemColour {
    int entry, red, green, blue;
};
// The fixed colours the window system keeps in every 3-3-2 palette.
constexpr SystemColour kSystemColours[] = {
    {3, 128, 0, 0},     {24, 0, 128, 0},     {27, 128, 128, 0},   {64, 0, 0, 128},
    {67, 128, 0, 128},  {88, 0, 128, 128},   {173, 192, 192, 192}, {181, 192, 220, 192},
    {236, 166, 202, 240}, {247, 255, 251, 240}, {164, 160, 160, 164}, {91, 128, 128, 128},
};

}  // namespace

std::vector<PaletteEntry> BuildLogicalPalette(const PixelFormatLayout& format) {
    if (!(format.flags & kNeedPaletteFlag) || format.colorBits < 0 || format.colorBits > 16)
        return {};
    const int n = 1 << format.colorBits;
    std::vector<PaletteEntry> entries(n);
    for (int i = 0; i < n; ++i) {
        entries[i].red = static_cast<std::uint8_t>(ComponentLevel(i, format.redBits, format.redShift));
        entries[i].green =
            static_cast<std::uint8_t>(ComponentLevel(i, format.greenBits, format.greenShift));
        entries[i].blue =
            static_cast<std::uint8_t>(ComponentLevel(i, format.blueBits, format.blueShift));
    }
    const bool layout332 = format.colorBits == 8 && format.redBits == 3 && format.redShift == 0 &&
                           format.greenBits == 3 && format.greenShift == 3 &&
                           format.blueBits == 2 && format.blueShift == 6;
    if (layout332) {
        for (const SystemColour& c : kSystemColours)
            entries[c.entry] = {static_cast<std::uint8_t>(c.red), static_cast<std::uint8_t>(c.green),
                                static_cast<std::uint8_t>(c.blue), 0};
    }
    return entries;
}
