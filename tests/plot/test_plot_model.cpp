// Ranges, zoom and pan, nearest-point look-up and polyline clipping.

#include <gtest/gtest.h>

#include <set>

#include <cmath>
#include <limits>

#include "PlotModel.h"
#include "GridReadout.h"
#include "PlotPainter.h"

using namespace plot;

namespace {

Series Make(std::vector<Point> points, std::string name = "s") {
    Series s;
    s.name = std::move(name);
    s.points = std::move(points);
    return s;
}

}  // namespace

TEST(PlotRange, CoversEveryFiniteMaterialPointOfEverySeries) {
    const std::vector<Series> series = {Make({{0, 1}, {NAN, 100}, {2, -3}}), Make({}),
                                        Make({{INFINITY, 0}, {-1, 0.5}, {5, 2}})};
    const std::optional<Range> r = DataRange(series);
    ASSERT_TRUE(r);
    EXPECT_EQ(*r, (Range{-1, 5, -3, 2}));
    EXPECT_FALSE(DataRange(std::vector<Series>{Make({{NAN, NAN}})}));
    EXPECT_EQ(*Union(r, Range{-10, 0, 0, 10}), (Range{-10, 5, -3, 10}));
}

TEST(PlotRange, PaddingGivesAnEmptyAxisRoomToScale) {
    EXPECT_EQ(Padded(Range{0, 10, 2, 2}, 0.1), (Range{-1, 11, 1.8, 2.2}));
    EXPECT_EQ(Padded(Range{0, 0, 0, 0}, 0.1), (Range{-1, 1, -1, 1}));
}

TEST(PlotZoom, WheelZoomKeepsThePointUnderThePointer) {
    ViewState v;
    v.SetFullRange({0, 100, -1, 1});
    v.ZoomAbout({25, 0.5}, 0.5, 1.0);
    EXPECT_DOUBLE_EQ(v.Shown().xMin, 12.5);
    EXPECT_DOUBLE_EQ(v.Shown().xMax, 62.5);
    EXPECT_EQ(v.Shown().yMin, -1);  // the other axis stays
    EXPECT_EQ(v.Shown().yMax, 1);
    EXPECT_FALSE(v.IsOverview());
    v.ZoomAbout({25, 0.5}, 2.0, 0.5);
    EXPECT_DOUBLE_EQ(v.Shown().xMin, 0);
    EXPECT_DOUBLE_EQ(v.Shown().xMax, 100);
    EXPECT_DOUBLE_EQ(v.Shown().yMin, -0.25);
    EXPECT_DOUBLE_EQ(v.Shown().yMax, 0.75);
    v.Overview();
    EXPECT_TRUE(v.IsOverview());
}

TEST(PlotZoom, ZoomStopsAtAMillionthOfTheMagnitudeInsteadOfCollapsing) {
    ViewState v;
    v.SetFullRange({1000, 1001, 0, 1});
    for (int i = 0; i < 200; ++i)
        v.ZoomAbout({1000.5, 0.5}, 0.5, 0.5);
    EXPECT_GE(v.Shown().Width(), 1001 * 1e-6 * 0.999);
    EXPECT_GT(v.Shown().Height(), 0);
    EXPECT_LE(v.Shown().xMin, 1000.5);
    EXPECT_GE(v.Shown().xMax, 1000.5);
    for (int i = 0; i < 200; ++i)
        v.ZoomAbout({1000.5, 0.5}, 2, 2);
    EXPECT_TRUE(std::isfinite(v.Shown().Width()));
    EXPECT_LE(v.Shown().Width(), 1e6 * 1.0001);
}

TEST(PlotZoom, NeverLeavesTheFiniteNumbers) {
    ViewState v;
    v.SetFullRange({-1e308, 1e308, 0, 1});
    v.ZoomAbout({0, 0.5}, 10, 1);
    v.Pan(1e308, 0);
    v.PanByFraction(2, 0);
    EXPECT_EQ(v.Shown(), (Range{-1e308, 1e308, 0, 1}));
}

TEST(PlotZoom, RectangleInAnyOrderAndBadInputIgnored) {
    ViewState v;
    v.SetFullRange({0, 10, 0, 10});
    v.ZoomTo({8, 1}, {2, 4});
    EXPECT_EQ(v.Shown(), (Range{2, 8, 1, 4}));
    v.ZoomTo({3, 2}, {5, 2});  // no height: only the time axis changes
    EXPECT_EQ(v.Shown(), (Range{3, 5, 1, 4}));
    v.ZoomTo({NAN, 0}, {1, 1});
    v.ZoomAbout({1, 1}, 0, 1);
    v.ZoomAbout({1, 1}, NAN, 1);
    v.Pan(INFINITY, 0);
    EXPECT_EQ(v.Shown(), (Range{3, 5, 1, 4}));
    v.PanByFraction(0.5, -1);
    EXPECT_EQ(v.Shown(), (Range{4, 6, -2, 1}));
}

TEST(PlotNearest, MeasuredInPixelsNotInDataUnits) {
    // (1.5, 10) is nearer the pointer (1, 10) in data units, (1, 40) on a screen that shows
    // 100 pixels per time unit and 1 pixel per value unit.
    const std::vector<Series> series = {Make({{0, -50}, {1, 40}}, "steep"), Make({{1.5, 10}}, "flat")};
    const auto n = NearestPoint(series, {1, 10}, 100, 1);
    ASSERT_TRUE(n);
    EXPECT_EQ(n->series, 0u);
    EXPECT_EQ(n->index, 1u);
    EXPECT_DOUBLE_EQ(n->pixels, 30);
    const auto m = NearestPoint(series, {1, 10}, 1, 1);
    ASSERT_TRUE(m);
    EXPECT_EQ(m->series, 1u);
    EXPECT_EQ(m->index, 0u);
    EXPECT_FALSE(NearestPoint(series, {1, 10}, 100, 1, std::nullopt, 29.9));
    EXPECT_FALSE(NearestPoint(series, {1, 10}, 100, 1, Range{5, 6, 0, 1}));
    EXPECT_FALSE(NearestPoint(series, {NAN, 10}, 100, 1));
}

TEST(PlotNearest, ALineIsNearWhereverItRunsNotOnlyAtItsPoints) {
    // One straight stretch from (0, 0) to (10, 0) at 10 pixels per unit: the pointer 3 pixels
    // above its middle is on the line, 50 pixels from either point.
    const std::vector<Series> series = {Make({{0, 0}, {10, 0}}, "A0"), Make({{0, 5}, {10, 5}}, "A1")};
    const Range all{-1, 11, -1, 6};
    const auto on = NearestLine(series, {5, 0.3}, 10, 10, all, 8);
    ASSERT_TRUE(on);
    EXPECT_EQ(on->series, 0u);
    EXPECT_NEAR(on->pixels, 3, 1e-12);
    EXPECT_EQ(on->index, 1u);  // the foot lies nearer the second end (5.0 is the middle: ties go on)
    const auto nearStart = NearestLine(series, {2, 0.3}, 10, 10, all, 8);
    ASSERT_TRUE(nearStart);
    EXPECT_EQ(nearStart->index, 0u);
    EXPECT_FALSE(NearestPoint(series, {5, 0.3}, 10, 10, all, 8));  // the points alone are too far
    // Between the lines, farther than 8 pixels from both: none; nearer the upper one: it.
    EXPECT_FALSE(NearestLine(series, {5, 2.5}, 10, 10, all, 8));
    const auto upper = NearestLine(series, {5, 4.5}, 10, 10, all, 8);
    ASSERT_TRUE(upper);
    EXPECT_EQ(upper->series, 1u);
    // Markers alone are points, not lines.
    std::vector<Series> markers = series;
    markers[0].style = Series::Style::Markers;
    EXPECT_FALSE(NearestLine(markers, {5, 0.3}, 10, 10, all, 8));
}

TEST(PlotLook, FortyLinesAllLookDifferent) {
    std::set<std::pair<Rgb, Dash>> looks;
    for (std::size_t i = 0; i < 40; ++i) {
        Series s;
        SetSeriesLook(s, i);
        looks.insert({s.colour, s.dash});
    }
    EXPECT_EQ(looks.size(), 40u);
    // The first ten are solid, so a plot of few lines looks as before.
    EXPECT_EQ(SeriesDash(9), Dash::Solid);
    EXPECT_EQ(SeriesDash(10), Dash::Dashed);
    EXPECT_NE(SeriesDash(0), SeriesDash(10));
    EXPECT_EQ(SeriesColour(0), SeriesColour(10));
}

TEST(PlotGrid, UnevenColumnsReachHalfwayToTheirNeighbours) {
    Grid g;
    g.nx = 3;
    g.ny = 1;
    g.columnX = {1, 2.5, 7};
    g.extent = {0.25, 9.25, 0, 1};
    EXPECT_EQ(g.ColumnEdges(0), (std::pair<double, double>{0.25, 1.75}));
    EXPECT_EQ(g.ColumnEdges(2), (std::pair<double, double>{4.75, 9.25}));
    g.columnX.clear();  // even: three equal thirds of the extent
    EXPECT_EQ(g.ColumnEdges(1), (std::pair<double, double>{3.25, 6.25}));
}

TEST(PlotClip, SegmentsAreCutAtTheFrameAndBrokenWhereTheyLeave) {
    const Range r{0, 10, 0, 10};
    // In, out across the right edge, back in across the top edge, then a non-finite point.
    const std::vector<Point> line = {{1, 1}, {5, 5}, {15, 5}, {5, 15}, {5, 5}, {NAN, 0}, {6, 6}, {7, 7}};
    const auto pieces = ClipPolyline(line, r);
    ASSERT_EQ(pieces.size(), 3u);
    EXPECT_EQ(pieces[0], (std::vector<Point>{{1, 1}, {5, 5}, {10, 5}}));
    EXPECT_EQ(pieces[1], (std::vector<Point>{{5, 10}, {5, 5}}));
    EXPECT_EQ(pieces[2], (std::vector<Point>{{6, 6}, {7, 7}}));
    // A segment passing through the corner region entirely outside leaves nothing.
    EXPECT_TRUE(ClipPolyline({{-5, 5}, {5, -5}, {20, -5}}, r).size() <= 1);
    EXPECT_TRUE(ClipPolyline({{11, 11}, {20, 20}}, r).empty());
}

TEST(PlotMapping, PixelsAndDataAreInverse) {
    const Mapping m{Range{0, 10, -1, 1}, QRectF(100, 50, 200, 100)};
    EXPECT_EQ(m.ToPixel({0, -1}), QPointF(100, 150));
    EXPECT_EQ(m.ToPixel({10, 1}), QPointF(300, 50));
    const Point p = m.ToData(QPointF(150, 75));
    EXPECT_DOUBLE_EQ(p.x, 2.5);
    EXPECT_DOUBLE_EQ(p.y, 0.5);
}

TEST(PlotReadout, RoundingNoiseReadsAsZeroAgainstTheQuantitysScale) {
    // A skew of 7.3e-16 deg among angles, a displacement of 3e-17 mm among millimetres: noise.
    EXPECT_EQ(ReadoutNumber(7.3e-16, 90), QStringLiteral("0"));
    EXPECT_EQ(ReadoutNumber(-3e-17, 1), QStringLiteral("0"));
    // Genuinely small values keep their digits: small against the scale, far above rounding,
    // or small on a scale of their own.
    EXPECT_EQ(ReadoutNumber(1e-6, 90), QStringLiteral("1e-06"));
    EXPECT_EQ(ReadoutNumber(5.67e-17, 2e-16), QStringLiteral("5.67e-17"));
    EXPECT_EQ(ReadoutNumber(-1.23456, 2), QStringLiteral("-1.235"));
    EXPECT_EQ(ReadoutNumber(1e-20, 0), QStringLiteral("1e-20"));  // no scale: nothing is noise
    EXPECT_EQ(ReadoutNumber(std::nan(""), 1), QStringLiteral("-"));
    EXPECT_EQ(ReadoutNumber(1e-30, std::numeric_limits<double>::infinity()), QStringLiteral("1e-30"));
    EXPECT_EQ(ReadoutScale(-4, 2), 4.0);
}

TEST(PlotReadout, ThePointerAndTheNearestPointAreReadAgainstTheAxesShown) {
    PlotContent c;
    c.x = {"t", "us"};
    c.y = {"W", "mm"};
    Series s;
    s.name = "W";
    s.unit = "mm";
    s.points = {{0, 2e-18}, {10, 1}};
    c.series.push_back(s);
    const Range shown{0, 10, -1, 1};
    EXPECT_EQ(ReadoutText(c, shown, {1e-16, 1e-17}, Nearest{0, 0, {0, 2e-18}, 1.0}),
              QStringLiteral("t = 0 us, W = 0 mm | nearest: W (0 us, 0 mm)"));
    // The same small numbers on axes of their own size are data.
    EXPECT_EQ(ReadoutText(c, Range{0, 1e-15, -1e-17, 1e-17}, {1e-16, 1e-17}, std::nullopt),
              QStringLiteral("t = 1e-16 us, W = 1e-17 mm"));
}

TEST(PlotReadout, AGridCellIsReadAgainstTheLargestValueOfTheGrid) {
    PlotContent c;
    c.x = {"x", "mm"};
    c.y = {"t", "us"};
    Grid g;
    g.name = "W";
    g.unit = "mm";
    g.nx = 2;
    g.ny = 1;
    g.extent = {0, 2, 0, 1};
    g.values = {1, 1e-17};
    c.grid = g;
    EXPECT_EQ(GridReadoutText(c, {1.5, 0.5}), QStringLiteral("x = 1.5 mm, t = 0.5 us, W = 0 mm"));
    c.grid->values = {2e-17, 1e-17};  // a field that small throughout is what there is
    EXPECT_EQ(GridReadoutText(c, {1.5, 0.5}), QStringLiteral("x = 1.5 mm, t = 0.5 us, W = 1e-17 mm"));
}
