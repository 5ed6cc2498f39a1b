#pragma once
// Exact guided waves of an isotropic plate for checking the solvers: the Rayleigh-Lamb
// relations of a plate of thickness 1 with shear speed 1 and Poisson ratio 0.25 (c_L^2 = 3),
// so that Omega = omega and xi = k.

namespace solvertest {

// The Rayleigh-Lamb function of the symmetric or antisymmetric modes; zero on a mode.
double LambFunction(bool symmetric, double xi, double omega);
// The exact root next to a guess (secant steps).
double ExactRoot(bool symmetric, double xi, double guess);
// Its slope d omega / d xi by implicit differentiation.
double ExactSlope(bool symmetric, double xi, double omega);

}  // namespace solvertest
