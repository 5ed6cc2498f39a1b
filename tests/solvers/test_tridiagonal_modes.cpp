// The lowest eigenpairs of a tridiagonal matrix against a dense solve of the same matrix:
// the count below a limit, the values, and vectors that are eigenvectors and orthonormal even
// where eigenvalues coincide or nearly do.
#include <gtest/gtest.h>

#include <cmath>

#include "TridiagonalModes.h"

using namespace numerics;

namespace {

struct CTridiagonal {
    Eigen::VectorXd d, e;  // e(i) couples i and i + 1; e(n - 1) unused
    Eigen::MatrixXd Dense() const {
        const Eigen::Index n = d.size();
        Eigen::MatrixXd t = d.asDiagonal();
        for (Eigen::Index i = 0; i + 1 < n; ++i) t(i, i + 1) = t(i + 1, i) = e(i);
        return t;
    }
};

// Wilkinson's matrix negated: its lowest eigenvalues come in pairs that agree to about 1e-14.
CTridiagonal NegatedWilkinson(int n) {
    CTridiagonal t{Eigen::VectorXd(n), Eigen::VectorXd::Constant(n, -1.0)};
    for (int i = 0; i < n; ++i) t.d(i) = -std::abs(0.5 * (n - 1) - i);
    return t;
}

// The same matrix twice along the diagonal, not coupled: every eigenvalue exactly double.
CTridiagonal Doubled(const CTridiagonal& x) {
    const Eigen::Index n = x.d.size();
    CTridiagonal t{Eigen::VectorXd(2 * n), Eigen::VectorXd::Zero(2 * n)};
    t.d << x.d, x.d;
    t.e.head(n - 1) = x.e.head(n - 1);
    t.e.segment(n, n - 1) = x.e.head(n - 1);
    return t;
}

// A spread spectrum: a stiffness-like diagonal rising from zero, couplings of its size.
CTridiagonal Spread(int n) {
    CTridiagonal t{Eigen::VectorXd(n), Eigen::VectorXd(n)};
    for (int i = 0; i < n; ++i) {
        t.d(i) = 1e-3 + 40.0 * i * i + 17.0 * std::sin(1.3 * i);
        t.e(i) = 15.0 * i * std::cos(0.7 * i) + 2.0;
    }
    return t;
}

// Checks the pairs found against the dense spectrum; returns the count below the limit.
int Check(const CTridiagonal& t, double limit, int spares) {
    const Eigen::MatrixXd dense = t.Dense();
    const Eigen::SelfAdjointEigenSolver<Eigen::MatrixXd> es(dense);
    const Eigen::VectorXd& all = es.eigenvalues();
    const double norm = all.cwiseAbs().maxCoeff();
    int below = 0;
    while (below < all.size() && all(below) < limit) ++below;
    CTridiagonalWork w;
    const int count = LowestTridiagonal(t.d, t.e, limit, spares, w);
    EXPECT_EQ(count, below);
    const Eigen::Index m = std::min<Eigen::Index>(all.size(), below + spares);
    EXPECT_EQ(w.values.size(), m);
    EXPECT_EQ(w.vectors.cols(), m);
    if (m == 0 || w.values.size() != m || w.vectors.cols() != m) return count;
    // Eigenvalues to rounding of the matrix's norm, as a full solve has them; vectors with a
    // residual of that size, orthonormal.
    EXPECT_LT((w.values - all.head(m)).cwiseAbs().maxCoeff(), 1e-14 * norm);
    for (Eigen::Index j = 0; j + 1 < m; ++j) EXPECT_LE(w.values(j), w.values(j + 1));
    const Eigen::MatrixXd residual = dense * w.vectors - w.vectors * w.values.asDiagonal();
    EXPECT_LT(residual.cwiseAbs().maxCoeff(), 1e-13 * norm);
    const Eigen::MatrixXd gram = w.vectors.transpose() * w.vectors;
    EXPECT_LT((gram - Eigen::MatrixXd::Identity(m, m)).cwiseAbs().maxCoeff(), 1e-12);
    return count;
}

}  // namespace

TEST(TridiagonalModes, TheLowestPairsOfSpreadAndClusteredSpectra) {
    for (const CTridiagonal& t : {Spread(74), NegatedWilkinson(21), Doubled(Spread(30)), Doubled(NegatedWilkinson(11))}) {
        const Eigen::VectorXd all = Eigen::SelfAdjointEigenSolver<Eigen::MatrixXd>(t.Dense()).eigenvalues();
        SCOPED_TRACE(testing::Message() << "n " << t.d.size() << " lowest " << all(0));
        // Limits between eigenvalues, just above and just below one, and beyond either end.
        for (const int j : {0, 3, 7}) {
            const double nudge = 1e-10 * all.cwiseAbs().maxCoeff();
            Check(t, all(j) + nudge, 0);
            Check(t, all(j) - nudge, 2);
            Check(t, 0.5 * (all(j) + all(j + 1)), 4);
        }
        EXPECT_EQ(Check(t, all(0) - 1.0, 3), 0);
        EXPECT_EQ(Check(t, all(all.size() - 1) + 1.0, 5), all.size());
    }
}

TEST(TridiagonalModes, OneByOneAndEmpty) {
    CTridiagonal one{Eigen::VectorXd::Constant(1, 2.5), Eigen::VectorXd::Zero(1)};
    Check(one, 3.0, 2);
    Check(one, 2.0, 0);
    CTridiagonalWork w;
    EXPECT_EQ(LowestTridiagonal(Eigen::VectorXd(), Eigen::VectorXd(), 1.0, 3, w), 0);
    EXPECT_EQ(w.values.size(), 0);
}
