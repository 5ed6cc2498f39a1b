// The quasi-static near field of a band-limited point source with its sums beyond the dynamic disc
// interpolated from a polar table, against the same near field with every wave vector of its
// lattice solved.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <string>

#include "DirectionalSolvers.h"
#include "ElementOrder.h"
#include "SolverInput.h"
#include "SolverRunner.h"
#include "SourceNearField.h"
#include "Transient.h"

using namespace solvertest;
using namespace numerics;

namespace {

// A 1 mm carbon/epoxy plate of four plies (one quadratic element each) under a 5-cycle Hann burst
// at 0.2 MHz (40 samples a period), the cut-off constant 2.5: the split's disc ends well inside the
// cut-off, so the table holds most of the near field's wave vectors.
CProblem Plate(double a, double b, int load, int output, double centre = 0.2, double constant = 2.5) {
    CLaminate lam;
    lam.materials = {{140, 10, 5, 0.3, 0.45, a, 1.6}, {140, 10, 5, 0.3, 0.45, b, 1.6}};
    lam.layers = {{1, 0.25, 1}, {2, 0.25, 1}, {2, 0.25, 1}, {1, 0.25, 1}};
    lam.dDimConst = constant;
    lam.nLoadType = 4;
    lam.nLoadDir = load;
    lam.nOutput = output;
    lam.dTimeTo = 40;
    CProblem p;
    EXPECT_EQ(ParseCompositeInput(lam.Text(), "input.d", p, 2), "");
    const double length = 5 / centre, step = 1 / (40 * centre);
    for (int i = 0; i * step <= length + 1e-9; ++i) {
        const double t = i * step, pi = std::numbers::pi;
        p.load.times.push_back(t);
        p.load.values.push_back(0.5 * (1 - std::cos(2 * pi * t / length)) * std::sin(2 * pi * centre * t));
    }
    PlanBand(p, 2);
    return p;
}

CSourceGrid Grid(const CProblem& p, CDirectionalSolvers& directions) {
    CSourceGrid g;
    g.symmetry = FindSourceSymmetry(p.model);
    g.dKMax = 2 * std::numbers::pi * p.dCutoffConst / p.model.Thickness();
    // The dynamic lattice's period caps the near field's: at most one doubling, to keep the
    // reference (every vector solved) quick.
    g.dPeriodX = g.dPeriodY = 64;
    g.dDynamicRadius = DynamicDiscRadius(directions, g.dKMax, MakeModeSplit(p.band).dHigh,
                                         g.symmetry == ESourceSymmetry::kMirror, 2);
    return g;
}

}  // namespace

// Points from the load to the near field's cell edge: s and s2 within 1e-6 of their peaks
// (measured: the cross-ply's W under a Z load 1e-10, its U under an X load 1.2e-7, the
// angle-ply's W under an X load 2.4e-8, the table over a quarter and a half turn), at the same
// period, from a third of the solves; and the same numbers on one thread and two.
TEST(PointSourceNearField, TableEqualsEveryVectorSolved) {
    struct CCase {
        double a, b;
        int load, output;
    };
    for (const CCase& c : {CCase{0, 90, 3, 3}, CCase{0, 90, 1, 1}, CCase{30, -30, 1, 3}}) {
        const CProblem p = Plate(c.a, c.b, c.load, c.output);
        ASSERT_TRUE(p.band.Limited());
        CDirectionalSolvers directions(p.model, 2);
        const CSourceGrid g = Grid(p, directions);
        ASSERT_LT(g.dDynamicRadius, 0.8 * g.dKMax);
        const CModeSplit split = MakeModeSplit(p.band);
        CNearField exact, table, one;
        ASSERT_EQ(SolveNearField(p, g, split, directions, 2, exact, ENearSums::kEveryVector), "");
        ASSERT_EQ(SolveNearField(p, g, split, directions, 2, table, ENearSums::kTable), "");
        EXPECT_EQ(table.dPeriod, exact.dPeriod);
        EXPECT_LT(table.nSolved, exact.nSolved / 2);
        double peak = 0, peak2 = 0, most = 0, most2 = 0;
        for (double r : {0.0, 0.1, 0.3, 1.0, 2.5, 6.0, 0.49 * exact.dPeriod})
            for (int d = 0; d < 12; ++d) {
                const double phi = std::numbers::pi * d / 12, x = r * std::cos(phi), y = r * std::sin(phi);
                double s = 0, s2 = 0, t = 0, t2 = 0;
                exact.At(x, y, s, s2);
                table.At(x, y, t, t2);
                peak = std::max(peak, std::abs(s));
                peak2 = std::max(peak2, std::abs(s2));
                most = std::max(most, std::abs(t - s));
                most2 = std::max(most2, std::abs(t2 - s2));
            }
        std::printf("[%g/%g] load %d output %d: period %g mm, %zu solved against %zu; s within %.2e, s2 within %.2e "
                    "of the peak\n",
                    c.a, c.b, c.load, c.output, exact.dPeriod, table.nSolved, exact.nSolved, most / peak, most2 / peak2);
        EXPECT_LE(most, 1e-6 * peak);
        EXPECT_LE(most2, 1e-6 * peak2);
        if (c.a == 0) {
            CDirectionalSolvers single(p.model, 1);
            ASSERT_EQ(SolveNearField(p, g, split, single, 1, one, ENearSums::kTable), "");
            EXPECT_EQ(one.value, table.value);
            EXPECT_EQ(one.second, table.second);
        }
    }
}

// The wrap-around is judged on the response the near field gives, |f| |s| + |f''| |s2|: s2, which
// the load's curvature makes far smaller than s, need not decay to 1e-5 of its own peak. The
// cross-ply plate's W under a Z load (a burst at 0.5 MHz, cut-off constant 0.8) takes the first
// period (32 mm), where s2 on the cell's edge is still above 1e-5 of its peak (the split's accuracy
// against the single lattice in this very case: test_point_source_split.cpp).
TEST(PointSourceNearField, FirstPeriodTakenWhereTheResponseHasDecayed) {
    const CProblem p = Plate(0, 90, 3, 3, 0.5, 0.8);
    CDirectionalSolvers directions(p.model, 2);
    CSourceGrid g = Grid(p, directions);
    g.dPeriodX = g.dPeriodY = 1000;
    CNearField near;
    ASSERT_EQ(SolveNearField(p, g, MakeModeSplit(p.band), directions, 2, near), "");
    EXPECT_EQ(near.dPeriod, kNearFieldPeriods * p.model.Thickness());
    double peak = 0, peak2 = 0, edge = 0, edge2 = 0;
    for (int d = 0; d < 32; ++d) {
        const double phi = std::numbers::pi * d / 32, r = 0.5 * near.dPeriod;
        double s = 0, s2 = 0;
        near.At(r * std::cos(phi), r * std::sin(phi), s, s2);
        edge = std::max(edge, std::abs(s));
        edge2 = std::max(edge2, std::abs(s2));
    }
    near.At(0, 0, peak, peak2);
    std::printf("edge of the first period: s %.2e, s2 %.2e of the peak at the load\n", edge / std::abs(peak),
                edge2 / std::abs(peak2));
    EXPECT_LE(edge, 1e-5 * std::abs(peak));
    EXPECT_GT(edge2, 1e-5 * std::abs(peak2));
}
