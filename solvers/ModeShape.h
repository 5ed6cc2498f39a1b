#pragma once
// What one mode looks like and where its energy goes, from the element interpolation of its
// eigenvector: through-thickness profiles of displacement, stress and strain-energy density,
// and the energy velocity (power flow over stored energy, both integrated through the
// thickness).
//
// A mode of wavenumber k and frequency omega is, with theta = k x - omega t (x around the
// circumference and k = n / r of the radius r on a shell),
//   u = U(z) cos theta, v = V(z) cos theta, w = W(z) sin theta,
//   sigma_xx, sigma_yy, sigma_zz, sigma_xy = S(z) sin theta, sigma_yz, sigma_xz = S(z) cos theta,
// so U, V, W and the stress amplitudes S are real; they are scaled together so that the largest
// of |U|, |V|, |W| through the thickness is 1, that value positive. The strain-energy density
// is its average over a period, (1/4) sum S e (e the strain amplitudes).

#include <array>
#include <string>
#include <vector>

#include "SolverInput.h"

namespace numerics {

struct CShapeSample {
    double dZ = 0;    // mm above the bottom surface
    int nLayer = 0;   // 1 = the top layer, as the input lists them
    double u = 0, v = 0, w = 0;
    std::array<double, 6> stress{};  // xx, yy, zz, yz, xz, xy (Voigt order)
    double dStrainEnergy = 0;
};

struct CModeShape {
    double dKappa = 0, dOmega = 0;
    std::vector<CShapeSample> samples;  // bottom to top; an interface of layers twice (below, above)
    std::vector<double> interfaces;     // z of the boundaries between layers
    double dScale = 0;                  // the factor from the mass-normalised mode
};

// The profiles of the mass-normalised mode phi at (kappa, omega), `perElement` samples in every
// element (both ends included). The material comes from the layer plans (exact at every height).
CModeShape EvaluateModeShape(const CThicknessModel& model, const std::vector<CLayerPlan>& plans, double kappa,
                             double omega, const Eigen::VectorXd& phi, int perElement);

// Power flow and stored energy of the mode per unit width, averaged over a period, from the
// model's own quadrature (so that the energy velocity along x is the model's group velocity to
// rounding), and the energy velocity along x (around the shell, on its outer surface) and y.
struct CEnergyFlow {
    double dPowerX = 0, dPowerY = 0, dEnergy = 0;
    double dVelocityX = 0, dVelocityY = 0;
    double SkewDegrees() const;  // the angle of the power flow from the wave vector, towards +y
};
CEnergyFlow EnergyFlow(const CThicknessModel& model, double kappa, double omega, const Eigen::VectorXd& phi);

// The table --mode-shape writes: comment lines, then "z layer U V W sigma_xx sigma_yy sigma_zz
// sigma_yz sigma_xz sigma_xy strain_energy", one line per sample. radius: a shell's outer radius
// (the wavenumber is kappa / radius there), 1 for a plate.
std::string FormatModeShape(const CModeShape& shape, const std::string& name, const CEnergyFlow& flow, double radius);

}  // namespace numerics
