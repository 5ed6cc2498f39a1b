#pragma once
// One mode of the whole model at a time, near a frequency known beforehand (a point of a
// dispersion line, or a frequency whose wavenumber is sought): shift-and-invert iteration on
// the banded matrices, K(kappa) - shift M factored in O(n b^2) with the unknowns in their
// banded order, so a mode of a model of a thousand unknowns takes milliseconds where a dense
// eigen-solve takes a large part of a second.

#include <Eigen/Dense>
#include <functional>
#include <vector>

#include "ModeParts.h"
#include "ThicknessModel.h"

namespace numerics {

struct CBandedMode {
    double dOmega = 0;
    double dSlope = 0;    // d omega / d kappa
    Eigen::VectorXd phi;  // mass-normalised (phi^T M phi = 1), every unknown of the model
};

class CBandedModes {
public:
    explicit CBandedModes(const CThicknessModel& model);
    int Size() const { return m_m.M.Size(); }
    const CBandMatrices& Matrices() const { return m_m; }

    // The mode at kappa whose omega^2 is nearest `shift`, kept within a subspace by `project`
    // (an M-orthogonal projection onto it; null for no restriction), starting from `start` (null:
    // a fixed vector). False when the factorisation fails or the iteration does not settle
    // (another mode as near the shift).
    using CProjection = std::function<void(Eigen::VectorXd&)>;
    bool ModeNear(double kappa, double shift, const CProjection* project, const Eigen::VectorXd* start,
                  CBandedMode& out) const;

    // y = A x for one of the banded matrices, and x^T K'(kappa) y with K' = 2 kappa K1 + K2.
    static Eigen::VectorXd Times(const CSymBand& a, const Eigen::VectorXd& x);
    double SlopeProduct(double kappa, const Eigen::VectorXd& x, const Eigen::VectorXd& y) const;

private:
    CBandMatrices m_m;
};

// The mode at (kappa, omega) within the projection's subspace (null: none), from a start with a
// share of every unknown; false unless it settles within 1e-6 of omega.
bool ModeVectorNear(const CBandedModes& banded, double kappa, double omega, const CBandedModes::CProjection* project,
                    CBandedMode& out);

// The mass-normalised mode of `part` at (kappa, omega), omega known to many digits (a point of a
// dispersion line): shift-and-invert within the part's span, or the part's dense solve (the
// eigenpair nearest omega) where that does not settle. False when neither gives it.
bool ModeVector(const CBandedModes& banded, const CPart& part, double kappa, double omega, CBandedMode& out);

}  // namespace numerics
