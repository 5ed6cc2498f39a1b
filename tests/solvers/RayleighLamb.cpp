#include "RayleighLamb.h"

#include <Eigen/Dense>
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

namespace {

using Complex = std::complex<double>;
using Row = Eigen::Matrix<Complex, 1, 4>;

// Every field as a row of coefficients of the potentials phi = a1 cos pz + a2 sin pz and
// psi = b1 cos qz + b2 sin qz (z from the mid-plane); u = i xi phi + psi', w = phi' - i xi psi.
// Lame constants lambda = mu = 1 (c_L^2 = 3, c_T = 1, density 1).
struct CFields {
    Row u, w, sxx, syy, szz, sxz;
};

CFields FieldsAt(double xi, double omega, double z) {
    const Complex i(0, 1), p = std::sqrt(Complex(omega * omega / 3.0 - xi * xi)),
                  q = std::sqrt(Complex(omega * omega - xi * xi));
    const Complex cp = std::cos(p * z), sp = std::sin(p * z), cq = std::cos(q * z), sq = std::sin(q * z);
    const Row phi(cp, sp, 0, 0), dphi(-p * sp, p * cp, 0, 0), psi(0, 0, cq, sq), dpsi(0, 0, -q * sq, q * cq);
    CFields f;
    f.u = i * xi * phi + dpsi;
    f.w = dphi - i * xi * psi;
    const Row du = i * xi * dphi - q * q * psi, dw = -p * p * phi - i * xi * dpsi;
    const Row exx = i * xi * f.u, ezz = dw;
    f.sxx = 3.0 * exx + ezz;
    f.szz = exx + 3.0 * ezz;
    f.syy = exx + ezz;
    f.sxz = du + i * xi * f.w;
    return f;
}

}  // namespace

std::vector<CLambPoint> ExactLambShape(double xi, double omega, const std::vector<double>& z) {
    Eigen::Matrix<Complex, 4, 4> boundary;
    const CFields top = FieldsAt(xi, omega, 0.5), bottom = FieldsAt(xi, omega, -0.5);
    boundary << top.szz, top.sxz, bottom.szz, bottom.sxz;
    const Eigen::JacobiSVD<Eigen::Matrix<Complex, 4, 4>> svd(boundary, Eigen::ComputeFullV);
    const Eigen::Matrix<Complex, 4, 1> a = svd.matrixV().col(3);
    std::vector<CLambPoint> out;
    for (double at : z) {
        const CFields f = FieldsAt(xi, omega, at - 0.5);
        out.push_back({f.u * a, f.w * a, f.sxx * a, f.syy * a, f.szz * a, f.sxz * a});
    }
    return out;
}

}  // namespace solvertest
