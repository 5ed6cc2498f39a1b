#pragma once
// The through-thickness eigenproblem K(kappa) phi = omega^2 M phi split into its independent
// parts, each in dense standard form with its eigenvectors: the basis of every tool that needs
// whole modes (dispersion lines, mode shapes, energy velocity, directional plots), where the
// transient path needs only the top node's rows (ModalSolver.h).
//
// Where the problem splits exactly (a stack that is its own mirror image about the mid-plane,
// and plies whose v motion does not couple to u and w) each part is solved alone and named by
// its family: S (symmetric), A (antisymmetric), SH (shear horizontal); otherwise one part, M.
// Both symmetries are checked on the assembled matrices, never assumed.

#include <Eigen/Dense>
#include <string>
#include <vector>

#include "ThicknessModel.h"

namespace numerics {

// One independent part in standard form: A(kappa) = kappa^2 a1 + kappa a2 + a3, whose
// eigenvectors y (y^T y = 1) are the mass-normalised modes phi = toFull y of the whole model.
struct CPart {
    std::string strFamily;
    Eigen::MatrixXd a1, a2, a3;
    Eigen::MatrixXd toFull;  // unknowns x part size
    double dNorm1 = 0, dNorm2 = 0, dNorm3 = 0;  // Frobenius norms of a1, a2, a3: the rounding scale
    int Size() const { return static_cast<int>(a1.rows()); }
    Eigen::MatrixXd At(double kappa) const { return (kappa * kappa) * a1 + kappa * a2 + a3; }
    // The size of A(kappa), below which an eigenvalue is rounding.
    double Scale(double kappa) const { return kappa * kappa * dNorm1 + std::abs(kappa) * dNorm2 + dNorm3; }
};

struct CModelParts {
    std::vector<CPart> parts;
    bool bMirrorSymmetric = false;
    bool bShearApart = false;
};

// split false keeps the problem whole (family M), for checks.
CModelParts MakeParts(const CSafeMatrices& m, bool split);

struct CEigenPairs {
    Eigen::VectorXd lambda;  // omega^2, ascending
    Eigen::MatrixXd vectors;
};

// The eigenpairs first..last (0-based, ascending by omega^2) of the part at kappa; false when
// the solve fails or gives a value that is not finite.
bool PartPairs(const CPart& part, double kappa, int first, int last, CEigenPairs& out);
inline bool LowestPairs(const CPart& part, double kappa, int count, CEigenPairs& out) {
    return PartPairs(part, kappa, 0, std::min(count, part.Size()) - 1, out);
}

// omega from an eigenvalue (0 for a rigid motion's rounding below zero).
inline double OmegaOf(double lambda) { return std::sqrt(std::max(0.0, lambda)); }

// d omega / d kappa of a mode y at kappa: y^T A'(kappa) y / (2 omega); 0 at omega = 0.
double Slope(const CPart& part, const Eigen::VectorXd& y, double kappa, double omega);

// The mirror z -> -z of a vector of the model's unknowns (w~ changing sign), its parity (+1 even,
// -1 odd, 0 neither, to 1e-8 of its size), and the projection onto the even or odd vectors
// (parity 0 leaves it). On a stack that is its own mirror image these keep a mode a mode.
Eigen::VectorXd Mirrored(const Eigen::VectorXd& x);
int MirrorParity(const Eigen::VectorXd& x);
void ProjectParity(Eigen::VectorXd& x, int parity);
// The projection onto the part a family name stands for ("S", "A", "SH", "M"): the mirror's
// parity where the stack is symmetric, the v unknowns alone (SH) or none of them (S, A) where v
// is apart.
void ProjectFamily(Eigen::VectorXd& x, const std::string& family, bool mirror, bool shearApart);

// The modes of zero frequency at kappa = 0 (rigid motions) and how they leave it: omega grows
// like c kappa with c^2 the eigenvalues of the static condensation of A(kappa) onto the null
// space of a3 (0 for a bending motion, whose omega grows like kappa^2). The vectors are the
// limits of the modes as kappa -> 0+, so a line can be followed from them.
struct CZeroLimit {
    Eigen::VectorXd speed;    // c per mode, ascending (per unit kappa)
    Eigen::MatrixXd vectors;  // the limit modes, one column each
};
CZeroLimit ZeroFrequencyLimit(const CPart& part);

}  // namespace numerics
