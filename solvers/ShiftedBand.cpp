#include "ShiftedBand.h"

#include <algorithm>
#include <cmath>

extern "C" {
// LAPACK: Cholesky factor and solve of a symmetric positive definite band matrix.
void dpbtrf_(const char* uplo, const int* n, const int* kd, double* ab, const int* ldab, int* info);
void dpbtrs_(const char* uplo, const int* n, const int* kd, const int* nrhs, const double* ab, const int* ldab,
             double* b, const int* ldb, int* info);
// LU factorisation with partial pivoting of a general band matrix, and solves with it.
void dgbtrf_(const int* m, const int* n, const int* kl, const int* ku, double* ab, const int* ldab, int* ipiv,
             int* info);
void dgbtrs_(const char* trans, const int* n, const int* kl, const int* ku, const int* nrhs, const double* ab,
             const int* ldab, const int* ipiv, double* b, const int* ldb, int* info, size_t);
}

namespace numerics {

void FormShifted(const CSymBand& k1, const CSymBand& k2, const CSymBand& k3, const CSymBand& mass, double kappa,
                 double shift, CSymBand& a) {
    const int n = k1.Size(), ka = k1.Width();
    if (a.Size() != n || a.Width() != ka) a.Resize(n, ka);
    const double kk = kappa * kappa;
    for (int j = 0; j < n; ++j) {
        const int last = std::min(n - 1, j + ka) - j;
        double* out = a.Column(j);
        const double *x1 = k1.Column(j), *x2 = k2.Column(j), *x3 = k3.Column(j);
        for (int k = 0; k <= last; ++k) out[k] = kk * x1[k] + kappa * x2[k] + x3[k];
        const int lastMass = std::min(n - 1, j + mass.Width()) - j;
        const double* m = mass.Column(j);
        if (shift != 0)
            for (int k = 0; k <= lastMass; ++k) out[k] -= shift * m[k];
    }
}

bool FactorShifted(const CSymBand& k1, const CSymBand& k2, const CSymBand& k3, const CSymBand& mass, double kappa,
                   double shift, CSymBand& a) {
    FormShifted(k1, k2, k3, mass, kappa, shift, a);
    const int n = k1.Size(), ka = k1.Width();
    int info = 0;
    const int ld = ka + 1;
    dpbtrf_("L", &n, &ka, a.Column(0), &ld, &info);
    return info == 0;
}

bool PositiveDefiniteShifted(const CSymBand& k1, const CSymBand& k2, const CSymBand& k3, const CSymBand& mass,
                             double kappa, double shift, CSymBand& a) {
    FormShifted(k1, k2, k3, mass, kappa, shift, a);
    const int n = a.Size(), w = a.Width();
    for (int j = 0; j < n; ++j) {
        double* column = a.Column(j);
        if (!(column[0] > 0)) return false;  // a NaN fails as well
        const double pivot = std::sqrt(column[0]);
        column[0] = pivot;
        const int last = std::min(n - 1 - j, w);
        for (int i = 1; i <= last; ++i) column[i] /= pivot;
        // The rank-one update of the columns the band reaches.
        for (int p = 1; p <= last; ++p) {
            double* next = a.Column(j + p);
            const double f = column[p];
            for (int i = p; i <= last; ++i) next[i - p] -= f * column[i];
        }
    }
    return true;
}

void SolveFactored(const CSymBand& factor, Eigen::MatrixXd& x) {
    const int n = factor.Size(), ka = factor.Width(), ld = ka + 1, count = static_cast<int>(x.cols());
    int info = 0;
    dpbtrs_("L", &n, &ka, &count, factor.Column(0), &ld, x.data(), &n, &info);
}

CShiftedBand::CShiftedBand(const CSymBand& k1, const CSymBand& k2, const CSymBand& k3, const CSymBand& mass,
                           double kappa, double shift)
    : m_n(k1.Size()), m_w(k1.Width()) {
    m_ld = 3 * m_w + 1;
    m_ab.assign(static_cast<size_t>(m_ld) * m_n, 0.0);
    m_pivots.resize(static_cast<size_t>(m_n));
    const double kk = kappa * kappa;
    for (int j = 0; j < m_n; ++j)
        for (int i = std::max(0, j - m_w); i <= std::min(m_n - 1, j + m_w); ++i) {
            const double v = kk * k1.Get(i, j) + kappa * k2.Get(i, j) + k3.Get(i, j) - shift * mass.Get(i, j);
            m_ab[static_cast<size_t>(j) * m_ld + (2 * m_w + i - j)] = v;
        }
    int info = 0;
    dgbtrf_(&m_n, &m_n, &m_w, &m_w, m_ab.data(), &m_ld, m_pivots.data(), &info);
    m_bOk = info == 0;
}

bool CShiftedBand::Solve(Eigen::VectorXd& x) const {
    int info = 0, one = 1;
    dgbtrs_("N", &m_n, &m_w, &m_w, &one, m_ab.data(), &m_ld, m_pivots.data(), x.data(), &m_n, &info, 1);
    return info == 0 && x.allFinite();
}

}  // namespace numerics
