// Interpolation on a polar grid: exact for polynomials of the stencil's degree (in the middle
// and at the shifted edges), and converging at that degree's order on a smooth function.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "PolarGrid.h"

using namespace numerics;

namespace {

// The largest error of the grid's interpolation of f over a sweep of the sector, `perCell` points
// a cell in each coordinate at fixed fractions of it (so that grids of different steps are
// sampled alike), and as far as kMax (beyond the last node: extrapolated).
template <class F>
double WorstError(const CPolarGrid& grid, double kMax, double t0, double t1, F f, int perCell = 3) {
    std::vector<double> nodes(grid.NodeCount());
    for (int i = 0; i < grid.RadialNodes(); ++i)
        for (int j = 0; j < grid.AngularNodes(); ++j) nodes[grid.Index(i, j)] = f(grid.K(i), grid.Theta(j));
    double worst = 0;
    const double dk = grid.RadialStep() / perCell, dt = grid.AngularStep() / perCell;
    for (double k = 0.5 * dk; k <= kMax; k += dk)
        for (double th = t0 + 0.5 * dt; th <= t1; th += dt) {
            const double v = grid.Interpolate<double>(grid.Weights(k, th), [&](int i, int j) { return nodes[grid.Index(i, j)]; });
            worst = std::max(worst, std::abs(v - f(k, th)));
        }
    return worst;
}

}  // namespace

TEST(PolarGrid, PolynomialsOfTheStencilsDegreeAreReproducedEverywhereIncludingTheEdges) {
    for (int points : {2, 3, 4, 5, 6}) {
        const int d = points - 1;
        const auto f = [d](double k, double th) { return std::pow(k - 0.3, d) * (1 + std::pow(th + 0.1, d)) + 2.0; };
        // Steps of 0.37 and 0.05 rad: the sweep falls between the nodes and past the last k node.
        const CPolarGrid grid(0.37, 9, 0.2, 1.4, 25, points);
        EXPECT_LT(WorstError(grid, 9 * 0.37 + 0.18, 0.2, 1.4, f), 1e-11) << points << " points";
        // One degree more is not reproduced (the test is not blind).
        const auto g = [d](double k, double th) { return std::pow(k, d + 1) + std::pow(th, d + 1); };
        EXPECT_GT(WorstError(grid, 9 * 0.37, 0.2, 1.4, g), 1e-6) << points << " points";
    }
}

TEST(PolarGrid, ASmoothFunctionConvergesAtTheStencilsOrder) {
    // A smooth, non-polynomial function of both coordinates; halving both steps should divide
    // the error by about 2^points (the error term of Lagrange interpolation).
    const auto f = [](double k, double th) { return std::sin(1.3 * k + 0.4) * std::exp(std::cos(2 * th)) + k * k * std::cos(th); };
    const double half = std::numbers::pi / 2;
    for (int points : {2, 4, 6}) {
        const CPolarGrid coarse(0.1, 40, 0, half, 33, points), fine(0.05, 80, 0, half, 65, points);
        const double e1 = WorstError(coarse, 4.0, 0, half, f), e2 = WorstError(fine, 4.0, 0, half, f);
        const double order = std::log2(e1 / e2);
        EXPECT_GT(order, points - 0.5) << points << " points: " << e1 << " -> " << e2;
        EXPECT_LT(order, points + 1.5) << points << " points: " << e1 << " -> " << e2;
    }
}

TEST(PolarGrid, RingsOffTheCentreReproducePolynomialsDownToIt) {
    // The first ring half a step out: the centre's half step is extrapolated, still exactly for
    // the stencil's degree.
    const CPolarGrid grid(0.2, 12, 0.0, 1.5, 16, 4, 0.1);
    EXPECT_DOUBLE_EQ(grid.K(0), 0.1);
    const auto f = [](double k, double th) { return 1 + k * (2 - k * (1 - 0.5 * k)) * (1 + th * (0.3 - 0.2 * th)) + th * th * th; };
    std::vector<double> nodes(grid.NodeCount());
    for (int i = 0; i < grid.RadialNodes(); ++i)
        for (int j = 0; j < grid.AngularNodes(); ++j) nodes[grid.Index(i, j)] = f(grid.K(i), grid.Theta(j));
    for (double k : {0.0, 0.03, 0.1, 0.77, 2.4})
        for (double th : {0.0, 0.61, 1.5}) {
            const double v = grid.Interpolate<double>(grid.Weights(k, th), [&](int i, int j) { return nodes[grid.Index(i, j)]; });
            EXPECT_NEAR(v, f(k, th), 1e-12) << k << " " << th;
        }
}

TEST(PolarGrid, OneAngleOrFewNodesFallBackToWhatTheyHold) {
    // One direction (an axisymmetric plate): interpolation in k alone.
    const CPolarGrid line(0.5, 10, 0.3, 0.3, 1, 4);
    std::vector<double> nodes(line.NodeCount());
    for (int i = 0; i <= 10; ++i) nodes[line.Index(i, 0)] = std::pow(line.K(i), 3);
    const auto w = line.Weights(2.2, 1.0);
    EXPECT_EQ(w.theta.count, 1);
    EXPECT_NEAR(line.Interpolate<double>(w, [&](int i, int j) { return nodes[line.Index(i, j)]; }), std::pow(2.2, 3), 1e-12);
    // Fewer radial nodes than the stencil: the stencil shrinks to them.
    const auto s = CPolarGrid::Stencil(0.4, 2, 6);
    EXPECT_EQ(s.count, 2);
    EXPECT_EQ(s.first, 0);
    EXPECT_NEAR(s.w[0] + s.w[1], 1.0, 1e-15);
}

namespace {

// Graded rings as an atlas lays them: fine steps near the centre doubling to a middle step, and
// coarser again further out, each change at most twofold; `split` cuts every cell into that many.
std::vector<double> GradedRings(int split) {
    std::vector<double> steps;
    for (int i = 0; i < 6; ++i) steps.push_back(0.025);
    steps.push_back(0.05);
    for (int i = 0; i < 12; ++i) steps.push_back(0.1);
    steps.push_back(0.2);
    for (int i = 0; i < 8; ++i) steps.push_back(0.4);
    std::vector<double> rings{0.0125};
    for (double h : steps)
        for (int s = 0; s < split; ++s) rings.push_back(rings.back() + h / split);
    return rings;
}

// The largest error over radii k (and a few directions) of the grid's interpolation of f.
template <class F>
double WorstAt(const CPolarGrid& grid, const std::vector<double>& ks, F f) {
    std::vector<double> nodes(grid.NodeCount());
    for (int i = 0; i < grid.RadialNodes(); ++i)
        for (int j = 0; j < grid.AngularNodes(); ++j) nodes[grid.Index(i, j)] = f(grid.K(i), grid.Theta(j));
    double worst = 0;
    for (double k : ks)
        for (double th : {0.0, 0.013, 0.31, 0.777, 1.5}) {
            const double v = grid.Interpolate<double>(grid.Weights(k, th), [&](int i, int j) { return nodes[grid.Index(i, j)]; });
            worst = std::max(worst, std::abs(v - f(k, th)));
        }
    return worst;
}

}  // namespace

TEST(PolarGrid, UnevenRingsReproducePolynomialsAcrossTheirChangesOfStep) {
    const std::vector<double> rings = GradedRings(1);
    std::vector<double> ks;  // every cell at a few places, the centre's extrapolated half step, past the last ring
    for (size_t i = 0; i + 1 < rings.size(); ++i)
        for (double f : {0.0, 0.3, 0.5, 0.91}) ks.push_back(rings[i] + f * (rings[i + 1] - rings[i]));
    ks.insert(ks.end(), {0.0, 0.004, rings.back(), rings.back() + 0.05});
    for (int points : {2, 4, 5, 6}) {
        const CPolarGrid grid(rings, 0.0, 1.5, 31, points);
        ASSERT_EQ(grid.RadialNodes(), static_cast<int>(rings.size()));
        const int d = points - 1;
        const auto f = [d](double k, double th) { return std::pow(k - 0.7, d) * (1 + std::pow(th - 0.2, d)) + 2.0; };
        EXPECT_LT(WorstAt(grid, ks, f), 1e-9) << points << " points";
        const auto g = [d](double k, double) { return std::pow(k - 0.7, d + 1); };
        EXPECT_GT(WorstAt(grid, ks, g), 1e-7) << points << " points: one degree more is not reproduced";
    }
    // Even rings given as radii interpolate as the even grid does.
    std::vector<double> even;
    for (int i = 0; i <= 20; ++i) even.push_back(0.05 + 0.1 * i);
    const CPolarGrid a(even, 0.0, 1.5, 31, 6), b(0.1, 20, 0.0, 1.5, 31, 6, 0.05);
    for (double k : {0.0, 0.12, 0.95, 1.77, 2.1}) {
        const CPolarGrid::CWeights wa = a.Weights(k, 0.4), wb = b.Weights(k, 0.4);
        EXPECT_EQ(wa.k.first, wb.k.first) << k;
        for (int i = 0; i < 6; ++i) EXPECT_NEAR(wa.k.w[i], wb.k.w[i], 1e-12) << k;
    }
}

TEST(PolarGrid, UnevenRingsConvergeAtTheStencilsOrder) {
    // Each cell of the graded rings halved: the error falls by about 2^points, in the fine and
    // coarse parts and across the changes alike.
    const auto f = [](double k, double th) { return std::sin(2.3 * k + 0.4) * std::exp(0.3 * k) * (1 + 0.2 * std::cos(th)); };
    for (int points : {4, 6}) {
        const std::vector<double> coarse = GradedRings(1), fine = GradedRings(2);
        std::vector<double> ks;
        for (double k = 0.02; k < coarse.back() - 0.2; k += 0.0173) ks.push_back(k);
        const double e1 = WorstAt(CPolarGrid(coarse, 0.0, 1.5, 121, points), ks, f);
        const double e2 = WorstAt(CPolarGrid(fine, 0.0, 1.5, 121, points), ks, f);
        const double order = std::log2(e1 / e2);
        EXPECT_GT(order, points - 0.7) << points << " points: " << e1 << " -> " << e2;
        EXPECT_LT(order, points + 1.5) << points << " points: " << e1 << " -> " << e2;
    }
}
