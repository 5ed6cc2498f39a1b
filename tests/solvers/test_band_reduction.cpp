// The banded reductions against dense solves of the same pencils: the spectrum, and the rows of
// the mass-normalised eigenvectors that are carried through every rotation.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

#include "BandReduction.h"

using namespace numerics;

namespace {

// A symmetric band matrix with entries from a fixed pattern; shift makes it definite.
Eigen::MatrixXd BandPattern(int n, int width, double seed, double shift) {
    Eigen::MatrixXd x = Eigen::MatrixXd::Zero(n, n);
    for (int i = 0; i < n; ++i)
        for (int j = std::max(0, i - width); j <= i; ++j) x(i, j) = x(j, i) = std::sin(seed * (i + 1) + 1.7 * j);
    return x + shift * Eigen::MatrixXd::Identity(n, n);
}

CSymBand ToBand(const Eigen::MatrixXd& x, int storage) {
    const int n = static_cast<int>(x.rows());
    CSymBand b(n, storage);
    for (int j = 0; j < n; ++j)
        for (int i = j; i <= std::min(n - 1, j + storage); ++i) b(i, j) = x(i, j);
    return b;
}

}  // namespace

TEST(BandReduction, FactorFromBottomIsTheMass) {
    const Eigen::MatrixXd m = BandPattern(17, 3, 0.61, 4.0);
    CSymBand uT;
    ASSERT_TRUE(FactorFromBottom(ToBand(m, 3), 3, uT));
    Eigen::MatrixXd u = Eigen::MatrixXd::Zero(17, 17);
    for (int j = 0; j < 17; ++j)
        for (int i = std::max(0, j - 3); i <= j; ++i) u(i, j) = uT(j, i);
    EXPECT_LT((u * u.transpose() - m).cwiseAbs().maxCoeff(), 1e-13);
    // Indefinite: refused rather than a square root of a negative number.
    EXPECT_FALSE(FactorFromBottom(ToBand(BandPattern(17, 3, 0.61, -4.0), 3), 3, uT));
}

TEST(BandReduction, SpectrumAndCarriedRowsOfAGeneralisedPencil) {
    // Widths as in the solvers: the whole model (8, 6), the Lamb part (5, 4), the SH part (3, 2).
    for (const auto& [n, ka, kb] : {std::array<int, 3>{45, 8, 6}, {40, 5, 4}, {31, 3, 2}, {6, 5, 4}}) {
        SCOPED_TRACE(testing::Message() << "n " << n << " ka " << ka << " kb " << kb);
        const Eigen::MatrixXd k = BandPattern(n, ka, 0.37, 0.0), m = BandPattern(n, kb, 0.83, 2.0 * kb + 1.0);  // diagonally dominant
        Eigen::GeneralizedSelfAdjointEigenSolver<Eigen::MatrixXd> dense(k, m);
        ASSERT_EQ(dense.info(), Eigen::Success);

        CSymBand a = ToBand(k, ka + kb), uT;
        ASSERT_TRUE(FactorFromBottom(ToBand(m, kb), kb, uT));
        const std::vector<int> wanted = {n - 1, 0, n / 2};  // last, first and a middle unknown
        CCarriedRows rows;
        rows.rows = Eigen::Matrix3Xd::Zero(3, n);
        rows.count = 3;
        for (int r = 0; r < 3; ++r) rows.rows(r, wanted[r]) = 1.0;
        ReduceToStandard(a, ka, uT, kb, &rows);
        Eigen::VectorXd d, e;
        ReduceToTridiagonal(a, ka, d, e, &rows);
        Eigen::SelfAdjointEigenSolver<Eigen::MatrixXd> tri;
        tri.computeFromTridiagonal(d, e.head(n - 1), Eigen::ComputeEigenvectors);
        const Eigen::Matrix3Xd top = rows.rows * tri.eigenvectors();

        const double scale = dense.eigenvalues().cwiseAbs().maxCoeff();
        EXPECT_LT((tri.eigenvalues() - dense.eigenvalues()).cwiseAbs().maxCoeff(), 1e-12 * scale);
        // Eigenvector signs are arbitrary: compare the products of two rows, mode by mode (the
        // pattern's spectrum has no repeated value).
        for (int j = 0; j < n; ++j)
            for (int r = 0; r < 3; ++r)
                for (int s = 0; s <= r; ++s) {
                    const double want = dense.eigenvectors()(wanted[r], j) * dense.eigenvectors()(wanted[s], j);
                    EXPECT_NEAR(top(r, j) * top(s, j), want, 1e-9) << "mode " << j << " rows " << r << ", " << s;
                }
    }
}
