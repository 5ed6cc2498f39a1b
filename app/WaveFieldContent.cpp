#include "WaveFieldContent.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <cmath>

using numerics::CFieldFile;

namespace {

constexpr plot::Rgb kSourceColour = plot::MakeRgb(0, 0, 0);
constexpr plot::Rgb kPickedColour = plot::MakeRgb(0, 150, 0);

size_t FrameSize(const CFieldFile& f) { return f.x.size() * f.y.size(); }

// The spacing of an axis's points; a single point takes the other axis' spacing, or 1 mm.
double Step(const std::vector<double>& axis, const std::vector<double>& other) {
    if (axis.size() > 1) return (axis.back() - axis.front()) / double(axis.size() - 1);
    if (other.size() > 1) return (other.back() - other.front()) / double(other.size() - 1);
    return 1.0;
}

// The index of the axis value nearest to v.
int Nearest(const std::vector<double>& axis, double v) {
    const auto at = std::lower_bound(axis.begin(), axis.end(), v);
    if (at == axis.begin()) return 0;
    if (at == axis.end()) return int(axis.size()) - 1;
    const int i = int(at - axis.begin());
    return v - axis[size_t(i - 1)] <= axis[size_t(i)] - v ? i - 1 : i;
}

// A value among the values of an axis (ascending).
QString N(double v, const std::vector<double>& axis) {
    return plot::ReadoutNumber(v, axis.empty() ? 0.0 : plot::ReadoutScale(axis.front(), axis.back()));
}

std::string PointName(const CFieldFile& f, CFieldPoint p) {
    return QStringLiteral("(%1, %2) mm").arg(N(f.x[size_t(p.ix)], f.x), N(f.y[size_t(p.iy)], f.y)).toStdString();
}

plot::Series Marker(std::string name, plot::Point at, plot::Rgb colour) {
    plot::Series s;
    s.name = std::move(name);
    s.unit = "mm";
    s.colour = colour;
    s.lineWidth = 3;
    s.style = plot::Series::Style::Markers;
    s.points = {at};
    return s;
}

}  // namespace

double WaveFieldPeak(const CFieldFile& f, int frame) {
    const size_t n = FrameSize(f);
    const bool all = frame < 0 || size_t(frame) >= f.t.size();
    const size_t from = all ? 0 : size_t(frame) * n, to = all ? f.field.size() : from + n;
    double peak = 0;
    for (size_t i = from; i < to && i < f.field.size(); ++i) peak = std::max(peak, std::abs(f.field[i]));
    return peak;
}

plot::PlotContent WaveFieldFrameContent(const CFieldFile& f, int frame, EWaveFieldScale scale,
                                        const std::optional<CFieldPoint>& picked) {
    plot::PlotContent c;
    c.x = {"x", "mm"};
    c.y = {"y", "mm"};
    if (f.x.empty() || f.y.empty() || f.t.empty()) return c;
    frame = std::clamp(frame, 0, int(f.t.size()) - 1);
    const size_t n = FrameSize(f);
    plot::Grid g;
    g.name = f.strComponent;
    g.unit = "mm";
    g.nx = int(f.x.size());
    g.ny = int(f.y.size());
    const double dx = Step(f.x, f.y), dy = Step(f.y, f.x);
    g.extent = {f.x.front() - dx / 2, f.x.back() + dx / 2, f.y.front() - dy / 2, f.y.back() + dy / 2};
    g.values.assign(f.field.begin() + std::ptrdiff_t(size_t(frame) * n),
                    f.field.begin() + std::ptrdiff_t(size_t(frame + 1) * n));
    c.grid = std::move(g);
    // A still frame (before the load starts) gets a scale of its own that shows it white.
    const double peak = WaveFieldPeak(f, scale == EWaveFieldScale::AllFrames ? -1 : frame);
    c.gridMax = peak > 0 ? peak : 1.0;
    c.gridMin = -c.gridMax;
    c.title = QStringLiteral("%1 at t = %2 us").arg(QString::fromStdString(f.strComponent), FrameTimeText(f, frame)).toStdString();
    if (c.grid->extent.Contains({0, 0})) c.series.push_back(Marker("source", {0, 0}, kSourceColour));
    if (picked && picked->ix >= 0 && picked->iy >= 0 && size_t(picked->ix) < f.x.size() && size_t(picked->iy) < f.y.size())
        c.series.push_back(Marker(PointName(f, *picked), {f.x[size_t(picked->ix)], f.y[size_t(picked->iy)]}, kPickedColour));
    return c;
}

std::optional<CFieldPoint> WaveFieldPointAt(const CFieldFile& f, plot::Point p) {
    if (f.x.empty() || f.y.empty() || !std::isfinite(p.x) || !std::isfinite(p.y)) return std::nullopt;
    const double dx = Step(f.x, f.y), dy = Step(f.y, f.x);
    if (p.x < f.x.front() - dx / 2 || p.x > f.x.back() + dx / 2 || p.y < f.y.front() - dy / 2 || p.y > f.y.back() + dy / 2)
        return std::nullopt;
    return CFieldPoint{Nearest(f.x, p.x), Nearest(f.y, p.y)};
}

plot::PlotContent WaveFieldSeriesContent(const CFieldFile& f, CFieldPoint point, int frame) {
    plot::PlotContent c;
    c.x = {"t", "us"};
    c.y = {f.strComponent, "mm"};
    if (point.ix < 0 || point.iy < 0 || size_t(point.ix) >= f.x.size() || size_t(point.iy) >= f.y.size()) return c;
    plot::Series s;
    s.name = f.strComponent + " at " + PointName(f, point);
    s.unit = "mm";
    s.colour = kPickedColour;
    s.lineWidth = 1.5;
    const size_t n = FrameSize(f), at = size_t(point.iy) * f.x.size() + size_t(point.ix);
    double lo = 0, hi = 0;
    for (size_t k = 0; k < f.t.size(); ++k) {
        const double v = f.field[k * n + at];
        s.points.push_back({f.t[k], v});
        lo = std::min(lo, v);
        hi = std::max(hi, v);
    }
    c.title = s.name;
    c.series.push_back(std::move(s));
    if (frame >= 0 && size_t(frame) < f.t.size()) {
        plot::Series now;
        now.name = "t = " + FrameTimeText(f, frame).toStdString() + " us";
        now.unit = "mm";
        now.colour = plot::MakeRgb(150, 150, 150);
        now.points = {{f.t[size_t(frame)], lo}, {f.t[size_t(frame)], hi}};
        c.series.push_back(std::move(now));
    }
    return c;
}

QString FrameTimeText(const CFieldFile& f, int frame) {
    if (frame < 0 || size_t(frame) >= f.t.size()) return {};
    return N(f.t[size_t(frame)], f.t);
}

plot::Range EqualAspect(const plot::Range& r, QSizeF pixels) {
    if (!(r.Width() > 0) || !(r.Height() > 0) || !(pixels.width() > 0) || !(pixels.height() > 0)) return r;
    plot::Range out = r;
    const double perX = pixels.width() / r.Width(), perY = pixels.height() / r.Height();
    if (perX > perY) {
        const double half = pixels.width() / perY / 2, mid = (r.xMin + r.xMax) / 2;
        out.xMin = mid - half;
        out.xMax = mid + half;
    } else {
        const double half = pixels.height() / perX / 2, mid = (r.yMin + r.yMax) / 2;
        out.yMin = mid - half;
        out.yMax = mid + half;
    }
    return out;
}

QString FrameFileName(const QString& chosen, int index, int count) {
    const QFileInfo info(chosen);
    const QString suffix = info.suffix().isEmpty() ? QStringLiteral("png") : info.suffix();
    const QString stem = info.suffix().isEmpty() ? info.fileName() : info.completeBaseName();
    const int digits = std::max(4, int(QString::number(std::max(count, 1)).size()));
    return info.dir().filePath(QStringLiteral("%1_%2.%3").arg(stem).arg(index + 1, digits, 10, QLatin1Char('0')).arg(suffix));
}
