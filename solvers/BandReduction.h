#pragma once
// Banded symmetric eigenproblems K x = lambda M x reduced to a symmetric tridiagonal matrix in
// O(n^2 b) operations, never forming an n x n matrix:
//  1. M = U U^T with U upper triangular of M's half-width (factored once, from the bottom up);
//  2. per K, the congruence with U^-1 taken one column at a time from the last index down
//     (Crawford's method): each step leaves a small bulge inside the part already in standard
//     form, where M is the identity, so plane rotations chase it out without disturbing M;
//  3. the band matrix brought to tridiagonal form by plane rotations (Schwarz's method).
// Only a few rows of the accumulated transformation are ever wanted (the surface unknowns of
// the modes), so they are carried along through every step: each step costs O(rows) for them.

#include <Eigen/Dense>
#include <vector>

namespace numerics {

// A symmetric band matrix: its lower part (i, j), 0 <= i - j <= Width(), stored by columns.
class CSymBand {
public:
    CSymBand() = default;
    CSymBand(int n, int width) { Resize(n, width); }
    void Resize(int n, int width) {
        m_n = n;
        m_w = width;
        m_data.assign(static_cast<size_t>(n) * (width + 1), 0.0);
    }
    int Size() const { return m_n; }
    int Width() const { return m_w; }
    // i >= j and i - j <= Width().
    double& operator()(int i, int j) { return m_data[static_cast<size_t>(j) * (m_w + 1) + (i - j)]; }
    double operator()(int i, int j) const { return m_data[static_cast<size_t>(j) * (m_w + 1) + (i - j)]; }
    // Either triangle; zero outside the stored band.
    double Get(int i, int j) const {
        if (i < j) std::swap(i, j);
        return i - j <= m_w ? (*this)(i, j) : 0.0;
    }
    double* Column(int j) { return &m_data[static_cast<size_t>(j) * (m_w + 1)]; }
    const double* Column(int j) const { return &m_data[static_cast<size_t>(j) * (m_w + 1)]; }
    void SetZero() { std::fill(m_data.begin(), m_data.end(), 0.0); }

private:
    int m_n = 0, m_w = 0;
    std::vector<double> m_data;
};

// y = a x for a symmetric band matrix a (y and x apart).
void BandTimes(const CSymBand& a, const double* x, double* y);

// Rows of the accumulated transformation carried along, one column per unknown (at most three
// rows; only the first `count` are updated).
struct CCarriedRows {
    Eigen::Matrix3Xd rows;
    int count = 0;
};

// M = U U^T, U upper triangular with U(i, j) != 0 only for j - kb <= i <= j; returns U^T in
// band storage of width kb (so uT(j, i) = U(i, j)). False when M is not positive definite.
bool FactorFromBottom(const CSymBand& m, int kb, CSymBand& uT);

// Replaces a (half-width ka, storage width at least ka + kb) by C = X^T a X with X^T M X = I and
// C of half-width ka, where M = U U^T as from FactorFromBottom (kb <= ka - 1). rows <- rows X.
void ReduceToStandard(CSymBand& a, int ka, const CSymBand& uT, int kb, CCarriedRows* rows);

// Brings a (half-width ka, storage width at least ka + 1) to tridiagonal form Q^T a Q: the
// diagonal into d, the subdiagonal into e (e(i) couples i and i + 1; e has size n, e(n-1) = 0).
// rows <- rows Q.
void ReduceToTridiagonal(CSymBand& a, int ka, Eigen::VectorXd& d, Eigen::VectorXd& e, CCarriedRows* rows);

}  // namespace numerics
