#include "CurveRanges.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <optional>

#include "CurveSources.h"
#include "OstrelDoc.h"
#include "PlotPainter.h"

plot::Range ShownRangeOf(const COstrelDoc& doc) { return {doc.m_fXMin, doc.m_fXMax, doc.m_fYMin, doc.m_fYMax}; }

plot::Range FullRangeOf(const COstrelDoc& doc, std::span<const plot::Series> added) {
    const plot::Range own{doc.m_fFullXMin, doc.m_fFullXMax, doc.m_fFullYMin, doc.m_fFullYMax};
    return *plot::Union(own, plot::DataRange(added));
}

bool IsZoomed(const COstrelDoc& doc, std::span<const plot::Series> added) {
    const plot::Range full = FullRangeOf(doc, added);
    return float(full.xMin) != doc.m_fXMin || float(full.xMax) != doc.m_fXMax || float(full.yMin) != doc.m_fYMin ||
           float(full.yMax) != doc.m_fYMax;
}

void WriteShownRange(COstrelDoc& doc, const plot::Range& r) {
    doc.m_fXMin = float(r.xMin);
    doc.m_fXMax = float(r.xMax);
    doc.m_fYMin = float(r.yMin);
    doc.m_fYMax = float(r.yMax);
}

bool FitsInFloats(const plot::Range& r) {
    return std::abs(r.xMin) <= FLT_MAX && std::abs(r.xMax) <= FLT_MAX && std::abs(r.yMin) <= FLT_MAX &&
           std::abs(r.yMax) <= FLT_MAX;
}

namespace {

// The nearest point of the document's curve, read in place (it may be large).
std::optional<plot::Nearest> NearestOnDocument(const COstrelDoc& doc, const plot::Range& shown, plot::Point at,
                                               double px, double py) {
    std::optional<plot::Nearest> nearest;
    double best = 1e300;
    const long long n = std::min<long long>(doc.m_nPoints, static_cast<long long>(doc.m_curve.size()));
    for (long long i = 0; i < n; ++i) {
        const plot::Point p{doc.m_curve[i].m_fX, doc.m_curve[i].m_fY};
        if (!shown.Contains(p))
            continue;
        const double dx = (p.x - at.x) * px, dy = (p.y - at.y) * py;
        if (dx * dx + dy * dy < best) {
            best = dx * dx + dy * dy;
            nearest = plot::Nearest{0, std::size_t(i), p, std::sqrt(best)};
        }
    }
    return nearest;
}

}  // namespace

QString CurveReadoutText(const COstrelDoc& doc, std::span<const plot::Series> added, const QRectF& area,
                         QPointF pos) {
    const plot::Range shown = ShownRangeOf(doc);
    const plot::Mapping map{shown, area};
    const plot::Point at = map.ToData(pos);
    const double px = map.PixelsPerX(), py = map.PixelsPerY();
    std::optional<plot::Nearest> nearest = NearestOnDocument(doc, shown, at, px, py);
    std::string nearestName = nearest ? MainCurveName(doc) : std::string();
    const double best = nearest ? nearest->pixels : 1e300;
    if (const auto o = plot::NearestPoint(added, at, px, py, shown); o && o->pixels < best) {
        nearest = o;
        nearestName = added[o->series].name;
    }
    const QString letter = QString::fromStdString(ComponentLetter(doc.m_nLabelComp));
    const QString value = letter.isEmpty() ? QStringLiteral("value") : letter;
    // Numbers against the ends of the axes shown.
    const double ts = plot::ReadoutScale(shown.xMin, shown.xMax), ys = plot::ReadoutScale(shown.yMin, shown.yMax);
    QString text = QStringLiteral("t = %1 us, %2 = %3 mm")
                       .arg(plot::ReadoutNumber(at.x, ts), value, plot::ReadoutNumber(at.y, ys));
    if (nearest)
        text += QStringLiteral("  |  nearest point of %1: t = %2 us, %3 = %4 mm")
                    .arg(QString::fromStdString(nearestName), plot::ReadoutNumber(nearest->point.x, ts), value,
                         plot::ReadoutNumber(nearest->point.y, ys));
    return text;
}
