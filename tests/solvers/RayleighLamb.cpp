#include "RayleighLamb.h"

#include <cmath>

namespace solvertest {

namespace {

// cos(sqrt(x) d) and sin(sqrt(x) d) / sqrt(x) for the half thickness d = 1/2, which stay real
// when x = p^2 or q^2 < 0.
double Cs(double x) { return x >= 0 ? std::cos(std::sqrt(x) * 0.5) : std::cosh(std::sqrt(-x) * 0.5); }
double Sn(double x) {
    if (std::abs(x) < 1e-14) return 0.5;
    return x > 0 ? std::sin(std::sqrt(x) * 0.5) / std::sqrt(x) : std::sinh(std::sqrt(-x) * 0.5) / std::sqrt(-x);
}

}  // namespace

double LambFunction(bool symmetric, double xi, double omega) {
    const double p2 = omega * omega / 3.0 - xi * xi, q2 = omega * omega - xi * xi;
    const double b = (q2 - xi * xi) * (q2 - xi * xi);
    return symmetric ? b * Cs(p2) * Sn(q2) + 4 * xi * xi * p2 * Sn(p2) * Cs(q2)
                     : b * Sn(p2) * Cs(q2) + 4 * xi * xi * q2 * Cs(p2) * Sn(q2);
}

double ExactRoot(bool symmetric, double xi, double guess) {
    double a = guess, b = guess * (1 - 1e-4);
    double fa = LambFunction(symmetric, xi, a), fb = LambFunction(symmetric, xi, b);
    for (int i = 0; i < 60 && std::abs(a - b) > 1e-15 && fb != fa; ++i) {
        const double c = b - fb * (b - a) / (fb - fa);
        a = b, fa = fb;
        b = c, fb = LambFunction(symmetric, xi, b);
    }
    return b;
}

double ExactSlope(bool symmetric, double xi, double omega) {
    const double h = 1e-6;
    const double fx = (LambFunction(symmetric, xi + h, omega) - LambFunction(symmetric, xi - h, omega)) / (2 * h);
    const double fw = (LambFunction(symmetric, xi, omega + h) - LambFunction(symmetric, xi, omega - h)) / (2 * h);
    return -fx / fw;
}

}  // namespace solvertest
