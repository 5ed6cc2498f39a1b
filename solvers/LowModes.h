#pragma once
// The few lowest modes of a banded pencil (K, M) without reducing it to tridiagonal form: K - sigma
// M (sigma just below the spectrum) factored by banded Cholesky, O(n b^2), and Lanczos on
// (K - sigma M)^-1 M in the M inner product, each step a banded solve, O(n b). The wanted modes
// lie at the very bottom of a spectrum that spans orders of magnitude, so the inverted operator
// has them far apart and the rest crowded at zero: a Krylov space a few times their number holds
// them to rounding. Nothing is taken on trust: the Ritz pairs' residuals in the original pencil
// are measured, and counts of negative pivots of K - x M (Sylvester's law of inertia) at the limit
// and just above the last pair returned must equal the pairs found there, else the caller solves
// the block the other way.

#include <Eigen/Dense>
#include <vector>

#include "BandReduction.h"
#include "ShiftedBand.h"
#include "TridiagonalModes.h"

namespace numerics {

// Scratch space of the low-mode solves (one per thread, in CModalSolver::CWorkspace).
struct CLowModeWork {
    CSymBand k, factor, ldl;            // K(kappa), the Cholesky factor of K - sigma M, a count's copy
    Eigen::MatrixXd q, mq;              // the Lanczos vectors and M times them, one a column
    Eigen::VectorXd w, mw, z, c, alpha, beta;
    Eigen::VectorXd negD, negE;         // -T, whose lowest are the operator's largest
    CTridiagonalWork tri;
    Eigen::MatrixXd y, ky, my;          // Ritz vectors, K and M times them
    Eigen::VectorXd theta;
    std::vector<int> order;
    // Tallies: solves, those taken the other way, Lanczos steps (benchmarks and checks).
    long long nSolves = 0, nFallbacks = 0, nSteps = 0;
};

// How a low-mode solve is steered: a cap on its Lanczos steps (0 forces the other way, for tests).
struct CLowModeSettings {
    int nMaxSteps = -1;  // -1: a few more than a block of the example's needs
};

// The negative pivots of a symmetric band matrix in an LDL^T without pivoting (a is overwritten):
// its eigenvalues below zero (Sylvester's law of inertia). A pivot within rounding of zero (an
// eigenvalue at zero, when the count could be off by one) is taken as a tiny positive one and
// sets *nearlySingular.
int NegativePivots(CSymBand& a, bool* nearlySingular = nullptr);

// ||r|| in the inverse of M = U U^T (uT as FactorFromBottom gives it), z scratch of r's size.
double MassInverseNorm(const CSymBand& uT, const double* r, double* z);

}  // namespace numerics
