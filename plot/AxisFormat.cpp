#include "AxisFormat.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace plot {

namespace {

double LargestMagnitude(std::span<const double> values) {
    double m = 0;
    for (const double v : values)
        if (std::isfinite(v))
            m = std::max(m, std::abs(v));
    return m;
}

// floor(log10(m)) for m > 0, robust against log10 landing just below an exact power; 0 for
// anything that has no power (0, infinity, NaN).
int PowerOfTen(double m) {
    if (!(m > 0) || !std::isfinite(m))
        return 0;
    int e = int(std::floor(std::log10(m)));
    if (std::pow(10.0, e + 1) <= m)
        ++e;
    else if (std::pow(10.0, e) > m)
        --e;
    return e;
}

// Decimals that show a step (1, 2 or 5 times 10^k) exactly.
int DecimalsForStep(double step) {
    if (!(step > 0) || !std::isfinite(step))
        return 0;
    return std::max(0, -PowerOfTen(step * (1 + 1e-9)));
}

// The power of ten of m as shown with three significant digits: 9.9999e-7 shows as 1.00e-6.
int ShownPowerOfTen(double m) {
    const int e = PowerOfTen(m);
    return std::round(m / std::pow(10.0, e) * 100) >= 1000 ? e + 1 : e;
}

}  // namespace

std::string FormatFixed(double value, int decimals) {
    if (!std::isfinite(value))
        return std::isnan(value) ? "nan" : (value > 0 ? "inf" : "-inf");
    char buffer[400];  // the widest double in fixed notation fits with room to spare
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed,
                                      std::clamp(decimals, 0, 17));
    return std::string(buffer, result.ptr);
}

std::string PowerOfTenText(int exponent) {
    return std::string("1e") + (exponent < 0 ? "-" : "+") + std::to_string(std::abs(exponent));
}

std::string LabelFormat::Format(double value) const {
    std::string text;
    if (shortZero && value == 0.0)
        text = FormatFixed(0.0, 1);
    else if (exponent != 0)
        text = FormatFixed(value / std::pow(10.0, exponent), decimals);
    else
        text = FormatFixed(value, decimals);
    if (int(text.size()) < minWidth)
        text.insert(0, std::size_t(minWidth) - text.size(), ' ');
    return text;
}

std::string LabelFormat::Suffix() const { return scaled ? "x " + PowerOfTenText(exponent) : std::string(); }

LabelFormat FixedDecimals(int decimals, bool shortZero, int minWidth) {
    LabelFormat f;
    f.decimals = decimals;
    f.shortZero = shortZero;
    f.minWidth = minWidth;
    return f;
}

LabelFormat FixedDecimalsFormat(std::span<const double> values, int decimals, bool shortZero, int minWidth) {
    LabelFormat f = FixedDecimals(decimals, shortZero, minWidth);
    const double m = LargestMagnitude(values);
    if (m == 0)
        return f;
    // Significant digits the largest label shows with the fixed decimals: its integer digits
    // plus the decimals, less the leading zeros after the point.
    const int e = ShownPowerOfTen(m);
    // Rounding to the fixed decimals may carry into the next power (0.99996 -> "1.0000").
    const double rounded = std::round(m * std::pow(10.0, decimals));
    const int shown = rounded == 0 ? 0 : std::isfinite(rounded) ? PowerOfTen(rounded) + 1 : 3;
    if (shown >= 3)
        return f;
    f.exponent = e;
    f.decimals = 2;
    f.scaled = true;
    return f;
}

std::vector<double> EvenTicks(double lo, double hi, int intervals) {
    std::vector<double> ticks;
    if (intervals < 1)
        return ticks;
    const double step = (hi - lo) / intervals;
    for (int i = 0; i <= intervals; ++i)
        ticks.push_back(lo + i * step);
    return ticks;
}

namespace {

// The step as nice times 10^exponent (nice is 1, 2, 5 or 10); nice 0 when there is none.
struct Step {
    double nice = 0;
    int exponent = 0;
    double Value() const { return exponent < 0 ? nice / std::pow(10.0, -exponent) : nice * std::pow(10.0, exponent); }
    // k steps, computed so that round values come out as the nearest double (6 / 10, not 3 * 0.2).
    double Times(double k) const {
        return exponent < 0 ? k * nice / std::pow(10.0, -exponent) : k * nice * std::pow(10.0, exponent);
    }
};

Step NiceStepOf(double lo, double hi, int target) {
    if (!std::isfinite(lo) || !std::isfinite(hi) || !(hi > lo) || target < 1)
        return {};
    const double raw = (hi - lo) / target;
    if (!(raw > 0) || !std::isfinite(raw))
        return {};
    const int e = PowerOfTen(raw);
    const double fraction = raw / std::pow(10.0, e);
    return {fraction < 1.5 ? 1.0 : fraction < 3.5 ? 2.0 : fraction < 7.5 ? 5.0 : 10.0, e};
}

}  // namespace

double NiceStep(double lo, double hi, int target) { return NiceStepOf(lo, hi, target).Value(); }

std::vector<double> NiceTicks(double lo, double hi, int target) {
    const Step step = NiceStepOf(lo, hi, target);
    std::vector<double> ticks;
    const double size = step.Value();
    if (!(size > 0) || !std::isfinite(size))
        return ticks;
    const double slack = 1e-9;  // a tick on the edge counts despite rounding
    const double first = std::ceil(lo / size - slack);
    const double last = std::floor(hi / size + slack);
    if (!(last - first < 1000))  // cannot happen for a sane target; bounds the work anyway
        return ticks;
    for (double k = first; k <= last; ++k)
        ticks.push_back(k == 0 ? 0.0 : step.Times(k));
    return ticks;
}

LabelFormat NiceTickFormat(std::span<const double> ticks, double step) {
    LabelFormat f;
    f.decimals = DecimalsForStep(step);
    const double m = LargestMagnitude(ticks);
    if (m == 0)
        return f;
    const int e = ShownPowerOfTen(m);
    if (m < 1e-3 || m >= 1e5 || f.decimals > 4) {
        f.exponent = e;
        f.scaled = true;
        f.decimals = DecimalsForStep(step / std::pow(10.0, e));
    }
    return f;
}

}  // namespace plot
