#include "ModalSolver.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>

extern "C" {
// LAPACK: eigenvalues of a symmetric tridiagonal matrix.
void dsterf_(const int* n, double* d, double* e, int* info);
}

namespace numerics {

namespace {

Eigen::MatrixXd StandardForm(const Eigen::LLT<Eigen::MatrixXd>& llt, const Eigen::MatrixXd& k) {
    const auto l = llt.matrixL();
    Eigen::MatrixXd x = l.solve(k);                 // L^-1 K
    Eigen::MatrixXd a = l.solve(x.transpose());     // L^-1 K L^-T
    return 0.5 * (a + a.transpose());
}

}  // namespace

CModalSolver::CModalSolver(const CSafeMatrices& m) : m_nSize(static_cast<int>(m.M.rows())) {
    Eigen::LLT<Eigen::MatrixXd> llt(m.M);
    m_a1 = StandardForm(llt, m.K1);
    m_a2 = StandardForm(llt, m.K2);
    m_a3 = StandardForm(llt, m.K3);
    const Eigen::Matrix3d lTop = Eigen::MatrixXd(llt.matrixL()).bottomRightCorner<3, 3>();
    m_topMap = lTop.inverse().transpose();
}

void CModalSolver::FormAndReduce(double kappa, CWorkspace& ws) const {
    ws.a = (kappa * kappa) * m_a1 + kappa * m_a2 + m_a3;
    ws.tridiagonal.compute(ws.a);
    ws.d = ws.tridiagonal.diagonal();
    ws.e.resize(m_nSize);
    ws.e.head(m_nSize - 1) = ws.tridiagonal.subDiagonal();
    ws.e(m_nSize - 1) = 0;
}

Eigen::VectorXd CModalSolver::Frequencies(double kappa, CWorkspace& ws) const {
    FormAndReduce(kappa, ws);
    int info = 0;
    dsterf_(&m_nSize, ws.d.data(), ws.e.data(), &info);
    Eigen::VectorXd omega(m_nSize);
    for (int i = 0; i < m_nSize; ++i) omega(i) = std::sqrt(std::max(0.0, ws.d(i)));
    std::sort(omega.data(), omega.data() + m_nSize);
    return omega;
}

namespace {

// Implicit QL with Wilkinson shifts on the tridiagonal (d, e), e(i) coupling i and i+1. Each
// rotation acts on the rows of the eigenvector matrix one by one, so only the rows wanted
// (here three) are carried along: O(n^2) instead of O(n^3).
bool TridiagonalQl(Eigen::VectorXd& d, Eigen::VectorXd& e, Eigen::Matrix3Xd& rows) {
    const int n = static_cast<int>(d.size());
    const double eps = std::numeric_limits<double>::epsilon();
    for (int l = 0; l < n; ++l) {
        int iter = 0, m = l;
        do {
            for (m = l; m < n - 1; ++m) {
                const double dd = std::abs(d(m)) + std::abs(d(m + 1));
                if (std::abs(e(m)) <= eps * dd) break;
            }
            if (m == l) break;
            if (++iter > 60) return false;
            double g = (d(l + 1) - d(l)) / (2.0 * e(l));
            double r = std::hypot(g, 1.0);
            g = d(m) - d(l) + e(l) / (g + std::copysign(r, g));
            double s = 1, c = 1, p = 0;
            int i = m - 1;
            for (; i >= l; --i) {
                const double f = s * e(i), b = c * e(i);
                e(i + 1) = r = std::hypot(f, g);
                if (r == 0) {
                    d(i + 1) -= p;
                    e(m) = 0;
                    break;
                }
                s = f / r;
                c = g / r;
                g = d(i + 1) - p;
                r = (d(i) - g) * s + 2.0 * c * b;
                p = s * r;
                d(i + 1) = g + p;
                g = c * r - b;
                for (int k = 0; k < 3; ++k) {
                    const double zf = rows(k, i + 1);
                    rows(k, i + 1) = s * rows(k, i) + c * zf;
                    rows(k, i) = c * rows(k, i) - s * zf;
                }
            }
            if (r == 0 && i >= l) continue;
            d(l) -= p;
            e(l) = g;
            e(m) = 0;
        } while (m != l);
    }
    return true;
}

}  // namespace

void CModalSolver::Solve(double kappa, CModes& out, CWorkspace& ws) const {
    const int n = m_nSize;
    FormAndReduce(kappa, ws);

    // The last three rows of Q: Q^T applied to the last three unit vectors.
    ws.c = Eigen::MatrixXd::Zero(n, 3);
    for (int j = 0; j < 3; ++j) ws.c(n - 3 + j, j) = 1.0;
    ws.c = ws.tridiagonal.matrixQ().transpose() * ws.c;
    Eigen::Matrix3Xd rows = ws.c.transpose();
    if (!TridiagonalQl(ws.d, ws.e, rows)) {
        // Never seen; the dense solver on the same standard-form matrix is the safe way out.
        Eigen::SelfAdjointEigenSolver<Eigen::MatrixXd> es(ws.a);
        out.omegaSquared = es.eigenvalues();
        out.top = m_topMap * es.eigenvectors().bottomRows<3>();
        return;
    }
    out.omegaSquared = ws.d;
    out.top = m_topMap * rows;
}

}  // namespace numerics
