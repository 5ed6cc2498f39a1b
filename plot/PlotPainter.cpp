#include "PlotPainter.h"

#include <QBuffer>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QImage>
#include <QImageWriter>
#include <QPainter>
#include <QPainterPath>
#include <QSvgGenerator>

#include <algorithm>
#include <cmath>

#include "AxisFormat.h"
#include "PlotLegend.h"

namespace plot {

QPointF Mapping::ToPixel(Point p) const {
    const double fx = shown.Width() > 0 ? (p.x - shown.xMin) / shown.Width() : 0.5;
    const double fy = shown.Height() > 0 ? (p.y - shown.yMin) / shown.Height() : 0.5;
    return {rect.left() + fx * rect.width(), rect.bottom() - fy * rect.height()};
}

Point Mapping::ToData(QPointF pixel) const {
    const double fx = rect.width() > 0 ? (pixel.x() - rect.left()) / rect.width() : 0.5;
    const double fy = rect.height() > 0 ? (rect.bottom() - pixel.y()) / rect.height() : 0.5;
    return {shown.xMin + fx * shown.Width(), shown.yMin + fy * shown.Height()};
}

namespace {

QColor ToQColor(Rgb c) { return QColor(RgbRed(c), RgbGreen(c), RgbBlue(c)); }
QString Q(const std::string& s) { return QString::fromStdString(s); }

constexpr double kTick = 5.0;      // tick length, pixels
constexpr double kPad = 6.0;       // general spacing
constexpr double kBarWidth = 16.0;  // colour bar

struct AxisTicks {
    std::vector<double> values;
    LabelFormat format;
};

AxisTicks Ticks(double lo, double hi, int target) {
    AxisTicks t;
    t.values = NiceTicks(lo, hi, target);
    t.format = NiceTickFormat(t.values, NiceStep(lo, hi, target));
    if (t.values.empty() && std::isfinite(lo)) {  // an empty axis: one label at its value
        t.values = {lo};
        t.format = FixedDecimalsFormat(t.values, 4, false, 0);
    }
    return t;
}

// About `target` ticks, fewer where their labels would not stand apart along `length` pixels (a
// narrow plot gets every other label rather than labels run together). size: a label's extent
// along the axis.
template <class Size>
AxisTicks FittingTicks(double lo, double hi, int target, double length, Size size) {
    for (int t = target; t > 2; --t) {
        AxisTicks ticks = Ticks(lo, hi, t);
        double needed = 0;
        for (const double v : ticks.values)
            needed += size(Q(ticks.format.Format(v)));
        if (needed <= length)
            return ticks;
    }
    return Ticks(lo, hi, 2);
}

double WidestLabel(const QFontMetricsF& fm, const AxisTicks& t) {
    double w = 0;
    for (const double v : t.values)
        w = std::max(w, fm.horizontalAdvance(Q(t.format.Format(v))));
    return w;
}

std::pair<double, double> GridScale(const PlotContent& content) {
    if (content.gridMin != 0 || content.gridMax != 0)
        return {content.gridMin, content.gridMax};
    const auto r = content.grid ? content.grid->ValueRange() : std::nullopt;
    const double m = r ? std::max(std::abs(r->first), std::abs(r->second)) : 1.0;
    return {-(m > 0 ? m : 1.0), m > 0 ? m : 1.0};
}

void PaintGrid(QPainter& painter, const Mapping& map, const Grid& grid, std::pair<double, double> scale) {
    if (grid.nx <= 0 || grid.ny <= 0 || grid.values.size() < std::size_t(grid.nx) * std::size_t(grid.ny))
        return;
    QImage image(grid.nx, grid.ny, QImage::Format_ARGB32);
    for (int iy = 0; iy < grid.ny; ++iy)
        for (int ix = 0; ix < grid.nx; ++ix) {
            const double v = grid.At(ix, iy);
            const Rgb c = DivergingColour(v, scale.first, scale.second);
            image.setPixel(ix, grid.ny - 1 - iy,
                           std::isfinite(v) ? qRgb(RgbRed(c), RgbGreen(c), RgbBlue(c)) : qRgba(0, 0, 0, 0));
        }
    painter.save();
    painter.setClipRect(map.rect);
    if (grid.columnX.size() == std::size_t(grid.nx)) {
        // Uneven columns: each drawn between its own edges.
        for (int ix = 0; ix < grid.nx; ++ix) {
            const auto [left, right] = grid.ColumnEdges(ix);
            const QPointF a = map.ToPixel({left, grid.extent.yMax});
            const QPointF b = map.ToPixel({right, grid.extent.yMin});
            painter.drawImage(QRectF(a, b), image, QRectF(ix, 0, 1, grid.ny));
        }
    } else {
        const QPointF a = map.ToPixel({grid.extent.xMin, grid.extent.yMax});
        const QPointF b = map.ToPixel({grid.extent.xMax, grid.extent.yMin});
        painter.drawImage(QRectF(a, b), image);
    }
    painter.restore();
}

void PaintColourBar(QPainter& painter, const QRectF& target, const QRectF& plotRect, const PlotContent& content,
                    std::pair<double, double> scale, const PlotStyle& style) {
    const QRectF bar(plotRect.right() + 3 * kPad, plotRect.top(), kBarWidth, plotRect.height());
    const int steps = std::max(2, int(bar.height()));
    QImage image(1, steps, QImage::Format_RGB32);
    for (int i = 0; i < steps; ++i) {
        const double v = scale.second - (scale.second - scale.first) * i / (steps - 1);
        const Rgb c = DivergingColour(v, scale.first, scale.second);
        image.setPixel(0, i, qRgb(RgbRed(c), RgbGreen(c), RgbBlue(c)));
    }
    painter.drawImage(bar, image);
    painter.setPen(style.frame);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(bar);
    const AxisTicks t = Ticks(scale.first, scale.second, 5);
    const QFontMetricsF fm(style.font);
    const Mapping barMap{Range{0, 1, scale.first, scale.second}, bar};
    painter.setPen(style.text);
    for (const double v : t.values) {
        const double y = barMap.ToPixel({0, v}).y();
        painter.drawLine(QPointF(bar.right(), y), QPointF(bar.right() + kTick, y));
        painter.drawText(QPointF(bar.right() + kTick + 2, y + fm.ascent() / 2 - 1), Q(t.format.Format(v)));
    }
    std::string title = content.grid ? AxisName{content.grid->name, content.grid->unit}.Title() : std::string();
    if (t.format.scaled) {
        if (!title.empty())
            title += ' ';
        title += t.format.Suffix();
    }
    // Above the bar, moved left as far as needed to stay inside the picture.
    const QString text = Q(title);
    const double x = std::min(bar.left(), target.right() - kPad - fm.horizontalAdvance(text));
    painter.drawText(QPointF(x, bar.top() - fm.descent() - 2), text);
}

void PaintSeries(QPainter& painter, const Mapping& map, const Series& s) {
    QPen pen = SeriesPen(s);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    if (s.style != Series::Style::Markers && s.pointColours.size() == s.points.size()) {
        for (size_t i = 0; i + 1 < s.points.size(); ++i) {
            Point a = s.points[i], b = s.points[i + 1];
            if (!std::isfinite(a.x) || !std::isfinite(a.y) || !std::isfinite(b.x) || !std::isfinite(b.y) ||
                !ClipSegment(a, b, map.shown))
                continue;
            pen.setColor(ToQColor(s.pointColours[i]));
            painter.setPen(pen);
            painter.drawLine(map.ToPixel(a), map.ToPixel(b));
        }
        pen.setColor(ToQColor(s.colour));
        painter.setPen(pen);
    } else if (s.style != Series::Style::Markers) {
        std::vector<QPointF> pixels;
        for (const std::vector<Point>& piece : ClipPolyline(s.points, map.shown)) {
            pixels.clear();
            for (const Point& p : piece)
                pixels.push_back(map.ToPixel(p));
            painter.drawPolyline(pixels.data(), int(pixels.size()));
        }
    }
    if (s.style != Series::Style::Line) {
        painter.setPen(ToQColor(s.colour));
        painter.setBrush(ToQColor(s.colour));
        const double r = std::max(2.0, s.lineWidth + 1.5);
        for (const Point& p : s.points)
            if (std::isfinite(p.x) && std::isfinite(p.y) && map.shown.Contains(p))
                painter.drawEllipse(map.ToPixel(p), r, r);
        painter.setBrush(Qt::NoBrush);
    }
}

int ValueTickTarget(const PlotStyle& style) { return std::max(2, style.tickTarget * 2 / 3); }

struct Margins {
    double left, top, right, bottom;
};

Margins PlotMargins(const PlotContent& content, const Range& shown, const PlotStyle& style) {
    const QFontMetricsF fm(style.font);
    const double line = fm.height();
    const AxisTicks yt = Ticks(shown.yMin, shown.yMax, ValueTickTarget(style));
    const double labels = std::max(WidestLabel(fm, yt), fm.horizontalAdvance(QStringLiteral("0.00")));
    Margins m;
    m.left = kPad + line + kPad + labels + kTick;
    m.bottom = kTick + line + kPad + line + kPad;
    m.top = kPad + line + (content.title.empty() ? 0 : line + kPad);
    m.right = kPad + fm.horizontalAdvance(QStringLiteral("00.0"));
    if (content.grid)
        m.right = 3 * kPad + kBarWidth + kTick + fm.horizontalAdvance(QStringLiteral("-0.000")) + kPad;
    return m;
}

// The legend's layout for a target: as high as the frame, at most 40 % of the width.
LegendLayout LegendFor(const QRectF& target, const PlotContent& content, const Range& shown, const PlotStyle& style) {
    if (!ShowsLegend(content, style))
        return {};
    const Margins m = PlotMargins(content, shown, style);
    return LayoutLegend(LegendEntries(content), style.font, target.height() - m.top - m.bottom,
                        0.4 * target.width());
}

}  // namespace

QRectF PlotRect(const QRectF& target, const PlotContent& content, const Range& shown, const PlotStyle& style) {
    const Margins m = PlotMargins(content, shown, style);
    const LegendLayout legend = LegendFor(target, content, shown, style);
    const double right = legend.columns > 0 ? m.right + legend.size.width() + kPad : m.right;
    QRectF r = target.adjusted(m.left, m.top, -right, -m.bottom);
    if (r.width() < 10 || r.height() < 10)  // a tiny target: the frame takes what there is
        r = target.adjusted(2, 2, -2, -2);
    const double dx = shown.xMax - shown.xMin, dy = shown.yMax - shown.yMin;
    if (content.equalScales && dx > 0 && dy > 0) {
        const double scale = std::min(r.width() / dx, r.height() / dy);
        const QPointF centre = r.center();
        r.setSize(QSizeF(scale * dx, scale * dy));
        r.moveCenter(centre);
    }
    return r;
}

namespace {

// Parameters t0 <= t1 of the part of a + t (b - a), t in [0, 1], inside r; none when outside.
std::optional<std::pair<double, double>> ClipParameters(Point a, Point b, const Range& r) {
    double t0 = 0, t1 = 1;
    const double dx = b.x - a.x, dy = b.y - a.y;
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {a.x - r.xMin, r.xMax - a.x, a.y - r.yMin, r.yMax - a.y};
    for (int k = 0; k < 4; ++k) {
        if (p[k] == 0) {
            if (q[k] < 0)
                return std::nullopt;
            continue;
        }
        const double t = q[k] / p[k];
        if (p[k] < 0)
            t0 = std::max(t0, t);
        else
            t1 = std::min(t1, t);
        if (t0 > t1)
            return std::nullopt;
    }
    // A segment that only touches the frame at one point leaves nothing to draw.
    if (t0 == t1 && (dx != 0 || dy != 0))
        return std::nullopt;
    return std::pair{t0, t1};
}

Point At(Point a, Point b, double t) { return {a.x + t * (b.x - a.x), a.y + t * (b.y - a.y)}; }

}  // namespace

bool ClipSegment(Point& a, Point& b, const Range& r) {
    if (!std::isfinite(a.x) || !std::isfinite(a.y) || !std::isfinite(b.x) || !std::isfinite(b.y))
        return false;
    const auto t = ClipParameters(a, b, r);
    if (!t)
        return false;
    const Point ca = t->first > 0 ? At(a, b, t->first) : a;
    const Point cb = t->second < 1 ? At(a, b, t->second) : b;
    a = ca;
    b = cb;
    return true;
}

std::vector<std::vector<Point>> ClipPolyline(const std::vector<Point>& points, const Range& r) {
    std::vector<std::vector<Point>> pieces;
    std::vector<Point> current;
    auto flush = [&] {
        if (current.size() >= 2)
            pieces.push_back(std::move(current));
        current.clear();
    };
    for (std::size_t i = 0; i + 1 < points.size(); ++i) {
        const Point a = points[i];
        const Point b = points[i + 1];
        const bool finite = std::isfinite(a.x) && std::isfinite(a.y) && std::isfinite(b.x) && std::isfinite(b.y);
        const auto t = finite ? ClipParameters(a, b, r) : std::nullopt;
        if (!t) {
            flush();
            continue;
        }
        if (current.empty() || t->first > 0) {
            flush();
            current.push_back(t->first > 0 ? At(a, b, t->first) : a);
        }
        current.push_back(t->second < 1 ? At(a, b, t->second) : b);
        if (t->second < 1)
            flush();
    }
    flush();
    return pieces;
}

void PaintPlot(QPainter& painter, const QRectF& target, const PlotContent& content, const Range& shown,
               const PlotStyle& style) {
    painter.save();
    painter.setFont(style.font);
    painter.fillRect(target, style.background);
    const QRectF rect = PlotRect(target, content, shown, style);
    const Mapping map{shown, rect};
    const QFontMetricsF fm(style.font);

    const std::pair<double, double> scale = GridScale(content);
    if (content.grid) {
        PaintGrid(painter, map, *content.grid, scale);
        PaintColourBar(painter, target, rect, content, scale, style);
    }

    // Labels side by side with at least two digits' room between them, one above another with
    // half a line.
    const double gap = 2 * fm.horizontalAdvance(QLatin1Char('0'));
    const AxisTicks xt = FittingTicks(shown.xMin, shown.xMax, style.tickTarget, rect.width(),
                                      [&](const QString& text) { return fm.horizontalAdvance(text) + gap; });
    const AxisTicks yt = FittingTicks(shown.yMin, shown.yMax, ValueTickTarget(style), rect.height(),
                                      [&](const QString&) { return 1.5 * fm.height(); });
    if (style.gridLines) {
        painter.setPen(QPen(QColor(225, 225, 225), 1));
        for (const double v : xt.values) {
            const double x = map.ToPixel({v, 0}).x();
            painter.drawLine(QPointF(x, rect.top()), QPointF(x, rect.bottom()));
        }
        for (const double v : yt.values) {
            const double y = map.ToPixel({0, v}).y();
            painter.drawLine(QPointF(rect.left(), y), QPointF(rect.right(), y));
        }
    }

    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    for (const Series& s : content.series)
        PaintSeries(painter, map, s);
    painter.restore();

    // Frame and ticks on top of the curves, 1 pixel wide.
    painter.setPen(QPen(style.frame, 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(rect);
    painter.setPen(style.text);
    for (const double v : xt.values) {
        const double x = map.ToPixel({v, 0}).x();
        painter.setPen(QPen(style.frame, 1));
        painter.drawLine(QPointF(x, rect.bottom()), QPointF(x, rect.bottom() - kTick));
        painter.setPen(style.text);
        const QString text = Q(xt.format.Format(v));
        painter.drawText(QPointF(x - fm.horizontalAdvance(text) / 2, rect.bottom() + kTick + fm.ascent()), text);
    }
    for (const double v : yt.values) {
        const double y = map.ToPixel({0, v}).y();
        painter.setPen(QPen(style.frame, 1));
        painter.drawLine(QPointF(rect.left(), y), QPointF(rect.left() + kTick, y));
        painter.setPen(style.text);
        const QString text = Q(yt.format.Format(v));
        painter.drawText(QPointF(rect.left() - kTick - fm.horizontalAdvance(text), y + fm.ascent() / 2 - 1), text);
    }

    // Axis titles, each with its power of ten at the end of its axis.
    const QString xTitle = Q(content.x.Title());
    const double titleY = rect.bottom() + kTick + fm.height() + kPad + fm.ascent();
    painter.drawText(QPointF(rect.center().x() - fm.horizontalAdvance(xTitle) / 2, titleY), xTitle);
    if (xt.format.scaled) {
        const QString suffix = Q(xt.format.Suffix());
        painter.drawText(QPointF(rect.right() - fm.horizontalAdvance(suffix), titleY), suffix);
    }
    const QString yTitle = Q(content.y.Title());
    painter.save();
    painter.translate(target.left() + kPad + fm.ascent(), rect.center().y() + fm.horizontalAdvance(yTitle) / 2);
    painter.rotate(-90);
    painter.drawText(QPointF(0, 0), yTitle);
    painter.restore();
    if (yt.format.scaled)
        painter.drawText(QPointF(rect.left(), rect.top() - fm.descent() - 2), Q(yt.format.Suffix()));
    if (!content.title.empty()) {
        const QString title = Q(content.title);
        painter.drawText(QPointF(rect.center().x() - fm.horizontalAdvance(title) / 2, target.top() + kPad + fm.ascent()),
                         title);
    }

    // Beside the frame (past a colour bar): it never covers a curve.
    const LegendLayout legend = LegendFor(target, content, shown, style);
    if (legend.columns > 0) {
        const double x = target.right() - kPad - legend.size.width();
        PaintLegend(painter, QPointF(x, rect.top()), LegendEntries(content), legend, style.font, style.text);
    }
    painter.restore();
}

bool ExportImageFile(const QString& path, QSize size, const PaintFunction& paint, QString* error,
                     const QString& svgTitle) {
    const auto fail = [&](const QString& what) {
        if (error)
            *error = what;
        return false;
    };
    if (size.width() <= 0 || size.height() <= 0 || size.width() > 20000 || size.height() > 20000)
        return fail(QStringLiteral("The image size must be between 1 and 20000 pixels."));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("svg")) {
        QSvgGenerator generator;
        generator.setOutputDevice(&buffer);
        generator.setSize(size);
        generator.setViewBox(QRect(QPoint(0, 0), size));
        generator.setTitle(svgTitle.isEmpty() ? QFileInfo(path).completeBaseName() : svgTitle);
        generator.setDescription(QStringLiteral("Pemblar plot"));
        QPainter painter;
        if (!painter.begin(&generator))
            return fail(QStringLiteral("Cannot start the SVG drawing."));
        paint(painter, QRectF(QPointF(0, 0), QSizeF(size)));
        painter.end();
    } else {
        const QByteArray format = suffix.isEmpty() ? QByteArray("png") : suffix.toLatin1();
        if (!QImageWriter::supportedImageFormats().contains(format))
            return fail(QStringLiteral("Unknown image format \"%1\": use .png or .svg.").arg(suffix));
        QImage image(size, QImage::Format_RGB32);
        if (image.isNull())
            return fail(QStringLiteral("Not enough memory for an image of %1 x %2 pixels.")
                            .arg(size.width())
                            .arg(size.height()));
        image.fill(Qt::white);
        {
            QPainter painter(&image);
            paint(painter, QRectF(QPointF(0, 0), QSizeF(size)));
        }
        if (!image.save(&buffer, format.constData()))
            return fail(QStringLiteral("Cannot encode the image."));
    }
    return SaveFileAtomically(path, bytes, error);
}

bool ExportPlotImage(const QString& path, QSize size, const PlotContent& content, const Range& shown,
                     const PlotStyle& style, QString* error) {
    return ExportImageFile(
        path, size, [&](QPainter& painter, const QRectF& target) { PaintPlot(painter, target, content, shown, style); },
        error, Q(content.title));
}

QString ReadoutNumber(double value, double scale) {
    if (!std::isfinite(value))
        return QStringLiteral("-");
    if (std::isfinite(scale) && std::abs(value) <= kReadoutRounding * std::abs(scale))
        return QStringLiteral("0");
    // 'g' with 4 digits through the C locale of QString::number: never a decimal comma.
    return QString::number(value, 'g', 4);
}

double ReadoutScale(double lo, double hi) { return std::max(std::abs(lo), std::abs(hi)); }

QString ReadoutText(const PlotContent& content, const Range& shown, Point pointer, const std::optional<Nearest>& nearest) {
    const QString xUnit = content.x.unit.empty() ? QString() : QStringLiteral(" ") + Q(content.x.unit);
    const QString yUnit = content.y.unit.empty() ? QString() : QStringLiteral(" ") + Q(content.y.unit);
    const double xScale = ReadoutScale(shown.xMin, shown.xMax), yScale = ReadoutScale(shown.yMin, shown.yMax);
    QString text = QStringLiteral("%1 = %2%3, %4 = %5%6")
                       .arg(Q(content.x.name), ReadoutNumber(pointer.x, xScale), xUnit, Q(content.y.name),
                            ReadoutNumber(pointer.y, yScale), yUnit);
    if (nearest && nearest->series < content.series.size()) {
        const Series& s = content.series[nearest->series];
        const QString unit = s.unit.empty() ? QString() : QStringLiteral(" ") + Q(s.unit);
        text += QStringLiteral(" | nearest: %1 (%2%3, %4%5)")
                    .arg(Q(s.name), ReadoutNumber(nearest->point.x, xScale), xUnit,
                         ReadoutNumber(nearest->point.y, yScale), unit);
    }
    return text;
}

}  // namespace plot
