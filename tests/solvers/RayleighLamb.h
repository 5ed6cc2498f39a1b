#pragma once
// Exact guided waves of an isotropic plate for checking the solvers: the Rayleigh-Lamb
// relations of a plate of thickness 1 with shear speed 1 and Poisson ratio 0.25 (c_L^2 = 3),
// so that Omega = omega and xi = k.

#include <complex>
#include <vector>

namespace solvertest {

// The Rayleigh-Lamb function of the symmetric or antisymmetric modes; zero on a mode.
double LambFunction(bool symmetric, double xi, double omega);
// The exact root next to a guess (secant steps).
double ExactRoot(bool symmetric, double xi, double guess);
// Its slope d omega / d xi by implicit differentiation.
double ExactSlope(bool symmetric, double xi, double omega);

// The exact mode at a root (xi, omega), at heights z in [0, 1] above the bottom surface, for
// the field f(z) exp(i (xi x - omega t)): displacements and plane-strain stresses, up to one
// complex factor (from the boundary conditions' null vector).
struct CLambPoint {
    std::complex<double> u, w, sxx, syy, szz, sxz;
};
std::vector<CLambPoint> ExactLambShape(double xi, double omega, const std::vector<double>& z);

}  // namespace solvertest
