#pragma once
// Small numerically stable pieces of one mode's response, shared by the closed forms of the load
// types and by the syntheses of a sampled load.

#include <algorithm>
#include <cmath>
#include <vector>

#include "LoadResponse.h"

namespace numerics::kernels {

// Below these values of omega*T (T the last output time) the closed forms in cos(omega t) and
// sin(omega t) lose digits to cancellation, so such modes take the stable forms point by point.
inline constexpr double kSmallPhase = 0.05;
inline constexpr int kReseed = 128;  // exact sin/cos every so many steps bounds the recurrence drift

inline double Sinc(double x) { return std::abs(x) < 1e-4 ? 1.0 - x * x / 6.0 : std::sin(x) / x; }

// sin(a t / 2) / a, with its limit t / 2 at a = 0.
inline double HalfSine(double a, double t) { return 0.5 * t * Sinc(0.5 * a * t); }

// (x - sin x) / x^3
inline double RampKernel(double x) {
    if (std::abs(x) < 0.1) {
        const double x2 = x * x;
        return 1.0 / 6.0 - x2 / 120.0 + x2 * x2 / 5040.0;
    }
    return (x - std::sin(x)) / (x * x * x);
}

// Exact one-interval update of q'' + omega^2 q = f0 + f1 s, 0 <= s <= length.
struct CStep {
    double a, b, c, d, omega2;
    CStep(double omega, double length) {
        const double x = omega * length;
        a = std::cos(x);
        b = length * Sinc(x);
        c = 0.5 * length * length * Sinc(0.5 * x) * Sinc(0.5 * x);
        d = length * length * length * RampKernel(x);
        omega2 = omega * omega;
    }
    void Apply(double& q, double& qd, double f0, double f1) const {
        const double nq = a * q + b * qd + c * f0 + d * f1;
        const double nqd = -omega2 * b * q + a * qd + b * f0 + c * f1;
        q = nq;
        qd = nqd;
    }
};

// The sampled load at t and its slope there: linear between the samples, 0 before the first
// and from the last on.
inline double SampledValue(const CLoadFunction& load, double t, double& slope) {
    const auto& ts = load.times;
    slope = 0;
    if (ts.empty() || t < ts.front() || t >= ts.back()) return 0.0;
    const size_t s = static_cast<size_t>(std::upper_bound(ts.begin(), ts.end(), t) - ts.begin()) - 1;
    slope = (load.values[s + 1] - load.values[s]) / (ts[s + 1] - ts[s]);
    return load.values[s] + slope * (t - ts[s]);
}

}  // namespace numerics::kernels
