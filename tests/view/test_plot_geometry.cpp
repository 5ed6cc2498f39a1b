// The plot's arithmetic: label texts and positions, segment skipping and mapping, palettes.

#include <gtest/gtest.h>

#include <cmath>

#include "CommandIds.h"
#include "DisplayCommands.h"
#include "PlotGeometry.h"
#include "ResultFiles.h"

namespace {

std::vector<std::string> Texts(const std::array<PlotLabel, 5>& labels) {
    std::vector<std::string> texts;
    for (const PlotLabel& label : labels)
        texts.push_back(label.text);
    return texts;
}

}  // namespace

TEST(PlotLabels, TimeRangeZeroToTen) {
    EXPECT_EQ(Texts(TimeLabels(0.0f, 10.0f, 200.0)),
              (std::vector<std::string>{"0.0", "2.50", "5.00", "7.50", "10.00"}));
}

TEST(PlotLabels, ValueRangeAroundZeroTakesShortFormatInTheMiddle) {
    EXPECT_EQ(Texts(ValueLabels(-0.002f, 0.002f, 150.0)),
              (std::vector<std::string>{"-0.0020", "-0.0010", "0.0", "0.0010", "0.0020"}));
}

TEST(PlotLabels, AxesWithTooFewDigitsTakeAPowerOfTen) {
    // The fixed formats where they show three digits: no power, the same texts and places.
    const AxisLabels plain = ValueAxisLabels(-0.02f, 0.02f, 150.0);
    EXPECT_FALSE(plain.power);
    EXPECT_EQ(Texts(plain.labels), Texts(ValueLabels(-0.02f, 0.02f, 150.0)));
    EXPECT_FALSE(TimeAxisLabels(0.0f, 10.0f, 200.0).power);
    // 1e-5 mm: every fixed label would read 0.0000.
    const AxisLabels small = ValueAxisLabels(-2e-5f, 2e-5f, 150.0);
    ASSERT_TRUE(small.power);
    EXPECT_EQ(small.power->text, "x 1e-5");
    EXPECT_DOUBLE_EQ(small.power->x, 15.0);
    EXPECT_DOUBLE_EQ(small.power->y, 160.0);
    EXPECT_EQ(Texts(small.labels), (std::vector<std::string>{"-2.00", "-1.00", "0.0", "1.00", "2.00"}));
    EXPECT_DOUBLE_EQ(small.labels[0].x, -40.0);
    EXPECT_DOUBLE_EQ(small.labels[2].x, -25.0);  // the zero keeps its place
    // A time window of half a microsecond.
    const AxisLabels time = TimeAxisLabels(0.0f, 0.5f, 200.0);
    ASSERT_TRUE(time.power);
    EXPECT_EQ(time.power->text, "x 1e-1");
    EXPECT_EQ(Texts(time.labels), (std::vector<std::string>{"0.0", "1.25", "2.50", "3.75", "5.00"}));
    EXPECT_DOUBLE_EQ(time.power->y, -30.0);
}

TEST(PlotLabels, PositionsRelativeToThePlotOrigin) {
    const auto time = TimeLabels(0.0f, 10.0f, 200.0);
    for (int i = 0; i < 5; ++i) {
        EXPECT_DOUBLE_EQ(time[i].x, i * 50.0 - 5.0);
        EXPECT_DOUBLE_EQ(time[i].y, -15.0);
        EXPECT_FALSE(time[i].highlighted);
    }
    const auto value = ValueLabels(-0.002f, 0.002f, 100.0);
    for (int i = 0; i < 5; ++i) {
        EXPECT_DOUBLE_EQ(value[i].y, i * 25.0 - 2.5);
        EXPECT_DOUBLE_EQ(value[i].x, i == 2 ? -25.0 : -55.0);
    }
    const auto letterV = VerticalAxisLetter(2, 100.0);
    ASSERT_TRUE(letterV.has_value());
    EXPECT_EQ(letterV->text, "V");
    EXPECT_DOUBLE_EQ(letterV->x, -5.0);
    EXPECT_DOUBLE_EQ(letterV->y, 110.0);
    EXPECT_TRUE(letterV->highlighted);
    EXPECT_EQ(VerticalAxisLetter(1, 0)->text, "U");
    EXPECT_EQ(VerticalAxisLetter(3, 0)->text, "W");
    EXPECT_FALSE(VerticalAxisLetter(0, 100.0).has_value());
    EXPECT_FALSE(VerticalAxisLetter(4, 100.0).has_value());
    const PlotLabel t = HorizontalAxisLetter(200.0);
    EXPECT_EQ(t.text, "T");
    EXPECT_DOUBLE_EQ(t.x, 210.0);
    EXPECT_DOUBLE_EQ(t.y, 1.0);
    EXPECT_TRUE(t.highlighted);
}

TEST(PlotGeometry, OriginIsAQuarterOfTheWindowInFloatingPoint) {
    const PlotOrigin o = ComputePlotOrigin(401, 303);
    EXPECT_DOUBLE_EQ(o.x0, 100.25);
    EXPECT_DOUBLE_EQ(o.y0, 75.75);
    EXPECT_DOUBLE_EQ(o.Width(), 200.5);
    EXPECT_DOUBLE_EQ(o.Height(), 151.5);
}

TEST(PlotGeometry, TimeAndValueMapOntoTheMiddleHalf) {
    const PlotMapping m = ComputePlotMapping(0.0f, 10.0f, -1.0f, 1.0f, 400, 200);
    EXPECT_DOUBLE_EQ(m.MapX(0), 0);
    EXPECT_DOUBLE_EQ(m.MapX(5), 100);
    EXPECT_DOUBLE_EQ(m.MapX(10), 200);
    EXPECT_DOUBLE_EQ(m.MapY(-1), 0);
    EXPECT_DOUBLE_EQ(m.MapY(1), 100);
}

TEST(PlotGeometry, SegmentWithAnEndOutsideIsSkippedWhole) {
    const PlotMapping m = ComputePlotMapping(0.0f, 10.0f, -1.0f, 1.0f, 400, 200);
    EXPECT_TRUE(m.SegmentShown({0, -1}, {10, 1}));  // bounds count as inside
    EXPECT_FALSE(m.SegmentShown({-0.001f, 0}, {1, 0}));
    EXPECT_FALSE(m.SegmentShown({9, 0}, {10.001f, 0}));
    EXPECT_FALSE(m.SegmentShown({1, 1.01f}, {2, 0}));
    EXPECT_FALSE(m.SegmentShown({1, 0}, {2, -1.01f}));
}

TEST(PlotGeometry, EmptyRangeDrawsThroughTheMiddle) {
    const PlotMapping flat = ComputePlotMapping(0.0f, 10.0f, 2.0f, 2.0f, 400, 200);
    EXPECT_TRUE(flat.SegmentShown({0, 2}, {10, 2}));
    EXPECT_DOUBLE_EQ(flat.MapY(2), 50.0);
    EXPECT_DOUBLE_EQ(flat.MapX(10), 200.0);
    const PlotMapping point = ComputePlotMapping(3.0f, 3.0f, 2.0f, 2.0f, 400, 200);
    EXPECT_DOUBLE_EQ(point.MapX(3.0f), 100.0);
    EXPECT_DOUBLE_EQ(point.MapY(2.0f), 50.0);
    EXPECT_TRUE(std::isfinite(point.sx) && std::isfinite(point.sy));
    // The labels of an empty range are all equal.
    EXPECT_EQ(Texts(TimeLabels(3.0f, 3.0f, 200)),
              (std::vector<std::string>{"3.00", "3.00", "3.00", "3.00", "3.00"}));
}

TEST(Colours, ByteLayout) {
    constexpr plot::Rgb c = plot::MakeRgb(255, 128, 1);
    static_assert(c == 0x00FF8001u);
    EXPECT_EQ(plot::RgbRed(c), 255);
    EXPECT_EQ(plot::RgbGreen(c), 128);
    EXPECT_EQ(plot::RgbBlue(c), 1);
}

TEST(LogicalPalette, TrueColourFormatsNeedNone) {
    PixelFormatLayout rgb{0x25, 24, 8, 16, 8, 8, 8, 0};
    EXPECT_TRUE(BuildLogicalPalette(rgb).empty());
    rgb.flags |= kNeedPaletteFlag;
    rgb.colorBits = 24;
    EXPECT_TRUE(BuildLogicalPalette(rgb).empty());  // never expanded to 16 million entries
}

TEST(LogicalPalette, ThreeThreeTwoWithSystemColours) {
    const PixelFormatLayout f{kNeedPaletteFlag, 8, 3, 0, 3, 3, 2, 6};
    const auto p = BuildLogicalPalette(f);
    ASSERT_EQ(p.size(), 256u);
    EXPECT_EQ(p[0], (PaletteEntry{0, 0, 0, 0}));
    EXPECT_EQ(p[255], (PaletteEntry{255, 255, 255, 0}));
    // Entry 0b10'011'101: red 5 -> 182, green 3 -> 109, blue 2 -> 170.
    EXPECT_EQ(p[0x9D], (PaletteEntry{182, 109, 170, 0}));
    const struct {
        int entry, r, g, b;
    } system[] = {{3, 128, 0, 0},       {24, 0, 128, 0},       {27, 128, 128, 0},
                  {64, 0, 0, 128},      {67, 128, 0, 128},     {88, 0, 128, 128},
                  {173, 192, 192, 192}, {181, 192, 220, 192},  {236, 166, 202, 240},
                  {247, 255, 251, 240}, {164, 160, 160, 164},  {91, 128, 128, 128}};
    for (const auto& s : system)
        EXPECT_EQ(p[s.entry], (PaletteEntry{std::uint8_t(s.r), std::uint8_t(s.g), std::uint8_t(s.b), 0}))
            << "entry " << s.entry;
    // Entries the system colours leave alone keep the computed levels (entry 4: red 4 -> 146).
    EXPECT_EQ(p[4], (PaletteEntry{146, 0, 0, 0}));
}

TEST(LogicalPalette, OtherLayoutsComputedWithoutSystemColours) {
    // 4-bit format: red 1 bit at 0, green 2 bits at 1, blue 1 bit at 3.
    const PixelFormatLayout f{kNeedPaletteFlag, 4, 1, 0, 2, 1, 1, 3};
    const auto p = BuildLogicalPalette(f);
    ASSERT_EQ(p.size(), 16u);
    EXPECT_EQ(p[3], (PaletteEntry{255, 85, 0, 0}));
    EXPECT_EQ(p[15], (PaletteEntry{255, 255, 255, 0}));
    // A 4-bit component has no table and gives 0.
    const PixelFormatLayout wide{kNeedPaletteFlag, 8, 4, 0, 2, 4, 2, 6};
    EXPECT_EQ(BuildLogicalPalette(wide)[0x0F].red, 0);
}

TEST(DisplayCommandTable, ComponentsAndSources) {
    struct Expected {
        int id, component;
        const CProjectKind& kind;
        bool existing;
    };
    const CProjectKind& com = CompositeKind();
    const CProjectKind& fgm = FGMKind();
    const Expected expected[] = {
        {Cmd::kDisplayComCurrentU, 1, com, false}, {32781, 2, com, false}, {32782, 3, com, false},
        {32788, 1, com, true},                     {32789, 2, com, true},  {32790, 3, com, true},
        {32793, 1, fgm, false},                    {32794, 2, fgm, false}, {32795, 3, fgm, false},
        {32796, 1, fgm, true},                     {32797, 2, fgm, true},  {32798, 3, fgm, true},
    };
    ASSERT_EQ(DisplayCommands().size(), 12u);
    for (const Expected& e : expected) {
        const DisplayCommand* c = FindDisplayCommand(e.id);
        ASSERT_NE(c, nullptr) << e.id;
        EXPECT_EQ(c->component, e.component) << e.id;
        EXPECT_EQ(c->kind, &e.kind) << e.id;
        EXPECT_EQ(c->existing, e.existing) << e.id;
    }
    EXPECT_EQ(FindDisplayCommand(Cmd::kOverview), nullptr);
}
