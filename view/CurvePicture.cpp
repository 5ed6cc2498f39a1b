#include "CurvePicture.h"

#include <QFontMetricsF>
#include <QPainter>

#include <cmath>

#include "PlotPainter.h"

namespace {

QColor ToQColor(Rgb c) { return QColor::fromRgbF(float(c.r), float(c.g), float(c.b)); }
QColor FromRgb(plot::Rgb c) { return QColor(plot::RgbRed(c), plot::RgbGreen(c), plot::RgbBlue(c)); }

// OpenGL rounds a line width to whole pixels, at least one; a width it refuses leaves 1.
double PixelWidth(float width) { return width > 0 ? std::max(1.0, std::round(double(width))) : 1.0; }

struct Frame {
    double x0, y0, height;
    // Plot coordinates (origin at the plot's lower-left corner, y up) to painter pixels.
    QPointF At(double x, double y) const { return {x0 + x, height - (y0 + y)}; }
};

void Label(QPainter& painter, const Frame& f, const PlotLabel& label) {
    painter.setPen(ToQColor(label.highlighted ? Plot::kHighlightColour : Plot::kNormalColour));
    painter.drawText(f.At(label.x, label.y), QString::fromStdString(label.text));
}

void PaintAxes(QPainter& painter, const Frame& f, const CurvePicture& pic) {
    const double wx = 2 * f.x0, wy = 2 * f.y0, h = Plot::kTickLength;
    painter.setPen(QPen(ToQColor(Plot::kNormalColour), 1, Qt::SolidLine, Qt::FlatCap));
    // Frame: bottom, left, right, top, as four lines.
    painter.drawLine(f.At(0, 0), f.At(wx, 0));
    painter.drawLine(f.At(0, 0), f.At(0, wy));
    painter.drawLine(f.At(wx, wy), f.At(wx, 0));
    painter.drawLine(f.At(wx, wy), f.At(0, wy));
    for (int k = 1; k < Plot::kTickIntervals; ++k) {
        painter.drawLine(f.At(k * wx / Plot::kTickIntervals, 0), f.At(k * wx / Plot::kTickIntervals, h));
        painter.drawLine(f.At(0, k * wy / Plot::kTickIntervals), f.At(h, k * wy / Plot::kTickIntervals));
    }
    const AxisLabels time = TimeAxisLabels(pic.xMin, pic.xMax, wx);
    const AxisLabels value = ValueAxisLabels(pic.yMin, pic.yMax, wy);
    for (const PlotLabel& l : time.labels)
        Label(painter, f, l);
    for (const PlotLabel& l : value.labels)
        Label(painter, f, l);
    if (time.power)
        Label(painter, f, *time.power);
    if (value.power)
        Label(painter, f, *value.power);
    if (const std::optional<PlotLabel> letter = VerticalAxisLetter(pic.labelComp, wy))
        Label(painter, f, *letter);
    Label(painter, f, HorizontalAxisLetter(wx));
}

void PaintCurves(QPainter& painter, const Frame& f, const CurvePicture& pic, const PlotMapping& mapping) {
    for (const plot::Series& s : pic.series) {
        QPen pen(FromRgb(s.colour), PixelWidth(pic.lineWidth), Qt::SolidLine, Qt::FlatCap, Qt::BevelJoin);
        painter.setPen(pen);
        // Drawn segments that follow one another become one polyline.
        std::vector<QPointF> run;
        auto flush = [&] {
            if (run.size() >= 2)
                painter.drawPolyline(run.data(), int(run.size()));
            run.clear();
        };
        for (std::size_t i = 0; i + 1 < s.points.size(); ++i) {
            plot::Point p = s.points[i], q = s.points[i + 1];
            const bool cut = pic.cutAtFrame;
            if (!VisibleSegment(p, q, pic.xMin, pic.xMax, pic.yMin, pic.yMax, cut)) {
                flush();
                continue;
            }
            const QPointF a = f.At(mapping.MapX(p.x), mapping.MapY(p.y));
            const QPointF b = f.At(mapping.MapX(q.x), mapping.MapY(q.y));
            if (run.empty() || run.back() != a || (cut && p != s.points[i])) {
                flush();
                run.push_back(a);
            }
            run.push_back(b);
        }
        flush();
    }
}

void PaintLegendBox(QPainter& painter, const Frame& f, const CurvePicture& pic, const QFont& font) {
    const QFontMetricsF fm(font);
    std::vector<double> widths;
    for (const plot::Series& s : pic.series)
        widths.push_back(fm.horizontalAdvance(QString::fromStdString(s.name)));
    const LegendLayout legend = ComputeLegend(widths, fm.height(), fm.descent(), 2 * f.x0, 2 * f.y0);
    painter.setPen(QPen(ToQColor(Plot::kNormalColour), 1));
    painter.setBrush(FromRgb(pic.background));
    painter.drawRect(QRectF(f.At(legend.left, legend.top), f.At(legend.right, legend.bottom)));
    painter.setBrush(Qt::NoBrush);
    for (std::size_t i = 0; i < legend.rows.size(); ++i) {
        const LegendRow& row = legend.rows[i];
        painter.setPen(QPen(FromRgb(pic.series[i].colour), 2));
        painter.drawLine(f.At(row.sampleX0, row.sampleY), f.At(row.sampleX1, row.sampleY));
        painter.setPen(ToQColor(Plot::kNormalColour));
        painter.drawText(f.At(row.textX, row.textY), QString::fromStdString(pic.series[i].name));
    }
}

}  // namespace

bool VisibleSegment(plot::Point& p, plot::Point& q, float xMin, float xMax, float yMin, float yMax, bool cut) {
    if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(q.x) || !std::isfinite(q.y))
        return false;
    if (cut)
        return plot::ClipSegment(p, q, plot::Range{xMin, xMax, yMin, yMax});
    return p.x >= xMin && q.x <= xMax && p.y >= yMin && p.y <= yMax && q.y >= yMin && q.y <= yMax;
}

void PaintCurvePicture(QPainter& painter, QSize size, const CurvePicture& pic, const QFont& font) {
    painter.save();
    painter.fillRect(QRect(QPoint(0, 0), size), FromRgb(pic.background));
    if (pic.loaded) {
        painter.setFont(font);
        const PlotOrigin origin = ComputePlotOrigin(size.width(), size.height());
        const Frame frame{origin.x0, origin.y0, double(size.height())};
        PaintAxes(painter, frame, pic);
        const PlotMapping mapping =
            ComputePlotMapping(pic.xMin, pic.xMax, pic.yMin, pic.yMax, size.width(), size.height());
        PaintCurves(painter, frame, pic, mapping);
        if (pic.legend && !pic.series.empty())
            PaintLegendBox(painter, frame, pic, font);
    }
    painter.restore();
}

bool ExportCurvePicture(const QString& path, QSize size, const CurvePicture& picture, const QFont& font,
                        const QString& title, QString* error) {
    return plot::ExportImageFile(
        path, size,
        [&](QPainter& painter, const QRectF& target) { PaintCurvePicture(painter, target.size().toSize(), picture, font); },
        error, title);
}
