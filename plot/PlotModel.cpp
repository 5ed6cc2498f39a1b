#include "PlotModel.h"

#include <algorithm>
#include <cmath>

namespace plot {

Rgb SeriesColour(std::size_t index) {
    // Blue first (the curve view's default), then colours that stay apart on white and in print.
    static constexpr Rgb kPalette[] = {
        MakeRgb(0, 0, 255),   MakeRgb(220, 20, 60),  MakeRgb(0, 140, 0),    MakeRgb(255, 140, 0),
        MakeRgb(148, 0, 211), MakeRgb(0, 150, 170),  MakeRgb(139, 69, 19),  MakeRgb(255, 0, 200),
        MakeRgb(100, 100, 100), MakeRgb(128, 128, 0),
    };
    return kPalette[index % (sizeof kPalette / sizeof kPalette[0])];
}

Dash SeriesDash(std::size_t index) {
    static constexpr Dash kDashes[] = {Dash::Solid, Dash::Dashed, Dash::Dotted, Dash::DashDot};
    return kDashes[(index / 10) % 4];
}

void SetSeriesLook(Series& s, std::size_t index) {
    s.colour = SeriesColour(index);
    s.dash = SeriesDash(index);
}

std::optional<Range> DataRange(std::span<const Series> series) {
    std::optional<Range> r;
    for (const Series& s : series)
        for (const Point& p : s.points) {
            if (!std::isfinite(p.x) || !std::isfinite(p.y))
                continue;
            if (!r) {
                r = Range{p.x, p.x, p.y, p.y};
                continue;
            }
            r->xMin = std::min(r->xMin, p.x);
            r->xMax = std::max(r->xMax, p.x);
            r->yMin = std::min(r->yMin, p.y);
            r->yMax = std::max(r->yMax, p.y);
        }
    return r;
}

std::optional<Range> Union(const std::optional<Range>& a, const std::optional<Range>& b) {
    if (!a)
        return b;
    if (!b)
        return a;
    return Range{std::min(a->xMin, b->xMin), std::max(a->xMax, b->xMax), std::min(a->yMin, b->yMin),
                 std::max(a->yMax, b->yMax)};
}

namespace {

void PadAxis(double& lo, double& hi, double fraction) {
    const double extent = hi - lo;
    if (extent > 0) {
        lo -= extent * fraction;
        hi += extent * fraction;
        return;
    }
    const double room = lo == 0 ? 1.0 : std::abs(lo) * 0.1;
    lo -= room;
    hi += room;
}

// The narrowest extent an axis may have around centre c.
double MinimumExtent(double lo, double hi) {
    const double magnitude = std::max({std::abs(lo), std::abs(hi), 1e-300});
    return magnitude * 1e-6;
}

// Fits [lo, hi] between the smallest and largest allowed extent, keeping its centre.
void LimitAxis(double& lo, double& hi, double fullExtent) {
    const double centre = 0.5 * (lo + hi);
    double extent = hi - lo;
    const double smallest = MinimumExtent(lo, hi);
    const double largest = std::max(fullExtent, smallest) * 1e6;
    if (!(extent >= smallest))
        extent = smallest;
    else if (extent > largest)
        extent = largest;
    else
        return;
    lo = centre - 0.5 * extent;
    hi = centre + 0.5 * extent;
}

}  // namespace

Range Padded(const Range& data, double fraction) {
    Range r = data;
    PadAxis(r.xMin, r.xMax, fraction);
    PadAxis(r.yMin, r.yMax, fraction);
    return r;
}

void ViewState::SetFullRange(const Range& full) {
    m_full = full;
    m_shown = full;
}

void ViewState::SetShown(const Range& shown) { m_shown = shown; }

namespace {

bool Finite(const Range& r) {
    return std::isfinite(r.xMin) && std::isfinite(r.xMax) && std::isfinite(r.yMin) && std::isfinite(r.yMax);
}

}  // namespace

Range ViewState::Limited(Range r) const {
    LimitAxis(r.xMin, r.xMax, m_full.Width());
    LimitAxis(r.yMin, r.yMax, m_full.Height());
    return r;
}

void ViewState::ZoomAbout(Point about, double factorX, double factorY) {
    if (!(factorX > 0) || !(factorY > 0) || !std::isfinite(about.x) || !std::isfinite(about.y))
        return;
    Range r = m_shown;
    if (factorX != 1.0 && r.Width() > 0) {
        r.xMin = about.x - (about.x - r.xMin) * factorX;
        r.xMax = about.x + (r.xMax - about.x) * factorX;
    }
    if (factorY != 1.0 && r.Height() > 0) {
        r.yMin = about.y - (about.y - r.yMin) * factorY;
        r.yMax = about.y + (r.yMax - about.y) * factorY;
    }
    const Range limited = Limited(r);
    // At a limit the range stays where it is rather than drifting away from the pointer.
    if (factorX != 1.0 && limited.Width() != r.Width()) {
        r.xMin = m_shown.xMin;
        r.xMax = m_shown.xMax;
    }
    if (factorY != 1.0 && limited.Height() != r.Height()) {
        r.yMin = m_shown.yMin;
        r.yMax = m_shown.yMax;
    }
    if (Finite(r))  // beyond the doubles (a range near 1e308): the view stays as it is
        m_shown = r;
}

void ViewState::ZoomTo(Point a, Point b) {
    if (!std::isfinite(a.x) || !std::isfinite(a.y) || !std::isfinite(b.x) || !std::isfinite(b.y))
        return;
    Range r = m_shown;
    if (a.x != b.x) {
        r.xMin = std::min(a.x, b.x);
        r.xMax = std::max(a.x, b.x);
    }
    if (a.y != b.y) {
        r.yMin = std::min(a.y, b.y);
        r.yMax = std::max(a.y, b.y);
    }
    if (const Range limited = Limited(r); Finite(limited))
        m_shown = limited;
}

void ViewState::Pan(double dx, double dy) {
    const Range moved{m_shown.xMin + dx, m_shown.xMax + dx, m_shown.yMin + dy, m_shown.yMax + dy};
    if (Finite(moved))
        m_shown = moved;
}

void ViewState::PanByFraction(double fx, double fy) {
    Pan(fx * m_shown.Width(), fy * m_shown.Height());
}

std::optional<Nearest> NearestPoint(std::span<const Series> series, Point pointer, double pixelsPerX,
                                    double pixelsPerY, const std::optional<Range>& within, double maxPixels) {
    if (!std::isfinite(pointer.x) || !std::isfinite(pointer.y))
        return std::nullopt;
    std::optional<Nearest> best;
    double bestSquare = maxPixels * maxPixels;
    for (std::size_t s = 0; s < series.size(); ++s) {
        const std::vector<Point>& points = series[s].points;
        for (std::size_t i = 0; i < points.size(); ++i) {
            const Point& p = points[i];
            if (!std::isfinite(p.x) || !std::isfinite(p.y) || (within && !within->Contains(p)))
                continue;
            const double dx = (p.x - pointer.x) * pixelsPerX;
            const double dy = (p.y - pointer.y) * pixelsPerY;
            const double square = dx * dx + dy * dy;
            if (square <= bestSquare && (!best || square < bestSquare)) {
                bestSquare = square;
                best = Nearest{s, i, p, 0};
            }
        }
    }
    if (best)
        best->pixels = std::sqrt(bestSquare);
    return best;
}

std::optional<Nearest> NearestLine(std::span<const Series> series, Point pointer, double pixelsPerX,
                                   double pixelsPerY, const Range& within, double maxPixels) {
    if (!std::isfinite(pointer.x) || !std::isfinite(pointer.y))
        return std::nullopt;
    std::optional<Nearest> best;
    double bestSquare = maxPixels * maxPixels;
    const auto consider = [&](std::size_t s, std::size_t i, Point a, double square) {
        if (square <= bestSquare && (!best || square < bestSquare)) {
            bestSquare = square;
            best = Nearest{s, i, a, 0};
        }
    };
    for (std::size_t s = 0; s < series.size(); ++s) {
        const std::vector<Point>& points = series[s].points;
        for (std::size_t i = 0; i < points.size(); ++i) {
            // Screen offsets from the pointer of this point and (as a segment) of the next one.
            const Point& a = points[i];
            if (!std::isfinite(a.x) || !std::isfinite(a.y) || !within.Contains(a))
                continue;
            const double ax = (a.x - pointer.x) * pixelsPerX, ay = (a.y - pointer.y) * pixelsPerY;
            consider(s, i, a, ax * ax + ay * ay);
            if (i + 1 >= points.size() || series[s].style == Series::Style::Markers)
                continue;
            const Point& b = points[i + 1];
            if (!std::isfinite(b.x) || !std::isfinite(b.y) || !within.Contains(b))
                continue;
            const double bx = (b.x - pointer.x) * pixelsPerX, by = (b.y - pointer.y) * pixelsPerY;
            const double dx = bx - ax, dy = by - ay, length = dx * dx + dy * dy;
            const double t = length > 0 ? std::clamp(-(ax * dx + ay * dy) / length, 0.0, 1.0) : 0.0;
            const double fx = ax + t * dx, fy = ay + t * dy;
            // The segment's foot counts, in the name of its nearer end.
            consider(s, t < 0.5 ? i : i + 1, t < 0.5 ? a : b, fx * fx + fy * fy);
        }
    }
    if (best)
        best->pixels = std::sqrt(bestSquare);
    return best;
}

std::pair<double, double> Grid::ColumnEdges(int ix) const {
    if (columnX.size() != std::size_t(nx) || nx < 2) {
        const double w = nx > 0 ? extent.Width() / nx : 0;
        return {extent.xMin + ix * w, extent.xMin + (ix + 1) * w};
    }
    const auto at = [&](int i) { return columnX[std::size_t(i)]; };
    const double left = ix > 0 ? 0.5 * (at(ix - 1) + at(ix)) : at(0) - 0.5 * (at(1) - at(0));
    const double right = ix + 1 < nx ? 0.5 * (at(ix) + at(ix + 1)) : at(nx - 1) + 0.5 * (at(nx - 1) - at(nx - 2));
    return {left, right};
}

std::optional<std::pair<double, double>> Grid::ValueRange() const {
    std::optional<std::pair<double, double>> r;
    for (const double v : values) {
        if (!std::isfinite(v))
            continue;
        if (!r)
            r = std::pair{v, v};
        r->first = std::min(r->first, v);
        r->second = std::max(r->second, v);
    }
    return r;
}

Rgb DivergingColour(double v, double vMin, double vMax) {
    double t = vMax > vMin ? (v - vMin) / (vMax - vMin) : 0.5;
    if (!std::isfinite(t))
        t = 0.5;
    t = std::clamp(t, 0.0, 1.0);
    // Dark blue -> white -> dark red, through the middle.
    auto mix = [](double a, double b, double f) { return int(std::lround(a + (b - a) * f)); };
    if (t < 0.5) {
        const double f = t / 0.5;
        return MakeRgb(mix(20, 255, f), mix(40, 255, f), mix(160, 255, f));
    }
    const double f = (t - 0.5) / 0.5;
    return MakeRgb(mix(255, 170, f), mix(255, 20, f), mix(255, 20, f));
}

}  // namespace plot
