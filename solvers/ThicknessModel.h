#pragma once
// The through-thickness finite-element model: quadratic elements (three nodes) stacked from
// the bottom surface to the top, with the material known at each element's Gauss points, and
// the matrices of its wavenumber-dependent stiffness K(kappa) = kappa^2 K1 + kappa K2 + K3
// and mass M.
//
// Unknowns per node: u (along x, or around the circumference of a shell), v (along y, the
// line of the load and the shell's axis) and w~ = -i w (w the outward normal displacement).
// With w = i w~ the transformed problem is real and symmetric for every monoclinic material
// (one whose symmetry plane is the plate plane). Node 0 is on the
// bottom surface; the top node comes last, so its three unknowns are the last three.

#include <Eigen/Dense>
#include <array>
#include <vector>

#include "BandReduction.h"
#include "Limits.h"
#include "Stiffness.h"

namespace numerics {

inline constexpr int kGaussPoints = 3;

struct CElement {
    double dBottom = 0;  // z of the bottom node, measured up from the bottom surface
    double dTop = 0;
    std::array<Voigt, kGaussPoints> stiffness;
    std::array<double, kGaussPoints> density{};
};

// The Gauss points of the interval [bottom, top].
std::array<double, kGaussPoints> GaussPositions(double bottom, double top);

struct CThicknessModel {
    std::vector<CElement> elements;
    bool bShell = false;
    double dOuterRadius = 0;  // shell only: the radius of the top (outer) surface

    double Thickness() const;
    int NodeCount() const { return 2 * static_cast<int>(elements.size()) + 1; }
    int DofCount() const { return 3 * NodeCount(); }
    // The square of the fastest front speed along the plate, over every Gauss point.
    double FastestSpeedSquared() const;
};

struct CSafeMatrices {
    Eigen::MatrixXd K1, K2, K3, M;
};

// For a plate kappa is the wavenumber k (1/mm); for a shell it is the circumferential order n
// (per radian), and every matrix carries the radius of the volume element.
CSafeMatrices Assemble(const CThicknessModel& model);

// The same matrices in band storage (unknowns in the same order: an element spans nine
// consecutive unknowns), the same sums in the same order, without n x n storage.
inline constexpr int kAssembledWidth = 8;
struct CBandMatrices {
    CSymBand K1, K2, K3, M;
};
CBandMatrices AssembleBands(const CThicknessModel& model);

}  // namespace numerics
