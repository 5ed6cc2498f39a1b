#include "CurveFigure.h"

#include <cmath>

#include "CurveSources.h"
#include "OstrelDoc.h"

plot::PlotContent CurveFigureContent(const COstrelDoc& doc, std::vector<plot::Series> series) {
    plot::PlotContent content;
    const std::string letter = ComponentLetter(doc.m_nLabelComp);
    content.x = {"t", kTimeUnit};
    content.y = {letter.empty() ? std::string("displacement") : letter, kDisplacementUnit};
    content.title = CurveDescription(doc);
    // A report line is never thinner than what prints well.
    for (plot::Series& s : series)
        s.lineWidth = std::max(s.lineWidth, 1.5);
    content.series = std::move(series);
    return content;
}

plot::PlotStyle CurveFigureStyle(const QFont& font, plot::Rgb background, bool gridLines) {
    plot::PlotStyle style;
    style.font = font;
    style.background = QColor(plot::RgbRed(background), plot::RgbGreen(background), plot::RgbBlue(background));
    style.frame = QColor(40, 40, 40);
    style.text = Qt::black;
    style.gridLines = gridLines;
    style.tickTarget = 8;
    return style;
}

plot::Range ShownCurveRange(const COstrelDoc& doc) {
    return plot::Range{doc.m_fXMin, doc.m_fXMax, doc.m_fYMin, doc.m_fYMax};
}

std::vector<plot::Series> InTimeSpan(std::vector<plot::Series> series, double from, double to) {
    for (plot::Series& s : series)
        std::erase_if(s.points, [&](const plot::Point& p) { return !(p.x >= from && p.x <= to); });
    return series;
}
