// The near field's static sums with the low modes deflated (one banded solve and those modes'
// whole vectors) against the same sums over every mode of the whole spectrum.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "DirectionalSolvers.h"
#include "ModalSolver.h"
#include "NearFieldTable.h"
#include "SolverInput.h"
#include "SourceNearField.h"

using namespace numerics;

namespace {

// A 1 mm plate of four plies, four elements of order 3 each: the point-source example's blocks
// (74 unknowns, half-width 11).
CThicknessModel Plate(double a, double b, bool isotropic = false) {
    const std::string material = isotropic ? "70 70 26.315789 0.33 0.33\n" : "140 10 5 0.3 0.45\n";
    const std::string text = "plate\n4 2 3.113646\n1 0.25\n2 0.25\n2 0.25\n1 0.25\n" + std::to_string(a) + "\n" +
                             std::to_string(b) + "\n1.6\n1.6\n4 4 4 4\n" + material + material +
                             "1\n1 0\n3 3\n0 150\n100\n";
    CProblem p;
    EXPECT_EQ(ParseCompositeInput(text, "input.d", p, 3), "");
    return p.model;
}

// The example's split: modes below 6.7 rad/us wholly dynamic, from 10.1 on wholly static.
CModeSplit Split(double low = 6.7, double high = 10.1) {
    CModeSplit s;
    s.dLow = low;
    s.dHigh = high;
    return s;
}

// The reference: every mode of the whole spectrum, each weighed by 1 - chi.
CNearSums EveryMode(const CModalSolver& solver, double k, const CModeSplit& split) {
    CModalSolver::CWorkspace ws;
    CModes modes;
    solver.Solve(k, modes, ws);
    CNearSums s;
    for (Eigen::Index j = 0; j < modes.omegaSquared.size(); ++j) {
        const double w2 = modes.omegaSquared(j), weight = 1.0 - split.Dynamic(std::sqrt(std::max(0.0, w2)));
        if (weight == 0.0) continue;  // the rigid motions at k = 0 among them
        const Eigen::Vector3d t = modes.top.col(j);
        s.flexibility += weight * t * t.transpose() / w2;
        s.second += weight * t * t.transpose() / (w2 * w2);
    }
    return s;
}

// The largest difference of each matrix's entries relative to its own largest entry.
double Difference(const CNearSums& a, const CNearSums& b) {
    const double first = (a.flexibility - b.flexibility).cwiseAbs().maxCoeff() / b.flexibility.cwiseAbs().maxCoeff();
    const double second = (a.second - b.second).cwiseAbs().maxCoeff() / b.second.cwiseAbs().maxCoeff();
    return std::max(first, second);
}

bool Deflated(const CModalSolver& solver, double k, const CModeSplit& split, CNearSums& out, double tolerance) {
    CModalSolver::CWorkspace ws;
    const auto weight = [&](double omega) { return 1.0 - split.Dynamic(omega); };
    return solver.DeflatedStaticMatrices(k, split.dHigh * split.dHigh, weight, tolerance, out.flexibility, out.second,
                                         ws);
}

}  // namespace

// From the near field's smallest wavenumber (0.196 1/mm, where A0's 1 / omega^4 is nearly all of
// the static second sum) to the disc's edge, along and off the plies: every entry within 2e-11 of
// its matrix's largest (measured: 3.1e-12 at most, the whole spectrum's own rounding; without the
// second projection off the low modes 7.4e-11). Modes lie on the ramp in most of the cases.
TEST(DeflatedStatic, EqualsEveryModeSummed) {
    const CModeSplit split = Split();
    int onRamp = 0, cases = 0;
    for (const CThicknessModel& model : {Plate(0, 90), Plate(30, -30), Plate(0, 0, true)}) {
        CDirectionalSolvers directions(model, 1);
        for (double theta : {0.0, 0.3, 0.9}) {
            std::unique_ptr<CModalSolver> own;
            const CModalSolver& solver = directions.At(theta, 0, own);
            for (double k : {0.19635, 0.5, 1.5, 4.0, 8.15}) {
                CNearSums got;
                ASSERT_TRUE(Deflated(solver, k, split, got, kDeflationTolerance)) << k;
                const CNearSums want = EveryMode(solver, k, split);
                EXPECT_LT(Difference(got, want), 2e-11) << "theta " << theta << " k " << k;
                CModalSolver::CWorkspace ws;
                const Eigen::VectorXd omega = solver.Frequencies(k, ws);
                onRamp += static_cast<int>(
                    std::count_if(omega.data(), omega.data() + omega.size(),
                                  [&](double w) { return w > split.dLow && w < split.dHigh; }));
                ++cases;
            }
        }
    }
    EXPECT_GT(onRamp, cases / 2);
}

// Where SH0 crosses S0 in an isotropic plate the two coincide within one block (the directions'
// solvers keep shear-horizontal and Lamb motion together): with the pair in the middle of the
// ramp, the deflated vectors are a basis of the pair's (their residuals small) and the sums equal
// every mode's.
TEST(DeflatedStatic, CoincidingModesOnTheRamp) {
    const CThicknessModel model = Plate(0, 0, true);
    const CBandMatrices bands = AssembleBands(model);
    const CModalSolver apart(bands, true, true), together(bands, true, false);
    const std::vector<CModalSolver::CBlockShape> shapes = apart.BlockShapes();
    CModalSolver::CWorkspace ws;
    // S0 less SH0: positive at small k (the plate velocity above the shear's), negative at large
    // k (S0 tends to the Rayleigh velocity).
    const auto gap = [&](double k) {
        double s0 = 0, sh0 = 1e300;
        for (int b = 0; b < apart.BlockCount(); ++b) {
            CModes modes;
            apart.SolveBlock(b, k, modes, ws);
            const double lowest = modes.omegaSquared.minCoeff();
            if (shapes[static_cast<size_t>(b)].moves[1]) sh0 = std::min(sh0, lowest);
            else s0 = std::max(s0, lowest);
        }
        return s0 - sh0;
    };
    double below = 0.5, above = 8;
    ASSERT_GT(gap(below), 0);
    ASSERT_LT(gap(above), 0);
    for (int i = 0; i < 60; ++i) {
        const double mid = 0.5 * (below + above);
        (gap(mid) > 0 ? below : above) = mid;
    }
    const double k = below;
    // The pair's frequency, and the block that holds both.
    double omega = 0;
    for (int b = 0; b < apart.BlockCount(); ++b)
        if (shapes[static_cast<size_t>(b)].moves[1]) {
            CModes modes;
            apart.SolveBlock(b, k, modes, ws);
            omega = std::max(omega, std::sqrt(modes.omegaSquared.minCoeff()));
        }
    const CModeSplit split = Split(0.7 * omega, 1.3 * omega);
    bool paired = false;
    for (int b = 0; b < together.BlockCount(); ++b) {
        CBlockVectors low;
        ASSERT_TRUE(together.BlockModesBelow(b, k, split.dHigh * split.dHigh, low, ws));
        for (Eigen::Index i = 0; i + 1 < low.omegaSquared.size(); ++i)
            paired = paired || std::abs(low.omegaSquared(i + 1) - low.omegaSquared(i)) < 1e-9 * low.omegaSquared(i);
        EXPECT_LT(low.dAngle, 1e-10);
    }
    EXPECT_TRUE(paired);
    CNearSums got;
    ASSERT_TRUE(Deflated(together, k, split, got, kDeflationTolerance));
    EXPECT_LT(Difference(got, EveryMode(together, k, split)), 2e-11);  // measured 4e-14
}

// Where the estimate is not met (forced by a negative tolerance) or at k = 0 (K singular) the
// deflated sums refuse, and the near field's sums are those of every mode.
TEST(DeflatedStatic, FallsBackToEveryMode) {
    CDirectionalSolvers directions(Plate(0, 90), 1);
    std::unique_ptr<CModalSolver> own;
    const CModalSolver& solver = directions.At(0.4, 0, own);
    const CModeSplit split = Split();
    for (double k : {0.0, 0.19635, 3.0}) {
        CNearSums refused;
        EXPECT_FALSE(Deflated(solver, k, split, refused, -1.0));
        EXPECT_TRUE(refused.flexibility.isZero(0) && refused.second.isZero(0));
        CModalSolver::CWorkspace ws;
        CNearSums forced, chosen;
        NearSums(solver, k, split, forced, ws, -1.0);
        NearSums(solver, k, split, chosen, ws);
        const CNearSums every = EveryMode(solver, k, split);
        EXPECT_EQ(forced.flexibility, every.flexibility) << k;
        EXPECT_EQ(forced.second, every.second) << k;
        EXPECT_LT(Difference(chosen, every), 2e-11) << k;
    }
}

// The low modes' two sources, Lanczos on banded factors and (where it cannot show its modes
// complete; forced here) inverse iteration at the partial solve's frequencies: the same modes, the
// same top products (summed, whatever basis coinciding modes take), residuals at rounding.
TEST(DeflatedStatic, BothSourcesOfTheLowModesAgree) {
    const double limit = 10.1 * 10.1;
    for (const CThicknessModel& model : {Plate(0, 90), Plate(30, -30)}) {
        CDirectionalSolvers directions(model, 1);
        std::unique_ptr<CModalSolver> own;
        const CModalSolver& solver = directions.At(0.5, 0, own);
        CModalSolver::CWorkspace ws;
        CLowModeSettings iterate;
        iterate.nMaxSteps = 0;
        Eigen::Index compared = 0;
        for (double k : {0.19635, 2.0, 8.15})
            for (int b = 0; b < solver.BlockCount(); ++b) {
                CBlockVectors lanczos, inverse;
                ASSERT_TRUE(solver.BlockModesBelow(b, k, limit, lanczos, ws));
                ASSERT_TRUE(solver.BlockModesBelow(b, k, limit, inverse, ws, iterate));
                ASSERT_EQ(lanczos.omegaSquared.size(), inverse.omegaSquared.size()) << k;
                compared += lanczos.omegaSquared.size();
                if (lanczos.omegaSquared.size() == 0) continue;
                EXPECT_NEAR(lanczos.dNext, inverse.dNext, 1e-10 * inverse.dNext);
                for (Eigen::Index i = 0; i < inverse.omegaSquared.size(); ++i)
                    EXPECT_NEAR(lanczos.omegaSquared(i), inverse.omegaSquared(i), 1e-12 * limit) << k;
                const Eigen::MatrixXd a = lanczos.vectors * lanczos.vectors.transpose();
                const Eigen::MatrixXd c = inverse.vectors * inverse.vectors.transpose();
                EXPECT_LT((a - c).cwiseAbs().maxCoeff(), 1e-9 * c.cwiseAbs().maxCoeff()) << k;
                EXPECT_LT(lanczos.dAngle, 1e-10);
                EXPECT_LT(inverse.dAngle, 1e-10);
            }
        EXPECT_GT(compared, 8);
    }
}
