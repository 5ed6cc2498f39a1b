// Transient responses that expose a wrong sign, phase or scale.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>

#include "SolverRunner.h"

using namespace solvertest;

namespace {

// Steel-like plate, 1 mm, four quadratic elements: longitudinal speed sqrt(3 G / rho).
CLaminate SmallPlate() {
    CLaminate lam;
    lam.materials = {Isotropic(200, 0.25, 8.0)};
    lam.layers = {{1, 1.0, 4}};
    lam.dTimeTo = 4;
    return lam;
}

CCurve Solve(const CLaminate& lam, const std::vector<std::string>& args = {}, const std::string& ft = "") {
    CTempDir dir;
    dir.Write("input.d", lam.Text());
    if (!ft.empty()) dir.Write("ft.dat", ft);
    // The expectations here were set on quadratic elements.
    const CRun run = RunSolver(LUMDEX_PATH, AtOrder(2, args), dir.Path());
    EXPECT_EQ(run.nExit, 0) << run.strErr;
    EXPECT_NE(run.strOut.find("progress 100%"), std::string::npos);
    // Every run closes with the element orders it used, for whoever started it to report.
    EXPECT_NE(run.strOut.find("progress 100%\nelement orders (layers from the top) 2"), std::string::npos) << run.strOut;
    return ReadCurve(dir.Read("result.dat"));
}

}  // namespace

TEST(Transient, ResultFileFormatAndWindow) {
    CLaminate lam = SmallPlate();
    lam.dTimeFrom = 1;
    lam.dTimeTo = 3;
    lam.nOutput = 2;
    lam.nLoadDir = 2;
    const CCurve c = Solve(lam, {"--points", "201"});
    EXPECT_EQ(c.nFirst, 2);  // the component code
    ASSERT_EQ(c.nCount, 201);
    ASSERT_EQ(c.t.size(), 201u);
    EXPECT_DOUBLE_EQ(c.t.front(), 1.0);
    EXPECT_DOUBLE_EQ(c.t.back(), 3.0);
    EXPECT_NEAR(c.t[1] - c.t[0], 0.01, 1e-9);
    EXPECT_GT(MaxAbs(c.u), 0);
}

TEST(Transient, CausalAndPullingOutward) {
    // Nothing before the fastest bulk wave (allowing for the Gaussian spread of the load);
    // a step pulling outward lifts the surface under it.
    CLaminate lam = SmallPlate();
    lam.dReceiverX = 6;
    lam.dTimeTo = 4;
    const CCurve c = Solve(lam);
    const double cl = std::sqrt(3 * 80.0 / 8.0);
    const double width = 2 * std::sqrt(12.0) / (2 * std::numbers::pi * lam.dDimConst / 1.0);
    const double quiet = (lam.dReceiverX - 3 * width) / cl;
    double before = 0;
    for (size_t i = 0; i < c.t.size(); ++i)
        if (c.t[i] < quiet) before = std::max(before, std::abs(c.u[i]));
    EXPECT_GT(MaxAbs(c.u), 0);
    EXPECT_LT(before, 1e-6 * MaxAbs(c.u));
    // After the arrival something happens.
    double after = 0;
    for (size_t i = 0; i < c.t.size(); ++i)
        if (c.t[i] > lam.dReceiverX / cl && c.t[i] < lam.dReceiverX / cl + 0.5) after = std::max(after, std::abs(c.u[i]));
    EXPECT_GT(after, 1e-3 * MaxAbs(c.u));

    lam.dReceiverX = 0;
    lam.dTimeTo = 0.5;
    const CCurve under = Solve(lam);
    EXPECT_GT(under.u.back(), 0);
}

TEST(Transient, ScaleOfTheShearWaveAndThreads) {
    // A Y step load carries an SH0 wave: v = F (t - |x| / cT) / (2 rho h cT) behind its front,
    // plus ripples of the higher SH modes that die away from the load.
    CLaminate lam = SmallPlate();
    lam.nLoadDir = 2;
    lam.nOutput = 2;
    lam.dReceiverX = 3;
    lam.dTimeTo = 10;
    const CCurve one = Solve(lam, {"--threads", "1"});
    const CCurve two = Solve(lam, {"--threads", "2"});
    const double ct = std::sqrt(80.0 / 8.0);
    for (size_t i = 0; i < one.t.size(); ++i) {
        const double t = one.t[i];
        ASSERT_EQ(one.u[i], two.u[i]);  // the same sums in the same order
        if (t > 4) {
            const double exact = (t - 3 / ct) / (2 * 8.0 * 1.0 * ct);
            ASSERT_NEAR(one.u[i], exact, 1e-2 * exact) << "t " << t;
        }
    }
}

TEST(Transient, StepDerivativeIsTheImpulseResponse) {
    CLaminate lam = SmallPlate();
    lam.nLoadDir = 1;
    lam.nOutput = 3;
    const CCurve step = Solve(lam, {"--points", "4001"});
    lam.nLoadType = 2;
    const CCurve impulse = Solve(lam, {"--points", "4001"});
    const double scale = MaxAbs(impulse.u);
    ASSERT_GT(scale, 0);
    double worst = 0;
    for (size_t i = 1; i + 1 < step.u.size(); ++i) {
        const double derivative = (step.u[i + 1] - step.u[i - 1]) / (step.t[i + 1] - step.t[i - 1]);
        worst = std::max(worst, std::abs(derivative - impulse.u[i]));
    }
    EXPECT_LT(worst, 2e-3 * scale);
}

TEST(Transient, ReciprocityOfInPlaneAndNormalLoads) {
    // An X load read as W equals a Z load read as U with source and receiver swapped.
    CLaminate lam = SmallPlate();
    lam.materials = {{140, 10, 5, 0.3, 0.45, 30, 1.6}};  // an off-axis ply couples all three
    lam.layers = {{1, 0.5, 2}, {1, 0.5, 2}};
    lam.layers[1].nSublayers = 3;
    lam.nLoadDir = 1;
    lam.nOutput = 3;
    lam.dReceiverX = 3;
    const CCurve xw = Solve(lam);
    lam.nLoadDir = 3;
    lam.nOutput = 1;
    lam.dReceiverX = -3;
    const CCurve zu = Solve(lam);
    const double scale = MaxAbs(xw.u);
    ASSERT_GT(scale, 0);
    for (size_t i = 0; i < xw.u.size(); ++i) ASSERT_NEAR(xw.u[i], zu.u[i], 1e-6 * scale) << "t " << xw.t[i];
    // A tangential push along +x on the top surface is a couple about +y as well: it turns the
    // plate ahead of the load downward.
    EXPECT_LT(xw.u.back(), -0.1 * scale);
    // Not a trivial identity: the same load read at +x differs (the response is odd in x).
    lam.dReceiverX = 3;
    const CCurve mirrored = Solve(lam);
    double sum = 0;
    for (size_t i = 0; i < xw.u.size(); ++i) sum = std::max(sum, std::abs(mirrored.u[i] + xw.u[i]));
    EXPECT_LT(sum, 1e-6 * scale);
}

TEST(Transient, HarmonicLoadsAgreeWithTheirSampledForms) {
    // The closed forms for exp(iwt) and sin(wt) against the piecewise-linear recursion on a fine
    // sampling of the same functions; and threads change nothing.
    CLaminate lam = SmallPlate();
    lam.dFrequency = 2.5;
    for (int type : {3, 5}) {
        lam.nLoadType = type;
        const CCurve closed = Solve(lam, {"--threads", "1"});
        std::string ft;
        char line[64];
        for (int i = 0; i <= 8000; ++i) {
            const double t = i * 0.0005;
            std::snprintf(line, sizeof line, "%.6f %.12f\n", t, type == 3 ? std::cos(2.5 * t) : std::sin(2.5 * t));
            ft += line;
        }
        lam.nLoadType = 4;
        const CCurve sampled = Solve(lam, {"--threads", "2"}, ft);
        const double scale = MaxAbs(closed.u);
        ASSERT_GT(scale, 0);
        for (size_t i = 0; i < closed.u.size(); ++i)
            ASSERT_NEAR(closed.u[i], sampled.u[i], 1e-4 * scale) << "type " << type << " t " << closed.t[i];
    }
}

TEST(Transient, SampledLoadIsZeroOutsideItsSamples) {
    // Samples of 1 at 1 us and at 2 us: the load is 1 between them and 0 outside, so the
    // response is the step response delayed by 1 minus the one delayed by 2.
    CLaminate lam = SmallPlate();
    lam.dTimeTo = 4;
    const CCurve step = Solve(lam, {"--points", "401"});
    const CCurve plateau = Solve([&] { CLaminate l = lam; l.nLoadType = 4; return l; }(), {"--points", "401"},
                                 "1.0 1.0\n2.0 1.0\r\n\n");
    // Before 1 us nothing; from 1 to 2 the step response delayed by 1; after 2 the difference.
    const auto stepAt = [&](double t) {
        if (t <= 0) return 0.0;
        const size_t i = static_cast<size_t>(std::lround(t / 0.01));
        return step.u[i];
    };
    const double scale = MaxAbs(step.u);
    for (size_t i = 0; i < plateau.t.size(); ++i) {
        const double t = plateau.t[i];
        const double expected = stepAt(t - 1.0) - stepAt(t - 2.0);
        ASSERT_NEAR(plateau.u[i], expected, 1e-6 * scale) << "t " << t;
    }
}

TEST(Transient, ShellOfLargeRadiusIsThePlate) {
    CLaminate plate;
    plate.materials = {Isotropic(200, 0.25, 8.0)};
    plate.layers = {{1, 1.0, 2}};
    plate.dTimeTo = 3;
    plate.dDimConst = 1.5;
    plate.nLoadDir = 3;
    plate.nOutput = 3;
    CLaminate shell = plate;
    shell.bPlate = 0;
    shell.dRadius = 2000.5;
    const CCurve p = Solve(plate, {"--points", "301"});
    const CCurve s = Solve(shell, {"--points", "301"});
    const double scale = MaxAbs(p.u);
    ASSERT_GT(scale, 0);
    for (size_t i = 0; i < p.u.size(); ++i) ASSERT_NEAR(s.u[i], p.u[i], 0.01 * scale) << "t " << p.t[i];
}
