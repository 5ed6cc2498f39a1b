#include "LoadBand.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>

namespace numerics {

namespace {

// Frequencies times breakpoints examined at most (about 0.1 s), and frequencies at most.
constexpr double kMaxSpectrumWork = 1e8;
constexpr double kMaxSpectrumPoints = 1 << 20;
constexpr int kReseed = 256;  // exact phases every so many frequencies bound the drift

double Median(std::vector<double> v) {
    std::nth_element(v.begin(), v.begin() + v.size() / 2, v.end());
    return v[v.size() / 2];
}

// The slope of piece i (from sample i to i + 1); 0 before the first and after the last sample.
double Slope(const CLoadFunction& load, long i) {
    const long n = static_cast<long>(load.times.size());
    if (i < 0 || i + 1 >= n) return 0.0;
    return (load.values[i + 1] - load.values[i]) / (load.times[i + 1] - load.times[i]);
}

}  // namespace

double SampledLoadBandEdge(const CLoadFunction& load, double tLast, double ceiling, double fraction) {
    const auto& ts = load.times;
    if (ts.size() < 2 || !(ts.front() < tLast) || !(ceiling > 0)) return ceiling;
    // The rate f' = the slopes between the samples and the jump at the first sample. Its
    // transform is G(w) = J e^{-iw t0} + sum_b c_b e^{-iw t_b} / (iw), c_b the change of slope
    // at breakpoint b; only what happens before tLast reaches an output.
    std::vector<double> at, change, steps;
    for (size_t b = 0; b < ts.size() && ts[b] < tLast; ++b) {
        const double c = Slope(load, static_cast<long>(b)) - Slope(load, static_cast<long>(b) - 1);
        if (b + 1 < ts.size()) steps.push_back(ts[b + 1] - ts[b]);
        if (c == 0) continue;
        at.push_back(ts[b] - ts.front());
        change.push_back(c);
    }
    const double jump = load.values.front();
    // The drop to zero after the last sample, where an output sees it.
    const double endJump = ts.back() < tLast ? -load.values.back() : 0.0;
    const double endAt = ts.back() - ts.front();
    if (steps.empty() || (at.empty() && jump == 0)) return ceiling;
    const double span = std::max(at.empty() ? 0.0 : at.back(), steps.front());
    const double limit = std::numbers::pi / Median(steps);  // what the samples can show
    const double top = std::min(ceiling, limit);
    const double dw = std::numbers::pi / (4.0 * span);
    const double points = std::ceil(top / dw);
    if (!(points <= kMaxSpectrumPoints) || !(points * static_cast<double>(at.size() + 1) <= kMaxSpectrumWork))
        return ceiling;
    const int count = static_cast<int>(points);
    std::vector<std::complex<double>> sum(count, 0.0);
    for (size_t b = 0; b < at.size(); ++b) {
        const std::complex<double> turn = std::polar(1.0, -dw * at[b]);
        std::complex<double> z;
        for (int m = 0; m < count; ++m) {
            if (m % kReseed == 0) z = std::polar(1.0, -dw * (m + 1) * at[b]);
            sum[m] += change[b] * z;
            z *= turn;
        }
    }
    // A pulse (back at rest before tLast) is carried by its own spectrum F = G / (iw); a load that
    // stays on by that of its rate, as a step's modes follow its rise.
    double largest = 0;
    for (double v : load.values) largest = std::max(largest, std::abs(v));
    const bool pulse = ts.back() < tLast && std::abs(load.values.back()) <= kLoadBandFraction * largest;
    std::vector<double> magnitude(count);
    double peak = 0;
    for (int m = 0; m < count; ++m) {
        const double w = dw * (m + 1);
        const double rate =
            std::abs(jump + endJump * std::polar(1.0, -w * endAt) + sum[m] / std::complex<double>(0.0, w));
        magnitude[m] = pulse ? rate / w : rate;
        peak = std::max(peak, magnitude[m]);
    }
    if (!(peak > 0)) return ceiling;
    int last = count - 1;
    while (last > 0 && magnitude[last] < fraction * peak) --last;
    const double edge = dw * (last + 2);
    // A spectrum still above the fraction in the upper half of what the samples show is not
    // resolved by them: the load is what its linear pieces make it, with every frequency.
    if (edge >= 0.5 * limit || edge >= ceiling) return ceiling;
    return edge;
}

CLoadBand PlanLoadBand(const CLoadFunction& load, double tLast, double ceiling) {
    CLoadBand band;
    band.dEdge = ceiling;
    if (load.type != ELoadType::kSampled) return band;
    band.dEdge = SampledLoadBandEdge(load, tLast, ceiling);
    if (kModeCutoffFactor * band.dEdge < ceiling) band.dModeCutoff = kModeCutoffFactor * band.dEdge;
    return band;
}

CQuasiStaticLoad QuasiStaticLoad(const CLoadFunction& load, const CTimeGrid& grid) {
    CQuasiStaticLoad out;
    out.value.assign(std::max(0, grid.nPoints), 0.0);
    out.curvature = out.value;
    if (load.type != ELoadType::kSampled) {
        // The closed-form loads from t = 0 on; an impulse is over by then and leaves nothing.
        const double w = load.dOmega;
        for (int j = 0; j < grid.nPoints; ++j) {
            const double t = grid.At(j);
            if (!(t > 0)) continue;
            double f = 0;
            if (load.type == ELoadType::kStep) f = 1.0;
            if (load.type == ELoadType::kCosine) f = std::cos(w * t);
            if (load.type == ELoadType::kSine) f = std::sin(w * t);
            out.value[j] = f;
            out.curvature[j] = load.type == ELoadType::kStep ? 0.0 : -w * w * f;
        }
        return out;
    }
    const auto& ts = load.times;
    const size_t n = ts.size();
    if (n < 2) return out;
    // The height of each breakpoint's hat: its change of slope over half the span of the hat.
    std::vector<double> height(n);
    for (size_t b = 0; b < n; ++b) {
        const double left = b > 0 ? ts[b - 1] : ts[b], right = b + 1 < n ? ts[b + 1] : ts[b];
        const long i = static_cast<long>(b);
        height[b] = 2.0 * (Slope(load, i) - Slope(load, i - 1)) / (right - left);
    }
    for (int j = 0; j < grid.nPoints; ++j) {
        const double t = grid.At(j);
        if (t < ts.front() || t >= ts.back()) continue;
        const size_t b = static_cast<size_t>(std::upper_bound(ts.begin(), ts.end(), t) - ts.begin()) - 1;
        const double u = (t - ts[b]) / (ts[b + 1] - ts[b]);
        out.value[j] = load.values[b] + u * (load.values[b + 1] - load.values[b]);
        out.curvature[j] = (1.0 - u) * height[b] + u * height[b + 1];
    }
    return out;
}

}  // namespace numerics
