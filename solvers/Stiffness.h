#pragma once
// Elastic stiffness in Voigt form (xx, yy, zz, yz, xz, xy; engineering shear strains), in the
// plate's axes: x along the plate (the propagation direction), y along the line load, z the
// outward normal of the top surface.

#include <Eigen/Dense>
#include <string>

namespace numerics {

using Voigt = Eigen::Matrix<double, 6, 6>;

// A ply: transversely isotropic about its fibre axis 1, which lies in the plate plane at
// angleDeg from x (turned about z). E3 = E2, G13 = G12, v13 = v12, G23 = E2 / (2 (1 + v23)).
struct CPlyConstants {
    double dE1 = 0, dE2 = 0, dG12 = 0, dV12 = 0, dV23 = 0;
    double dAngleDeg = 0;
};

// Why the constants cannot make a stiffness; empty when they can.
std::string CheckPly(const CPlyConstants& ply);
Voigt PlyStiffness(const CPlyConstants& ply);

// The stiffness of the material turned about z by `angle` (radians, counter-clockwise seen from
// above): a ply at fibre angle a turned by b is the ply at a + b.
Voigt TurnAboutZ(const Voigt& c, double angle);

// Isotropic stiffness from Young's modulus and Poisson ratio.
std::string CheckIsotropic(double e, double nu);
Voigt IsotropicStiffness(double e, double nu);

// The Christoffel matrix C_ijkl n_j n_l of a plane wave along (n1, 0, n3), in the plate's axes.
Eigen::Matrix3d ChristoffelMatrix(const Voigt& c, double n1, double n3);

// Largest eigenvalue of the Christoffel matrix for propagation along x, divided by density:
// the square of the fastest wave front the through-thickness model can carry along the plate.
double FastestSpeedAlongXSquared(const Voigt& c, double density);

}  // namespace numerics
