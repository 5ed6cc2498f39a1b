#include "HalfSpace.h"

#include <cmath>
#include <algorithm>
#include <functional>
#include <initializer_list>
#include <numbers>

namespace solvertest {

namespace {

constexpr double kPi = std::numbers::pi;

// With u = (slowness / shear slowness)^2 and a2 = (beta / alpha)^2 = 1/3, the Rayleigh function
// rationalised, P(u) = (1 - 2u)^4 + 16 u^2 (u - a2)(1 - u), is the cubic
// -(32/3)(u - 1/4)(u - (3 - sqrt 3)/4)(u - (3 + sqrt 3)/4); the last root is the Rayleigh wave.
constexpr double kA2 = 1.0 / 3.0;
double RayleighSlope(double u) { return -8 + 2 * (24 - 16 * kA2) * u - 3 * (16 - 16 * kA2) * u * u; }
const double kRoots[3] = {0.25, (3 - std::sqrt(3.0)) / 4, (3 + std::sqrt(3.0)) / 4};

// (1/pi) int_from^s du / ((u - c) sqrt((u - from)(s - u))): a principal value (zero) for c inside.
double Chebyshev(double c, double from, double s) {
    if (c < from) return 1.0 / std::sqrt((from - c) * (s - c));
    if (c > s) return -1.0 / std::sqrt((c - from) * (c - s));
    return 0.0;
}

// (1/pi) int_from^s N(u) / P(u) du / sqrt((u - from)(s - u)) for a cubic N of leading
// coefficient 4: the constant 4 / (leading coefficient of P) and one partial fraction per root.
double Term(const std::function<double(double)>& numerator, double from, double s) {
    double sum = 4.0 / -(16 - 16 * kA2);
    for (double c : kRoots) sum += numerator(c) / RayleighSlope(c) * Chebyshev(c, from, s);
    return sum;
}

// Tanh-sinh quadrature of f over [a, b]: exact to rounding for smooth integrands with
// integrable singularities at the ends.
double TanhSinh(const std::function<double(double)>& f, double a, double b) {
    if (!(b > a)) return 0.0;
    const double half = (b - a) / 2, h = 1.0 / 64;
    double sum = 0;
    for (int j = -6 * 64; j <= 6 * 64; ++j) {
        const double x = j * h, s = kPi / 2 * std::sinh(x), c = std::cosh(s);
        const double weight = kPi / 2 * std::cosh(x) / (c * c);
        const double y = std::tanh(s);
        // The distance from the nearer end, computed without cancellation.
        const double fromEnd = half / (std::exp(std::abs(s)) * c);
        if (fromEnd <= 0) continue;
        const double at = y < 0 ? a + fromEnd : b - fromEnd;
        sum += weight * f(at);
    }
    return sum * h * half;
}

// e^-z I0(z), without overflow.
double ScaledBesselI0(double z) {
    if (z < 600) return std::exp(-z) * std::cyl_bessel_i(0.0, z);
    return (1 + 1 / (8 * z) + 9 / (128 * z * z)) / std::sqrt(2 * kPi * z);
}

}  // namespace

double HalfSpaceRayleighTau() { return std::sqrt(kRoots[2]); }

double HalfSpaceStepResponse(double tau) {
    const double s = tau * tau;
    if (s <= kA2) return 0.0;
    // -(1/2 pi) of the two parts of the Cagniard-de Hoop integral: the P part from the P arrival
    // on, the S part from the S arrival on.
    double f = -Term([](double u) { return (u - kA2) * (1 - 2 * u) * (1 - 2 * u); }, kA2, s);
    if (s > 1) f -= Term([](double u) { return 4 * u * (u - kA2) * (u - 1); }, 1.0, s);
    return f / (2 * kPi);
}

double SpreadHalfSpaceStep(double r, double t, double width) {
    // The load's spread around the receiver, summed over the angle: a ring of radius rho carries
    // (2 / width^2) exp(-(r - rho)^2 / width^2) e^-z I0(z) rho drho, z = 2 r rho / width^2.
    const auto ring = [&](double rho) {
        const double d = (r - rho) / width;
        return 2 / (width * width) * std::exp(-d * d) * ScaledBesselI0(2 * r * rho / (width * width));
    };
    const auto integrand = [&](double rho) { return ring(rho) * HalfSpaceStepResponse(t / rho); };
    // Pieces between the arrivals, each smooth inside: static within the Rayleigh wave's ring,
    // the singularity at its edge, the S and P fronts, nothing beyond.
    const double rayleigh = t / HalfSpaceRayleighTau(), shear = t, pressure = t * std::sqrt(3.0);
    const double far = r + 12 * width;
    double sum = 0, from = 0;
    for (double to : {rayleigh, shear, pressure}) {
        const double upper = std::min(to, far);
        sum += TanhSinh(integrand, from, upper);
        from = upper;
    }
    return sum;
}

}  // namespace solvertest
