#pragma once
// The through-thickness finite-element model: elements of polynomial order p (p + 1 nodes at
// the Gauss-Lobatto-Legendre points, neighbours sharing their end nodes) stacked from the
// bottom surface to the top, with the material known at each element's p + 1 Gauss points,
// and the matrices of its wavenumber-dependent stiffness K(kappa) = kappa^2 K1 + kappa K2 + K3
// and mass M. Order 2 is the classic quadratic element.
//
// Unknowns per node: u (along x, or around the circumference of a shell), v (along y, the
// line of the load and the shell's axis) and w~ = -i w (w the outward normal displacement).
// With w = i w~ the transformed problem is real and symmetric for every monoclinic material
// (one whose symmetry plane is the plate plane). Node 0 is on the
// bottom surface; the top node comes last, so its three unknowns are the last three.

#include <Eigen/Dense>
#include <vector>

#include "BandReduction.h"
#include "Limits.h"
#include "Stiffness.h"

namespace numerics {

inline constexpr int kQuadraticOrder = 2;

// An element of order p on the reference interval [-1, 1]: its nodes, its p + 1 point Gauss
// rule (exact for the mass, which is of degree 2p), and the shape functions and their
// derivatives at the Gauss points (n(g, a), dn(g, a) for node a).
struct CReferenceElement {
    int nOrder = 0;
    std::vector<double> nodes, abscissa, weight;
    Eigen::MatrixXd n, dn;
};
// Built once for every order from 1 to kMaxOrder; safe to call from any thread.
const CReferenceElement& ReferenceElement(int order);

struct CElement {
    double dBottom = 0;  // z of the bottom node, measured up from the bottom surface
    double dTop = 0;
    int nOrder = kQuadraticOrder;
    std::vector<Voigt> stiffness;  // at the element's Gauss points, bottom to top
    std::vector<double> density;
};

// The Gauss points of an element of the given order on [bottom, top].
std::vector<double> GaussPositions(double bottom, double top, int order);

// The shape functions of an element of the reference's order and their d/ds at s in [-1, 1]
// (n and dn hold order + 1 values).
void ShapeAt(const CReferenceElement& ref, double s, double* n, double* dn);

// The strain (Voigt, engineering shear) of one node's unknowns (u, v, w~) is
// kappa p R + d S + p T with p = N / r (N on a plate), d = N' and these fixed patterns (T on a
// shell only). The components xx, yy, zz and xy are those of i times the strain: the real form
// the stiffness matrices take with w = i w~.
using StrainPattern = Eigen::Matrix<double, 6, 3>;
void StrainPatterns(bool shell, StrainPattern& r, StrainPattern& s, StrainPattern& t);
// The same for a wave along y (d/dy where the model has d/dx): the pattern of the k_y term.
StrainPattern StrainPatternAlongY();

struct CThicknessModel {
    std::vector<CElement> elements;
    bool bShell = false;
    double dOuterRadius = 0;  // shell only: the radius of the top (outer) surface

    double Thickness() const;
    int NodeCount() const;
    int DofCount() const { return 3 * NodeCount(); }
    int HighestOrder() const;
    // The half-width of the assembled matrices: an element of order p spans 3 (p + 1) unknowns.
    int BandWidth() const { return 3 * HighestOrder() + 2; }
    // The square of the fastest front speed along the plate, over every Gauss point.
    double FastestSpeedSquared() const;
    // The radius at height z above the bottom surface (a shell's; 1 for a plate).
    double RadiusAt(double z) const;
};

struct CSafeMatrices {
    Eigen::MatrixXd K1, K2, K3, M;
};

// For a plate kappa is the wavenumber k (1/mm); for a shell it is the circumferential order n
// (per radian), and every matrix carries the radius of the volume element.
CSafeMatrices Assemble(const CThicknessModel& model);

// The same matrices in band storage of width BandWidth() (unknowns in the same order), the
// same sums in the same order, without n x n storage.
struct CBandMatrices {
    CSymBand K1, K2, K3, M;
};
CBandMatrices AssembleBands(const CThicknessModel& model);

}  // namespace numerics
