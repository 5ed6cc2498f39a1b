#pragma once
// K(kappa) - shift M of banded matrices K(kappa) = kappa^2 K1 + kappa K2 + K3: formed, factored
// by Cholesky where it is positive definite (shifts below the spectrum), or by LU with partial
// pivoting where it is not (shift-and-invert at a frequency inside the spectrum).

#include <Eigen/Dense>
#include <vector>

#include "BandReduction.h"

namespace numerics {

// K(kappa) - shift M into a (band storage of K1's half-width, which is LAPACK's lower band
// storage); M may be narrower.
void FormShifted(const CSymBand& k1, const CSymBand& k2, const CSymBand& k3, const CSymBand& mass, double kappa,
                 double shift, CSymBand& a);
// The same, then its Cholesky factor in place. False when not positive definite.
bool FactorShifted(const CSymBand& k1, const CSymBand& k2, const CSymBand& k3, const CSymBand& mass, double kappa,
                   double shift, CSymBand& a);
// Whether K(kappa) - shift M is positive definite: its Cholesky factor's pivots found in place
// (a holds the matrix, then a part of the factor), stopping at the first that is not positive.
// The same test as FactorShifted's, without LAPACK's per-column calls, which cost more than the
// arithmetic at the narrow bands of a thickness model.
bool PositiveDefiniteShifted(const CSymBand& k1, const CSymBand& k2, const CSymBand& k3, const CSymBand& mass,
                             double kappa, double shift, CSymBand& a);
// x <- A^-1 x with A's Cholesky factor from FactorShifted, for the columns of x.
void SolveFactored(const CSymBand& factor, Eigen::MatrixXd& x);

// K(kappa) - shift M factored by LU with partial pivoting: LAPACK's band storage, kl = ku = K1's
// half-width.
class CShiftedBand {
public:
    CShiftedBand(const CSymBand& k1, const CSymBand& k2, const CSymBand& k3, const CSymBand& mass, double kappa,
                 double shift);
    bool Ok() const { return m_bOk; }
    // x <- (K - shift M)^-1 x; false when the result is not finite.
    bool Solve(Eigen::VectorXd& x) const;

private:
    int m_n, m_w, m_ld = 0;
    std::vector<double> m_ab;
    std::vector<int> m_pivots;
    bool m_bOk = false;
};

}  // namespace numerics
