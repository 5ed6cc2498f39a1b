#pragma once
// Tick positions and tick-label texts. Texts never depend on the locale: always a '.' decimal
// point and no digit grouping.
//
// Two ways to label an axis:
// - FixedDecimalsFormat: the curve view's labels, a fixed number of decimals (4 for values, 2 for
//   times, "0.0" for an exact zero). When that would show fewer than three significant digits
//   on the axis (displacements of 1e-5 all reading "0.0000"), the axis takes a common power of
//   ten instead: labels with three significant digits and "x 1e-5" written at the end of the axis.
// - NiceTicks + NiceTickFormat: round tick values (1, 2, 5 times a power of ten) with just the
//   decimals their step needs, and a common power of ten for very small or very large values.

#include <span>
#include <string>
#include <vector>

namespace plot {

struct LabelFormat {
    int decimals = 4;        // digits after the point (of the scaled value when exponent != 0)
    int exponent = 0;        // labels show value / 10^exponent; 0: unscaled
    bool scaled = false;     // true: the axis carries Suffix()
    bool shortZero = false;  // an exact 0 is written "0.0" (the curve view's convention)
    int minWidth = 0;        // padded with leading blanks to this many characters

    std::string Format(double value) const;
    // "x 1e-5" for a scaled axis, "" otherwise.
    std::string Suffix() const;
};

// Fixed-point text with the given decimals, shortest-free: value 0.5, decimals 4 -> "0.5000".
std::string FormatFixed(double value, int decimals);
// The exponent text of a power of ten: -5 -> "1e-5", 3 -> "1e+3".
std::string PowerOfTenText(int exponent);

// Labels with a fixed number of decimals, never scaled: the form FixedDecimalsFormat starts from.
LabelFormat FixedDecimals(int decimals, bool shortZero = true, int minWidth = 3);
// The curve view's rule for labels `values` normally shown with `decimals` decimals (see above).
// Three significant digits are the least a label must show; the scaled form keeps that for the
// largest label (exponent = that label's power of ten, two decimals).
LabelFormat FixedDecimalsFormat(std::span<const double> values, int decimals, bool shortZero = true,
                                int minWidth = 3);

// intervals + 1 ticks evenly from lo to hi, both ends included: lo + i * (hi - lo) / intervals
// (the curve view's axes). None for fewer than one interval.
std::vector<double> EvenTicks(double lo, double hi, int intervals);
// Round tick values inside [lo, hi], about `target` of them (at least 2 when lo < hi); the
// step between them is 1, 2 or 5 times a power of ten. None for an empty or non-finite range.
std::vector<double> NiceTicks(double lo, double hi, int target = 5);
// The step NiceTicks used for these arguments (0 when it makes none).
double NiceStep(double lo, double hi, int target = 5);
// Labels for nice ticks: decimals from the step, a power of ten when the largest tick is below
// 1e-3 or from 1e+5 on (or the step needs more than four decimals).
LabelFormat NiceTickFormat(std::span<const double> ticks, double step);

}  // namespace plot
