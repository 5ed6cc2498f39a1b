#include "CurveLook.h"

#include <cmath>

#include "PlotPainter.h"

bool VisibleSegment(plot::Point& p, plot::Point& q, float xMin, float xMax, float yMin, float yMax, bool cut) {
    if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(q.x) || !std::isfinite(q.y))
        return false;
    if (cut)
        return plot::ClipSegment(p, q, plot::Range{xMin, xMax, yMin, yMax});
    return p.x >= xMin && q.x <= xMax && p.y >= yMin && p.y <= yMax && q.y >= yMin && q.y <= yMax;
}
