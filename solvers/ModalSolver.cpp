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

CModalSolver::CBlock CModalSolver::MakeBlock(const Eigen::MatrixXd& k1, const Eigen::MatrixXd& k2,
                                             const Eigen::MatrixXd& k3, const Eigen::MatrixXd& m,
                                             const Eigen::Matrix3d& topOfLast) {
    CBlock b;
    b.nSize = static_cast<int>(m.rows());
    Eigen::LLT<Eigen::MatrixXd> llt(m);
    b.a1 = StandardForm(llt, k1);
    b.a2 = StandardForm(llt, k2);
    b.a3 = StandardForm(llt, k3);
    const Eigen::Matrix3d lTop = Eigen::MatrixXd(llt.matrixL()).bottomRightCorner<3, 3>();
    b.topMap = topOfLast * lTop.inverse().transpose();
    return b;
}

namespace {

// The orthonormal basis of the mirror z -> -z (node i <-> node N-1-i, w~ changing sign): the
// symmetric vectors first, then the antisymmetric ones; in each the pair (bottom, top) last.
// Returns the basis as columns and the size of the symmetric part.
Eigen::MatrixXd MirrorBasis(int nodes, int& symmetricCount) {
    const int n = 3 * nodes;
    const double r = std::sqrt(0.5);
    std::vector<Eigen::VectorXd> even, odd;
    const int middle = (nodes - 1) / 2;
    const auto unit = [&](int node, int c) {
        Eigen::VectorXd v = Eigen::VectorXd::Zero(n);
        v(3 * node + c) = 1.0;
        return v;
    };
    even.push_back(unit(middle, 0));
    even.push_back(unit(middle, 1));
    odd.push_back(unit(middle, 2));
    for (int i = middle - 1; i >= 0; --i) {  // ends with node 0 and its mirror, the top
        const int j = nodes - 1 - i;
        for (int c = 0; c < 3; ++c) {
            const double sign = c == 2 ? -1.0 : 1.0;  // w~ flips under the mirror
            even.push_back(r * (unit(i, c) + sign * unit(j, c)));
            odd.push_back(r * (unit(i, c) - sign * unit(j, c)));
        }
    }
    Eigen::MatrixXd t(n, n);
    int col = 0;
    for (const auto& v : even) t.col(col++) = v;
    for (const auto& v : odd) t.col(col++) = v;
    symmetricCount = static_cast<int>(even.size());
    return t;
}

}  // namespace

CModalSolver::CModalSolver(const CSafeMatrices& m, bool splitSymmetric) : m_nSize(static_cast<int>(m.M.rows())) {
    const int nodes = m_nSize / 3;
    if (splitSymmetric && nodes >= 3 && nodes % 2 == 1) {
        int ns = 0;
        const Eigen::MatrixXd t = MirrorBasis(nodes, ns);
        const Eigen::MatrixXd k1 = t.transpose() * m.K1 * t, k2 = t.transpose() * m.K2 * t,
                              k3 = t.transpose() * m.K3 * t, mm = t.transpose() * m.M * t;
        const int na = m_nSize - ns;
        // Split only when the mirror really is a symmetry: the coupling blocks vanish.
        double coupling = 0, size = 0;
        for (const Eigen::MatrixXd* x : {&k1, &k2, &k3, &mm}) {
            coupling = std::max(coupling, x->topRightCorner(ns, na).cwiseAbs().maxCoeff());
            size = std::max(size, x->cwiseAbs().maxCoeff());
        }
        if (coupling <= 1e-12 * size) {
            // Top components of the last three vectors of each half: +-1/sqrt2 per the basis.
            const double r = std::sqrt(0.5);
            const Eigen::Matrix3d evenTop = Eigen::Vector3d(r, r, -r).asDiagonal();
            const Eigen::Matrix3d oddTop = Eigen::Vector3d(-r, -r, r).asDiagonal();
            m_blocks.push_back(MakeBlock(k1.topLeftCorner(ns, ns), k2.topLeftCorner(ns, ns),
                                         k3.topLeftCorner(ns, ns), mm.topLeftCorner(ns, ns), evenTop));
            m_blocks.push_back(MakeBlock(k1.bottomRightCorner(na, na), k2.bottomRightCorner(na, na),
                                         k3.bottomRightCorner(na, na), mm.bottomRightCorner(na, na), oddTop));
            return;
        }
    }
    m_blocks.push_back(MakeBlock(m.K1, m.K2, m.K3, m.M, Eigen::Matrix3d::Identity()));
}

void CModalSolver::FormAndReduce(const CBlock& b, double kappa, CWorkspace& ws) {
    const int n = b.nSize;
    ws.a = (kappa * kappa) * b.a1 + kappa * b.a2 + b.a3;
    ws.tridiagonal.compute(ws.a);
    ws.d = ws.tridiagonal.diagonal();
    ws.e.resize(n);
    ws.e.head(n - 1) = ws.tridiagonal.subDiagonal();
    ws.e(n - 1) = 0;
}

Eigen::VectorXd CModalSolver::Frequencies(double kappa, CWorkspace& ws) const {
    Eigen::VectorXd omega(m_nSize);
    int at = 0;
    for (const CBlock& b : m_blocks) {
        FormAndReduce(b, kappa, ws);
        int info = 0;
        dsterf_(&b.nSize, ws.d.data(), ws.e.data(), &info);
        for (int i = 0; i < b.nSize; ++i) omega(at++) = std::sqrt(std::max(0.0, ws.d(i)));
    }
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

void CModalSolver::SolveBlock(const CBlock& b, double kappa, CModes& out, CWorkspace& ws) {
    const int n = b.nSize;
    FormAndReduce(b, kappa, ws);

    // The last three rows of Q: Q^T applied to the last three unit vectors.
    ws.c = Eigen::MatrixXd::Zero(n, 3);
    for (int j = 0; j < 3; ++j) ws.c(n - 3 + j, j) = 1.0;
    ws.c = ws.tridiagonal.matrixQ().transpose() * ws.c;
    Eigen::Matrix3Xd rows = ws.c.transpose();
    if (!TridiagonalQl(ws.d, ws.e, rows)) {
        // Never seen; the dense solver on the same standard-form matrix is the safe way out.
        Eigen::SelfAdjointEigenSolver<Eigen::MatrixXd> es(ws.a);
        out.omegaSquared = es.eigenvalues();
        out.top = b.topMap * es.eigenvectors().bottomRows<3>();
        return;
    }
    out.omegaSquared = ws.d;
    out.top = b.topMap * rows;
}

void CModalSolver::Solve(double kappa, CModes& out, CWorkspace& ws) const {
    if (m_blocks.size() == 1) {
        SolveBlock(m_blocks[0], kappa, out, ws);
        return;
    }
    out.omegaSquared.resize(m_nSize);
    out.top.resize(3, m_nSize);
    int at = 0;
    for (const CBlock& b : m_blocks) {
        SolveBlock(b, kappa, ws.part, ws);
        out.omegaSquared.segment(at, b.nSize) = ws.part.omegaSquared;
        out.top.middleCols(at, b.nSize) = ws.part.top;
        at += b.nSize;
    }
}

}  // namespace numerics
