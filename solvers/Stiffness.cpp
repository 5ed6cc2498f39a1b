#include "Stiffness.h"

#include <cmath>
#include <numbers>
#include <sstream>

namespace numerics {

namespace {

// How far from singular a ply's compliance must stay, relative to one.
constexpr double kPlyMargin = 1e-9;

// Compliance in the ply's own axes (1 fibre, 2 in-plane transverse, 3 normal).
Voigt PlyCompliance(const CPlyConstants& p) {
    const double e3 = p.dE2, g13 = p.dG12, v13 = p.dV12;
    const double g23 = p.dE2 / (2.0 * (1.0 + p.dV23));
    Voigt s = Voigt::Zero();
    s(0, 0) = 1.0 / p.dE1;
    s(1, 1) = 1.0 / p.dE2;
    s(2, 2) = 1.0 / e3;
    s(0, 1) = s(1, 0) = -p.dV12 / p.dE1;
    s(0, 2) = s(2, 0) = -v13 / p.dE1;
    s(1, 2) = s(2, 1) = -p.dV23 / p.dE2;
    s(3, 3) = 1.0 / g23;
    s(4, 4) = 1.0 / g13;
    s(5, 5) = 1.0 / p.dG12;
    return s;
}

bool PositiveDefinite(const Voigt& m) {
    Eigen::LLT<Voigt> llt(m);
    return llt.info() == Eigen::Success;
}

// Stress transformation for a turn by theta about z (Voigt order xx, yy, zz, yz, xz, xy).
Voigt RotationAboutZ(double theta) {
    const double c = std::cos(theta), s = std::sin(theta);
    Voigt t = Voigt::Zero();
    t(0, 0) = c * c;  t(0, 1) = s * s;  t(0, 5) = -2 * c * s;
    t(1, 0) = s * s;  t(1, 1) = c * c;  t(1, 5) = 2 * c * s;
    t(2, 2) = 1;
    t(3, 3) = c;      t(3, 4) = s;
    t(4, 3) = -s;     t(4, 4) = c;
    t(5, 0) = c * s;  t(5, 1) = -c * s; t(5, 5) = c * c - s * s;
    return t;
}

}  // namespace

std::string CheckPly(const CPlyConstants& p) {
    std::ostringstream out;
    if (!(p.dE1 > 0) || !(p.dE2 > 0) || !(p.dG12 > 0)) {
        out << "the moduli must be positive (E1 = " << p.dE1 << ", E2 = " << p.dE2
            << ", G12 = " << p.dG12 << " GPa)";
        return out.str();
    }
    // The closed-form conditions of a transversely isotropic ply, with a margin: a compliance
    // that is singular only to rounding passes a factorisation but inverts to infinities.
    const double axial = 1.0 - p.dV23 - 2.0 * p.dV12 * p.dV12 * p.dE2 / p.dE1;
    if (!std::isfinite(p.dV12) || !std::isfinite(p.dV23) || !(p.dV23 > -1.0) || !(1.0 - p.dV23 > kPlyMargin) ||
        !(axial > kPlyMargin) || !PositiveDefinite(PlyCompliance(p))) {
        out << "the Poisson ratios v12 = " << p.dV12 << " and v23 = " << p.dV23
            << " make the stiffness indefinite";
        return out.str();
    }
    return {};
}

Voigt TurnAboutZ(const Voigt& c, double angle) {
    const Voigt t = RotationAboutZ(angle);
    // Stress turns with t, engineering strain with t^-T: C = T C' T^T.
    const Voigt turned = t * c * t.transpose();
    return 0.5 * (turned + turned.transpose());
}

Voigt PlyStiffness(const CPlyConstants& p) {
    return TurnAboutZ(PlyCompliance(p).inverse(), p.dAngleDeg * std::numbers::pi / 180.0);
}

std::string CheckIsotropic(double e, double nu) {
    std::ostringstream out;
    if (!(e > 0)) {
        out << "the modulus must be positive (E1 = " << e << " GPa)";
        return out.str();
    }
    if (!(nu > -1.0 && nu < 0.5)) {
        out << "the Poisson ratio v12 = " << nu << " makes the stiffness indefinite";
        return out.str();
    }
    return {};
}

Voigt IsotropicStiffness(double e, double nu) {
    const double lambda = e * nu / ((1 + nu) * (1 - 2 * nu));
    const double mu = e / (2 * (1 + nu));
    Voigt c = Voigt::Zero();
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) c(i, j) = lambda;
        c(i, i) = lambda + 2 * mu;
        c(i + 3, i + 3) = mu;
    }
    return c;
}

Eigen::Matrix3d ChristoffelMatrix(const Voigt& c, double n1, double n3) {
    // The strains (Voigt, engineering shear) of the plane wave for each unit amplitude.
    Eigen::Matrix<double, 6, 3> b = Eigen::Matrix<double, 6, 3>::Zero();
    b(0, 0) = n1;
    b(2, 2) = n3;
    b(3, 1) = n3;
    b(4, 0) = n3;
    b(4, 2) = n1;
    b(5, 1) = n1;
    return b.transpose() * c * b;
}

double FastestSpeedAlongXSquared(const Voigt& c, double density) {
    Eigen::SelfAdjointEigenSolver<Eigen::Matrix3d> es(ChristoffelMatrix(c, 1.0, 0.0), Eigen::EigenvaluesOnly);
    return es.eigenvalues().maxCoeff() / density;
}

}  // namespace numerics
