#pragma once
// The exact response of an elastic half-space to a vertical point load on its surface, for
// checking the point source at early times (before anything comes back from a plate's bottom).
//
// Poisson ratio 1/4, shear speed beta, shear modulus mu: a step load P H(t) at the origin,
// pulling along the outward normal, moves the surface at distance r along it by
//   w(r, t) = P / (mu r) F(tau),  tau = beta t / r,
// F in closed form from the Cagniard-de Hoop integral (partial fractions over the roots of the
// Rayleigh function): zero before the P wave, an inverse-square-root singularity at the Rayleigh
// wave, and the static value (1 - nu) / (2 pi) = 3 / (8 pi) from then on.

namespace solvertest {

// F(tau) of the step load (Poisson ratio 1/4).
double HalfSpaceStepResponse(double tau);
// tau of the Rayleigh wave, beta / c_R.
double HalfSpaceRayleighTau();

// w(r, t) for a load spread as the Gaussian exp(-(rho / width)^2) / (pi width^2) of unit total
// force (the solvers' taper), with beta = 1 mm/us and mu = 1 GPa: the step response above
// integrated over the load's spread.
double SpreadHalfSpaceStep(double r, double t, double width);

}  // namespace solvertest
