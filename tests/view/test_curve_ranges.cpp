// The curve view's range and read-out rules on a real document, without a window.

#include <gtest/gtest.h>

#include <cfloat>

#include "CurveRanges.h"
#include "OstrelDoc.h"

namespace {

// A document showing W of a composite result: points (0, 0), (1, 2), (2, 4), full range
// [0, 2] x [0, 4] on show.
void LoadLine(COstrelDoc& doc) {
    doc.m_curve = {CCurvePoint(0, 0), CCurvePoint(1, 2), CCurvePoint(2, 4)};
    doc.m_nPoints = 3;
    doc.m_bCurveLoaded = 1;
    doc.m_nLabelComp = 3;
    doc.m_nCurveFamily = 1;
    doc.m_fFullXMin = doc.m_fXMin = 0;
    doc.m_fFullXMax = doc.m_fXMax = 2;
    doc.m_fFullYMin = doc.m_fYMin = 0;
    doc.m_fFullYMax = doc.m_fYMax = 4;
}

plot::Series Added(std::vector<plot::Point> points) {
    plot::Series s;
    s.name = "measured.csv";
    s.points = std::move(points);
    return s;
}

}  // namespace

TEST(CurveRanges, FullRangeCoversAddedCurvesAndZoomIsJudgedInFloats) {
    COstrelDoc doc;
    LoadLine(doc);
    EXPECT_FALSE(IsZoomed(doc, {}));
    const std::vector<plot::Series> added{Added({{-1, 1}, {3, 5}})};
    EXPECT_EQ(FullRangeOf(doc, added), (plot::Range{-1, 3, 0, 5}));
    // The document's own full range no longer shows everything.
    EXPECT_TRUE(IsZoomed(doc, added));
    WriteShownRange(doc, FullRangeOf(doc, added));
    EXPECT_FALSE(IsZoomed(doc, added));
    EXPECT_EQ(ShownRangeOf(doc), (plot::Range{-1, 3, 0, 5}));
    // A double range that rounds to the same floats is not a zoom.
    const std::vector<plot::Series> fine{Added({{-1 + 1e-12, 1}, {3, 5}})};
    EXPECT_FALSE(IsZoomed(doc, fine));
}

TEST(CurveRanges, RangesTheDocumentsFloatsCannotHoldAreRefused) {
    EXPECT_TRUE(FitsInFloats({-FLT_MAX, FLT_MAX, 0, 1}));
    EXPECT_FALSE(FitsInFloats({0, 1e39, 0, 1}));
    EXPECT_FALSE(FitsInFloats({0, 1, -1e300, 1}));
}

TEST(CurveReadout, NamesTheNearestPointOnScreenOfAnyCurve) {
    COstrelDoc doc;
    LoadLine(doc);
    const QRectF area(0, 0, 200, 400);  // one unit 100 pixels both ways
    // The pointer at data (1, 2.1): the document's point (1, 2) is 10 pixels off.
    const QPointF pointer(100, 400 - 210);
    EXPECT_EQ(CurveReadoutText(doc, {}, area, pointer),
              QStringLiteral("t = 1 us, W = 2.1 mm  |  nearest point of W composite: t = 1 us, W = 2 mm"));
    // An added point 5 pixels away wins; one at 20 pixels would not.
    std::vector<plot::Series> added{Added({{1.05, 2.1}})};
    EXPECT_TRUE(CurveReadoutText(doc, added, area, pointer)
                    .endsWith(QStringLiteral("nearest point of measured.csv: t = 1.05 us, W = 2.1 mm")));
    added = {Added({{1.2, 2.1}})};
    EXPECT_TRUE(CurveReadoutText(doc, added, area, pointer).contains(QStringLiteral("of W composite")));
    // Points outside the range on show are never named.
    WriteShownRange(doc, {1.5, 1.9, 3, 4});
    doc.m_nLabelComp = 0;
    EXPECT_EQ(CurveReadoutText(doc, {}, QRectF(0, 0, 40, 100), QPointF(0, 100)),
              QStringLiteral("t = 1.5 us, value = 3 mm"));
}
