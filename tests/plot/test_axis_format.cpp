// Tick values and label texts, the curve view's rule for small and large amplitudes.

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>

#include "AxisFormat.h"

using namespace plot;

namespace {

std::vector<double> Five(double lo, double hi) {
    std::vector<double> v;
    for (int i = 0; i <= 4; ++i)
        v.push_back(lo + i * (hi - lo) / 4);
    return v;
}

std::vector<std::string> Texts(const LabelFormat& f, const std::vector<double>& values) {
    std::vector<std::string> t;
    for (const double v : values)
        t.push_back(f.Format(v));
    return t;
}

}  // namespace

TEST(FixedDecimals, KeepsFourDecimalsWhereTheyShowThreeDigits) {
    const auto values = Five(-1000, 1000);  // a 1e+3 amplitude
    const LabelFormat f = FixedDecimalsFormat(values, 4);
    EXPECT_FALSE(f.scaled);
    EXPECT_EQ(f.Suffix(), "");
    EXPECT_EQ(Texts(f, values),
              (std::vector<std::string>{"-1000.0000", "-500.0000", "0.0", "500.0000", "1000.0000"}));
    EXPECT_EQ(Texts(FixedDecimalsFormat(Five(0, 10), 2), Five(0, 10)),
              (std::vector<std::string>{"0.0", "2.50", "5.00", "7.50", "10.00"}));
    EXPECT_FALSE(FixedDecimalsFormat(Five(0, 0.0123), 4).scaled);  // "0.0123": three digits
}

TEST(FixedDecimals, SmallAmplitudesTakeACommonPowerOfTen) {
    const auto values = Five(-2e-6, 2e-6);  // a 1e-6 amplitude: every label was "0.0000"
    const LabelFormat f = FixedDecimalsFormat(values, 4);
    EXPECT_TRUE(f.scaled);
    EXPECT_EQ(f.exponent, -6);
    EXPECT_EQ(f.Suffix(), "x 1e-6");
    EXPECT_EQ(Texts(f, values), (std::vector<std::string>{"-2.00", "-1.00", "0.0", "1.00", "2.00"}));

    // A float just below a power of ten takes that power ("1.00", not "10.00 x 1e-7").
    const auto single = Five(double(-1e-6f), double(1e-6f));
    EXPECT_EQ(FixedDecimalsFormat(single, 4).Suffix(), "x 1e-6");
    EXPECT_EQ(FixedDecimalsFormat(single, 4).Format(single[4]), "1.00");

    const auto mixed = Five(-3.1e-5, 7.9e-5);
    const LabelFormat g = FixedDecimalsFormat(mixed, 4);
    EXPECT_EQ(g.Suffix(), "x 1e-5");
    EXPECT_EQ(Texts(g, mixed), (std::vector<std::string>{"-3.10", "-0.35", "2.40", "5.15", "7.90"}));
    // Two digits ("0.0020") are fewer than three as well.
    EXPECT_EQ(FixedDecimalsFormat(Five(-0.002, 0.002), 4).Suffix(), "x 1e-3");
    // 0.00999 rounds to "0.0100", three digits; 0.00994 to "0.0099", two.
    EXPECT_FALSE(FixedDecimalsFormat(std::vector<double>{0.00999}, 4).scaled);
    EXPECT_TRUE(FixedDecimalsFormat(std::vector<double>{0.00994}, 4).scaled);
    // The largest doubles neither overflow nor scale.
    EXPECT_FALSE(FixedDecimalsFormat(std::vector<double>{-1.7e308, 1.7e308}, 4).scaled);
    EXPECT_FALSE(FixedDecimalsFormat(std::vector<double>{NAN, INFINITY}, 4).scaled);
    // All zero (or nothing): the plain format.
    EXPECT_FALSE(FixedDecimalsFormat(std::vector<double>{0, 0}, 4).scaled);
}

TEST(FixedDecimals, NoDecimalCommaInAnyLocale) {
    const std::string saved = std::setlocale(LC_ALL, nullptr);
    if (!std::setlocale(LC_ALL, "de_DE.UTF-8"))
        GTEST_SKIP() << "no comma locale installed";
    EXPECT_EQ(FixedDecimalsFormat(Five(0, 4e-5), 4).Format(1e-5), "1.00");
    EXPECT_EQ(FormatFixed(-0.5, 4), "-0.5000");
    std::setlocale(LC_ALL, saved.c_str());
}

TEST(FixedDecimals, NearZeroIsNotExactZeroAndWidthIsAMinimum) {
    const LabelFormat time = FixedDecimals(2), value = FixedDecimals(4);
    EXPECT_FALSE(time.scaled);
    EXPECT_EQ(time.Format(0.001), "0.00");
    EXPECT_EQ(time.Format(-0.001), "-0.00");
    EXPECT_EQ(value.Format(0.00001), "0.0000");
    EXPECT_EQ(value.Format(-0.00001), "-0.0000");
    EXPECT_EQ(time.Format(0.0), "0.0");
    EXPECT_EQ(value.Format(1234.5), "1234.5000");
    EXPECT_EQ(time.Format(1e10), "10000000000.00");  // width 3 is a minimum, nothing cut
    EXPECT_EQ(FixedDecimals(0).Format(7), "  7");
    EXPECT_EQ(FixedDecimals(2, false, 0).Format(0.0), "0.00");
    const std::string saved = std::setlocale(LC_ALL, nullptr);
    if (std::setlocale(LC_ALL, "de_DE.UTF-8") || std::setlocale(LC_ALL, "fr_FR.UTF-8")) {
        EXPECT_EQ(time.Format(2.5), "2.50");
        EXPECT_EQ(value.Format(-0.001), "-0.0010");
    }
    std::setlocale(LC_ALL, saved.c_str());
}

TEST(EvenTicks, BothEndsAndEqualStepsAsTheCurveViewComputesThem) {
    EXPECT_EQ(EvenTicks(0, 10, 4), (std::vector<double>{0, 2.5, 5, 7.5, 10}));
    // lo + i * step, the step taken once: the texts of the view's labels depend on these bits.
    const double lo = double(-0.002f), hi = double(0.002f), step = (hi - lo) / 4;
    const std::vector<double> t = EvenTicks(lo, hi, 4);
    ASSERT_EQ(t.size(), 5u);
    for (int i = 0; i <= 4; ++i)
        EXPECT_EQ(t[i], lo + i * step) << i;
    EXPECT_EQ(t[2], 0.0);  // the middle of a symmetric range is an exact zero ("0.0")
    EXPECT_EQ(EvenTicks(3, 3, 4), std::vector<double>(5, 3.0));
    EXPECT_TRUE(EvenTicks(0, 1, 0).empty());
}

TEST(NiceTicks, RoundStepsInsideTheRange) {
    EXPECT_EQ(NiceTicks(0, 10, 5), (std::vector<double>{0, 2, 4, 6, 8, 10}));
    EXPECT_EQ(NiceTicks(-0.33, 0.77, 5), (std::vector<double>{-0.2, 0, 0.2, 0.4, 0.6}));
    EXPECT_DOUBLE_EQ(NiceStep(0, 1e-5, 5), 2e-6);
    EXPECT_TRUE(NiceTicks(1, 1, 5).empty());
    EXPECT_TRUE(NiceTicks(0, INFINITY, 5).empty());
    EXPECT_TRUE(NiceTicks(0, NAN, 5).empty());
    EXPECT_LE(NiceTicks(-1e308, 1e308, 5).size(), 20u);
    for (const double t : NiceTicks(-0.3, 0.3, 6))
        EXPECT_FALSE(std::signbit(t) && t == 0);  // no "-0"
}

TEST(NiceTicks, LabelsShowTheStepAndScaleExtremes) {
    const auto ticks = NiceTicks(0, 1.5, 6);
    const LabelFormat f = NiceTickFormat(ticks, NiceStep(0, 1.5, 6));
    EXPECT_EQ(Texts(f, ticks), (std::vector<std::string>{"0.0", "0.2", "0.4", "0.6", "0.8", "1.0", "1.2", "1.4"}));
    const auto tiny = NiceTicks(0, 1e-5, 5);
    const LabelFormat g = NiceTickFormat(tiny, NiceStep(0, 1e-5, 5));
    EXPECT_EQ(g.Suffix(), "x 1e-5");
    EXPECT_EQ(Texts(g, tiny), (std::vector<std::string>{"0.0", "0.2", "0.4", "0.6", "0.8", "1.0"}));
    const auto big = NiceTicks(0, 3e6, 3);
    EXPECT_EQ(NiceTickFormat(big, NiceStep(0, 3e6, 3)).Suffix(), "x 1e+6");
    EXPECT_EQ(PowerOfTenText(3), "1e+3");
}
