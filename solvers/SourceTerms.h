#pragma once
// The terms of a point source's lattice sum that one solved wave vector gives (PointSource.h):
// the vector itself and, where the stack is symmetric about x and y, its mirror image (-m, n).

#include <Eigen/Dense>
#include <cmath>
#include <numbers>
#include <vector>

#include "PointSource.h"

namespace numerics {

// One term of the synthesis: modal coefficient s t^T W t per mode, with a phase per receiver.
struct CTerm {
    double kx = 0, ky = 0;  // the wave vector; axisymmetric: kx the wavenumber
    long m = 0, n = 0;      // its grid indices
    int order = -1;         // the Bessel order of an axisymmetric term
    double scale = 0;
    Eigen::Matrix3d weight;
};

// The global component c (0 x, 1 y, 2 z) of the top's (u, v, w~) along a direction psi.
inline Eigen::Vector3d ComponentRow(int c, double psi) {
    if (c == 2) return {0, 0, 1};  // no turn: spare the trigonometry, a call per term
    const double cs = std::cos(psi), sn = std::sin(psi);
    if (c == 0) return {cs, -sn, 0};
    return {sn, cs, 0};
}

// The direction of the lattice's wave vector (m, n) (0 at the origin).
inline double LatticeDirection(long m, long n, double dkx, double dky) {
    return (m == 0 && n == 0) ? 0.0 : std::atan2(n * dky, m * dkx);
}

// The terms of the solved wave vector (m, n) of a lattice of spacings dkx, dky, for output a and
// load b (0 x, 1 y, 2 z), each with the factor `scale`; theta its direction (LatticeDirection).
inline void AddLatticeTerms(long m, long n, double dkx, double dky, double theta, bool mirror, int a, int b,
                            double scale, std::vector<CTerm>& out) {
    const auto add = [&](long mm, double psi, double flipV) {
        const Eigen::Vector3d flip(1.0, flipV, 1.0);
        const Eigen::Vector3d wa = ComponentRow(a, psi).cwiseProduct(flip);
        const Eigen::Vector3d wb = ComponentRow(b, psi).cwiseProduct(flip);
        out.push_back({mm * dkx, n * dky, mm, n, -1, scale, wa * wb.transpose()});
    };
    add(m, theta, 1.0);
    // Mirror symmetry: (-m, n) is turned by pi - theta, the mirror image of theta.
    if (mirror && m > 0 && n > 0) add(-m, std::numbers::pi - theta, -1.0);
}
inline void AddLatticeTerms(long m, long n, double dkx, double dky, bool mirror, int a, int b, double scale,
                            std::vector<CTerm>& out) {
    AddLatticeTerms(m, n, dkx, dky, LatticeDirection(m, n, dkx, dky), mirror, a, b, scale, out);
}

// The lattice's solved wave vectors within radius: all of the half plane (the other half is its
// complex conjugate), or a quarter with mirror symmetry.
std::vector<std::pair<long, long>> LatticeVectors(double dkx, double dky, double radius, bool mirror);

}  // namespace numerics
