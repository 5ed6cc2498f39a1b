// The eigen-solver's shortcuts (banded reductions carrying only the top rows, the splits of
// mid-plane symmetric plates and of SH from Lamb motion, the modes a response needs) against a
// plain dense generalised solve.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "BlasThreads.h"
#include "DirectionalSolvers.h"
#include "ModalSolver.h"
#include "SolverInput.h"

using namespace numerics;

namespace {

CThicknessModel Laminate(const std::string& layers, int count, const std::string& sublayers,
                         const std::string& angles = "30.0000\n0.0000\n", int order = kQuadraticOrder) {
    const std::string text = "t\n" + std::to_string(count) + "    2    3.113646\n" + layers + angles +
                             "1.6000\n1.9000\n" + sublayers + "\n" +
                             "181.0000  10.3000  7.1700  0.2800  0.4000\n"
                             "70.0000  70.0000  26.0000  0.3300  0.3300\n"
                             "1 \n1    3.1400\n3    3\n0.00    10.00\n2.0000\n";
    CProblem p;
    EXPECT_EQ(ParseCompositeInput(text, "input.d", p, order), "");
    return p.model;
}

// Sum over modes of top(a) top(b) / (omega^2 + s): independent of how degenerate modes are
// chosen, and of their order.
Eigen::Matrix3d Resolvent(const CModes& m, double s) {
    Eigen::Matrix3d g = Eigen::Matrix3d::Zero();
    for (int j = 0; j < m.omegaSquared.size(); ++j)
        g += m.top.col(j) * m.top.col(j).transpose() / (m.omegaSquared(j) + s);
    return g;
}

CModes Dense(const CSafeMatrices& mats, double kappa) {
    const Eigen::MatrixXd k = kappa * kappa * mats.K1 + kappa * mats.K2 + mats.K3;
    Eigen::GeneralizedSelfAdjointEigenSolver<Eigen::MatrixXd> es(k, mats.M);
    CModes m;
    m.omegaSquared = es.eigenvalues();
    m.top = es.eigenvectors().bottomRows<3>();
    return m;
}

Eigen::VectorXd Sorted(Eigen::VectorXd v) {
    std::sort(v.data(), v.data() + v.size());
    return v;
}

}  // namespace

TEST(ModalSolver, AgreesWithADenseGeneralisedSolve) {
    // Symmetric [0/30/30/0] (split) and an unsymmetric stack (whole).
    const CThicknessModel symmetric = Laminate("1    0.2500\n2    0.2500\n2    0.2500\n1    0.2500\n", 4, "2 2 2 2 ");
    const CThicknessModel unsymmetric = Laminate("1    0.2500\n2    0.5000\n", 2, "2 3 ");
    // Cross-ply [0/90/90/0]: split both ways; the unsymmetric one at 0/90 only into SH and Lamb.
    const CThicknessModel crossPly = Laminate("1    0.2500\n2    0.2500\n2    0.2500\n1    0.2500\n", 4,
                                              "2 2 2 2 ", "0.0000\n90.0000\n");
    const CThicknessModel crossUnsymmetric = Laminate("1    0.2500\n2    0.5000\n", 2, "2 3 ", "0.0000\n90.0000\n");
    // Higher orders: [30/0/0/30] of order 6 (25 nodes), and [0/90/0] of order 3, whose ten nodes
    // pair without a middle node.
    const CThicknessModel symmetricSix = Laminate("1    0.2500\n2    0.2500\n2    0.2500\n1    0.2500\n", 4,
                                                  "1 1 1 1 ", "30.0000\n0.0000\n", 6);
    const CThicknessModel crossEven = Laminate("1    0.2500\n2    0.5000\n1    0.2500\n", 3, "1 1 1 ",
                                               "0.0000\n90.0000\n", 3);
    ASSERT_EQ(crossEven.NodeCount(), 10);
    // Order 6 in one element per ply makes blocks whose band is most of them (reduced densely);
    // order 4 in four elements per ply keeps them banded.
    const CThicknessModel unsymmetricFour = Laminate("1    0.2500\n2    0.5000\n", 2, "4 4 ", "30.0000\n0.0000\n", 4);
    for (const CThicknessModel* model : {&symmetric, &unsymmetric, &crossPly, &crossUnsymmetric, &symmetricSix,
                                         &crossEven, &unsymmetricFour}) {
        const CSafeMatrices mats = Assemble(*model);
        const CModalSolver fast(mats), whole(mats, false);
        const bool mirrored = model == &symmetric || model == &crossPly || model == &symmetricSix || model == &crossEven;
        const bool shear = model == &crossPly || model == &crossUnsymmetric || model == &crossEven;
        EXPECT_EQ(fast.IsSplit(), mirrored);
        EXPECT_EQ(fast.IsShearApart(), shear);
        EXPECT_EQ(fast.BlockCount(), (mirrored ? 2 : 1) * (shear ? 2 : 1));
        EXPECT_FALSE(whole.IsSplit());
        EXPECT_EQ(fast.DenseBlockCount() > 0, model == &symmetricSix);
        // The banded assembly is the dense one.
        const CModalSolver banded(AssembleBands(*model));
        EXPECT_EQ(banded.BlockCount(), fast.BlockCount());
        CModalSolver::CWorkspace ws;
        for (double kappa : {0.0, 0.7, 3.0, 25.0}) {
            SCOPED_TRACE(testing::Message() << "kappa " << kappa << (fast.IsSplit() ? " split" : ""));
            const CModes reference = Dense(mats, kappa);
            CModes a, b;
            fast.Solve(kappa, a, ws);
            whole.Solve(kappa, b, ws);
            const Eigen::VectorXd r = Sorted(reference.omegaSquared);
            const double scale = r.cwiseAbs().maxCoeff();
            EXPECT_LT((Sorted(a.omegaSquared) - r).cwiseAbs().maxCoeff(), 1e-10 * scale);
            EXPECT_LT((Sorted(b.omegaSquared) - r).cwiseAbs().maxCoeff(), 1e-10 * scale);
            for (double s : {0.5, 50.0}) {
                const Eigen::Matrix3d g = Resolvent(reference, s);
                EXPECT_LT((Resolvent(a, s) - g).cwiseAbs().maxCoeff(), 1e-9 * g.cwiseAbs().maxCoeff());
                EXPECT_LT((Resolvent(b, s) - g).cwiseAbs().maxCoeff(), 1e-9 * g.cwiseAbs().maxCoeff());
            }
            // Frequencies only: the same spectrum.
            const Eigen::VectorXd w = fast.Frequencies(kappa, ws);
            EXPECT_LT((w.cwiseProduct(w) - r).cwiseAbs().maxCoeff(), 1e-10 * scale);
            // Only the modes a load along b read along a needs: the same resolvent entry.
            for (int a = 0; a < 3; ++a)
                for (int b = 0; b < 3; ++b) {
                    std::vector<double> w2(fast.Size()), product(fast.Size());
                    const int count = banded.SolveProducts(kappa, a, b, w2.data(), product.data(), ws);
                    ASSERT_LE(count, fast.Size());
                    // A cross-ply plate: a load along y never moves the top along x or z.
                    if (shear && (a == 1) != (b == 1)) {
                        EXPECT_EQ(count, 0);
                    }
                    const double s = 0.5;
                    double g = 0;
                    for (int j = 0; j < count; ++j) g += product[j] / (w2[j] + s);
                    const Eigen::Matrix3d want = Resolvent(reference, s);
                    EXPECT_NEAR(g, want(a, b), 1e-9 * want.cwiseAbs().maxCoeff()) << "a " << a << " b " << b;
                }
        }
    }
}

TEST(ModalSolver, TheBlasUnderItRunsOnOneThread) {
    // Our own threads share the work out; a threaded BLAS under them oversubscribes the cores,
    // and on a loaded machine its waits make a run many times slower than its CPU time. The
    // setting is the process's: this test must see it change (ctest runs it in a process of its
    // own), which a weak reference that never binds would not.
    if (BlasThreads() == 0) GTEST_SKIP() << "this BLAS does not tell its threads";
    const CThicknessModel model = Laminate("1    0.2500\n2    0.5000\n", 2, "2 3 ");
    const CModalSolver solver(AssembleBands(model));
    EXPECT_EQ(BlasThreads(), 1);
}

// Solvers of one plate along five directions share their blocks when the shear-horizontal
// motion is kept with the rest, and mixing their stiffness with the trigonometric weights of
// another direction gives that direction's own solver (frequencies and the top rows' resolvent
// within rounding). Split off at 0 degrees, the cross-ply's blocks differ and are told apart.
TEST(ModalSolver, MixedStiffnessIsTheTurnedPlatesSolver) {
    const CThicknessModel crossPly = Laminate("1    0.2500\n2    0.2500\n2    0.2500\n1    0.2500\n", 4,
                                              "2 2 2 2 ", "0.0000\n90.0000\n");
    const auto turned = [&](double theta) {
        CThicknessModel m = crossPly;
        for (CElement& e : m.elements)
            for (Voigt& c : e.stiffness) c = TurnAboutZ(c, -theta);
        return AssembleBands(m);
    };
    EXPECT_FALSE(CModalSolver(turned(0), true, true).SameBlocks(CModalSolver(turned(0.6), true, false)));
    EXPECT_TRUE(CModalSolver(turned(0), true, false).SameBlocks(CModalSolver(turned(0.6), true, false)));

    CDirectionalSolvers directions(crossPly, 2);
    ASSERT_TRUE(directions.Shared());
    CModalSolver::CWorkspace ws;
    for (double theta : {0.4, 1.2, 2.9}) {
        std::unique_ptr<CModalSolver> own;
        const CModalSolver& mixed = directions.At(theta, 1, own);
        EXPECT_FALSE(own);
        const CModalSolver direct(turned(theta));
        for (double kappa : {0.3, 2.0, 9.0}) {
            const Eigen::VectorXd a = mixed.Frequencies(kappa, ws), b = direct.Frequencies(kappa, ws);
            ASSERT_EQ(a.size(), b.size());
            EXPECT_LT((a - b).cwiseAbs().maxCoeff(), 1e-10 * b.maxCoeff()) << theta << " " << kappa;
            CModes ma, mb;
            mixed.Solve(kappa, ma, ws);
            direct.Solve(kappa, mb, ws);
            const Eigen::Matrix3d ra = Resolvent(ma, 1.0), rb = Resolvent(mb, 1.0);
            EXPECT_LT((ra - rb).cwiseAbs().maxCoeff(), 1e-10 * rb.cwiseAbs().maxCoeff()) << theta << " " << kappa;
        }
    }
}
