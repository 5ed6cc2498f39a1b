// The eigen-solver's shortcuts (banded reductions carrying only the top rows, the splits of
// mid-plane symmetric plates and of SH from Lamb motion, the modes a response needs) against a
// plain dense generalised solve.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <limits>
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

namespace {

// The block's modes by the whole spectrum, ascending.
CModes SortedBlock(const CModalSolver& solver, int block, double kappa, CModalSolver::CWorkspace& ws) {
    CModes all;
    solver.SolveBlock(block, kappa, all, ws);
    std::vector<Eigen::Index> order(static_cast<size_t>(all.omegaSquared.size()));
    for (size_t j = 0; j < order.size(); ++j) order[j] = static_cast<Eigen::Index>(j);
    std::sort(order.begin(), order.end(), [&](Eigen::Index a, Eigen::Index b) { return all.omegaSquared(a) < all.omegaSquared(b); });
    CModes sorted;
    sorted.omegaSquared.resize(all.omegaSquared.size());
    sorted.top.resize(3, all.top.cols());
    for (size_t j = 0; j < order.size(); ++j) {
        sorted.omegaSquared(static_cast<Eigen::Index>(j)) = all.omegaSquared(order[j]);
        sorted.top.col(static_cast<Eigen::Index>(j)) = all.top.col(order[j]);
    }
    return sorted;
}

// Compares the low modes with the whole spectrum's lowest: each group of modes whose frequencies
// coincide (the sorted order inside it is arbitrary) by the sum of its top products. Either
// solve's vectors are accurate to about eps ||T|| / gap (the gap to the nearest other mode), so
// that bounds their difference; the partial solve is the closer of the two to a dense solve.
double CompareLow(const CModes& low, const CModes& all, double scale) {
    const Eigen::Index m = low.omegaSquared.size(), n = all.omegaSquared.size();
    if (m == 0) return 0;
    const Eigen::VectorXd& w2 = all.omegaSquared;
    EXPECT_LT((low.omegaSquared - w2.head(m)).cwiseAbs().maxCoeff(), 1e-12 * scale);
    double largest = 0, worst = 0;
    for (Eigen::Index j = 0; j < m; ++j) largest = std::max(largest, all.top.col(j).squaredNorm());
    for (Eigen::Index first = 0; first < m;) {
        Eigen::Index end = first + 1;
        while (end < n && w2(end) - w2(end - 1) < 1e-9 * scale) ++end;
        if (end > m) break;  // a group cut by the spares' end
        Eigen::Matrix3d a = Eigen::Matrix3d::Zero(), b = Eigen::Matrix3d::Zero();
        for (Eigen::Index j = first; j < end; ++j) {
            a += low.top.col(j) * low.top.col(j).transpose();
            b += all.top.col(j) * all.top.col(j).transpose();
        }
        const double gap = std::min(first > 0 ? w2(first) - w2(first - 1) : scale, end < n ? w2(end) - w2(end - 1) : scale);
        const double bound = std::numeric_limits<double>::epsilon() * scale / gap * largest;
        const double error = (a - b).cwiseAbs().maxCoeff();
        worst = std::max(worst, error / bound);
        EXPECT_LT(error, 1e-12 * largest + 64 * bound) << "modes " << first << " to " << end - 1;
        first = end;
    }
    return worst;
}

}  // namespace

// The modes below a limit (and a few spares) without the rest of the spectrum: the same count,
// frequencies and top products as the whole spectrum's lowest, on an isotropic layer, a
// cross-ply plate along its axis (shear-horizontal and Lamb modes in one block, where they cross)
// and off it, an angle-ply plate and a graded layer; at zero and a tiny wavenumber, where the
// lowest modes coincide or crowd at zero, and large ones; limits just above and below a mode.
TEST(ModalSolver, TheModesBelowALimitAreTheWholeSpectrumsLowest) {
    // Blocks of 24 to 194 unknowns: a few modes found alone, many of a small block from its whole
    // spectrum.
    const CThicknessModel isotropic = Laminate("2    1.0000\n", 1, "8 ");
    const CThicknessModel crossPly = Laminate("1    0.2500\n2    0.2500\n2    0.2500\n1    0.2500\n", 4, "4 4 4 4 ",
                                              "0.0000\n90.0000\n");
    const CThicknessModel anglePly = Laminate("1    0.2500\n2    0.2500\n2    0.2500\n1    0.2500\n", 4, "4 4 4 4 ",
                                              "30.0000\n-30.0000\n");
    CProblem graded;
    CFgmOptions options;
    ASSERT_EQ(ParseFgmInput("200 8 0.3\n70 2.7 0.33\n2\n1.0 0.5\n0.5 0.5\n0.0\n1\n1 3.14\n3 3\n0 10\n2\n", "inputfgm.dat",
                            options, graded),
              "");
    // Along directions the shear-horizontal motion stays in the Lamb motion's blocks.
    CDirectionalSolvers round(isotropic, 1), axes(crossPly, 1), offAxes(crossPly, 1);
    std::unique_ptr<CModalSolver> own[3];
    const CModalSolver& plain = round.At(0.3, 0, own[0]);
    const CModalSolver& axis = axes.At(0.0, 0, own[1]);
    const CModalSolver& off = offAxes.At(0.7, 0, own[2]);
    const CModalSolver angled(AssembleBands(anglePly)), layer(AssembleBands(graded.model));
    CModalSolver::CWorkspace ws;
    int degenerate = 0;
    double worst[2] = {0, 0};  // the largest difference of products in units of eps ||T|| / gap, per way
    const CModalSolver* solvers[] = {&plain, &axis, &off, &angled, &layer};
    for (int s = 0; s < 5; ++s) {
        const CModalSolver* solver = solvers[s];
        for (int block = 0; block < solver->BlockCount(); ++block)
            for (double kappa : {0.0, 1e-3, 0.4, 3.0, 12.0}) {
                SCOPED_TRACE(testing::Message() << "solver " << s << " block " << block << " kappa " << kappa);
                const CModes all = SortedBlock(*solver, block, kappa, ws);
                const Eigen::VectorXd& w2 = all.omegaSquared;
                const double scale = w2.cwiseAbs().maxCoeff();
                for (Eigen::Index j = 0; j + 1 < std::min<Eigen::Index>(w2.size(), 12); ++j)
                    if (w2(j + 1) - w2(j) < 1e-9 * scale) ++degenerate;
                for (const Eigen::Index j : {Eigen::Index{0}, Eigen::Index{2}, Eigen::Index{5}})
                    for (const double side : {-1e-9, 1e-9}) {
                        if (j >= w2.size()) continue;
                        const double limit = w2(j) + side * scale;
                        Eigen::Index below = 0;
                        while (below < w2.size() && w2(below) < limit) ++below;
                        // Both ways: the reductions' partial solve and Lanczos on banded factors.
                        for (int spares : {0, 4})
                            for (int way = 0; way < 2; ++way) {
                                CModes low;
                                EXPECT_EQ(way == 0 ? solver->SolveBlockBelow(block, kappa, limit, spares, low, ws)
                                                   : solver->SolveBlockLow(block, kappa, limit, spares, low, ws),
                                          below);
                                ASSERT_EQ(low.omegaSquared.size(), std::min<Eigen::Index>(w2.size(), below + spares));
                                worst[way] = std::max(worst[way], CompareLow(low, all, scale));
                            }
                    }
            }
    }
    // Coinciding modes (the rigid motions at kappa 0, the crowd near zero at 1e-3) were compared.
    EXPECT_GT(degenerate, 0);
    // Most low-mode solves were Lanczos's own (the rest: small blocks, coinciding modes).
    const CLowModeWork& tally = ws.lowModes;
    EXPECT_GT(tally.nSolves - tally.nFallbacks, tally.nSolves / 2);
    RecordProperty("largest_product_difference_in_eps_norm_over_gap", std::to_string(worst[0]));
    RecordProperty("lanczos_largest_product_difference_in_eps_norm_over_gap", std::to_string(worst[1]));
    RecordProperty("lanczos_solves_and_fallbacks", std::to_string(tally.nSolves) + " " + std::to_string(tally.nFallbacks));
}

// Every block's modes below a limit together: those of the whole spectrum below it, the same
// count and the same sums of top products over them, on a plate split four ways and one whole.
TEST(ModalSolver, TheModesBelowALimitOverEveryBlock) {
    const CThicknessModel crossPly = Laminate("1    0.2500\n2    0.2500\n2    0.2500\n1    0.2500\n", 4, "2 2 2 2 ",
                                              "0.0000\n90.0000\n");
    const CThicknessModel unsymmetric = Laminate("1    0.2500\n2    0.5000\n", 2, "2 3 ");
    for (const CThicknessModel* model : {&crossPly, &unsymmetric}) {
        const CModalSolver solver(AssembleBands(*model));
        CModalSolver::CWorkspace ws;
        for (double kappa : {0.2, 2.0}) {
            CModes all, below;
            solver.Solve(kappa, all, ws);
            const double limit = 0.5 * (Sorted(all.omegaSquared)(6) + Sorted(all.omegaSquared)(7));
            solver.SolveBelow(kappa, limit, below, ws);
            CModes kept;
            std::vector<Eigen::Index> chosen;
            for (Eigen::Index j = 0; j < all.omegaSquared.size(); ++j)
                if (all.omegaSquared(j) < limit) chosen.push_back(j);
            ASSERT_EQ(below.omegaSquared.size(), static_cast<Eigen::Index>(chosen.size()));
            kept.omegaSquared.resize(static_cast<Eigen::Index>(chosen.size()));
            kept.top.resize(3, static_cast<Eigen::Index>(chosen.size()));
            for (size_t j = 0; j < chosen.size(); ++j) {
                kept.omegaSquared(static_cast<Eigen::Index>(j)) = all.omegaSquared(chosen[j]);
                kept.top.col(static_cast<Eigen::Index>(j)) = all.top.col(chosen[j]);
            }
            EXPECT_LT((Sorted(below.omegaSquared) - Sorted(kept.omegaSquared)).cwiseAbs().maxCoeff(), 1e-12 * limit);
            const Eigen::Matrix3d want = Resolvent(kept, 1.0);
            EXPECT_LT((Resolvent(below, 1.0) - want).cwiseAbs().maxCoeff(), 1e-10 * want.cwiseAbs().maxCoeff());
        }
    }
}

// The low-mode solve's way out: with no Lanczos steps allowed it is the reductions' partial solve
// to the bit, or with vectors wanted a dense generalised solve; and the whole mass-normalised
// vectors it offers are those of the dense solve (up to sign), on a cross-ply plate off its axis.
TEST(ModalSolver, TheLowModesFallBackAndGiveTheirVectors) {
    const CThicknessModel crossPly = Laminate("1    0.2500\n2    0.2500\n2    0.2500\n1    0.2500\n", 4, "4 4 4 4 ",
                                              "0.0000\n90.0000\n");
    CDirectionalSolvers directions(crossPly, 1);
    std::unique_ptr<CModalSolver> own;
    const CModalSolver& solver = directions.At(0.7, 0, own);
    CModalSolver::CWorkspace ws;
    CLowModeSettings none;
    none.nMaxSteps = 0;
    for (int block = 0; block < solver.BlockCount(); ++block)
        for (double kappa : {0.4, 3.0}) {
            SCOPED_TRACE(testing::Message() << "block " << block << " kappa " << kappa);
            const CModes all = SortedBlock(solver, block, kappa, ws);
            const double limit = 0.5 * (all.omegaSquared(3) + all.omegaSquared(4)), scale = all.omegaSquared.maxCoeff();
            CModes lanczos, dense, reduced, plain;
            Eigen::MatrixXd vectors, denseVectors;
            long long fallbacks = ws.lowModes.nFallbacks;
            EXPECT_EQ(solver.SolveBlockLow(block, kappa, limit, 4, lanczos, ws, &vectors), 4);
            EXPECT_EQ(ws.lowModes.nFallbacks, fallbacks);
            EXPECT_EQ(solver.SolveBlockLow(block, kappa, limit, 4, dense, ws, &denseVectors, none), 4);
            EXPECT_EQ(solver.SolveBlockLow(block, kappa, limit, 4, reduced, ws, nullptr, none), 4);
            EXPECT_EQ(ws.lowModes.nFallbacks, fallbacks + 2);
            solver.SolveBlockBelow(block, kappa, limit, 4, plain, ws);
            EXPECT_EQ(reduced.omegaSquared, plain.omegaSquared);
            EXPECT_EQ(reduced.top, plain.top);
            ASSERT_EQ(vectors.cols(), 8);
            ASSERT_EQ(denseVectors.cols(), 8);
            EXPECT_LT((lanczos.omegaSquared - dense.omegaSquared).cwiseAbs().maxCoeff(), 1e-12 * scale);
            // Apart modes (these are) have one vector each, to a sign: within eps ||T|| / gap.
            for (int j = 0; j < 8; ++j) {
                const double sign = vectors.col(j).dot(denseVectors.col(j)) < 0 ? -1.0 : 1.0;
                EXPECT_LT((vectors.col(j) - sign * denseVectors.col(j)).norm(), 1e-9 * denseVectors.col(j).norm()) << j;
                EXPECT_LT((lanczos.top.col(j) - sign * dense.top.col(j)).norm(), 1e-9 * dense.top.col(j).norm() + 1e-300);
            }
        }
}
