// How dispersion lines are sampled: evenly along the range's own axis from its start (the
// fundamental modes from zero frequency, with their limit velocities), every point exact on
// the model's line, and lines whose grouping at avoided crossings does not depend on the step.

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <numbers>

#include "DispersionCurves.h"
#include "RayleighLamb.h"
#include "SolverInput.h"
#include "SolverRunner.h"

using namespace numerics;
using namespace solvertest;

namespace {

constexpr double kPi = std::numbers::pi;

// Shear modulus and density 1, Poisson ratio 0.25, thickness 1 (Omega = omega, xi = k), in four
// elements of order 12: every root below Omega 10 within 1e-10.
CThicknessModel IsotropicPlate() {
    CLaminate lam;
    lam.materials = {Isotropic(2.5, 0.25, 1.0)};
    lam.layers = {{1, 1.0, 4}};
    CProblem p;
    EXPECT_EQ(ParseCompositeInput(lam.Text(), "input.d", p, 12), "");
    return p.model;
}

// A graded plate: alumina at the top to aluminium at the bottom, 1 mm, two elements of order 8.
CThicknessModel GradedPlate() {
    CGraded g;
    g.materials = {{380, 3.96, 0.22}, {70, 2.7, 0.33}};
    g.layers = {{1.0, 1.0}};
    g.dLastFraction = 0;
    CFgmOptions options;
    options.nSublayers = 2;
    options.nOrder = 8;
    options.nPoints = 0;
    CProblem p;
    EXPECT_EQ(ParseFgmInput(g.Text(), "inputfgm.dat", options, p), "");
    return p.model;
}

// A [0/45/90] carbon/epoxy laminate (0.3, 0.3, 0.4 mm), two elements of order 3 per ply: no
// symmetry, every Lamb and SH motion coupled.
CThicknessModel TurnedLaminate() {
    CLaminate lam;
    for (double angle : {0.0, 45.0, 90.0}) lam.materials.push_back({140, 10, 5, 0.3, 0.45, angle, 1.6});
    lam.layers = {{1, 0.3, 2}, {2, 0.3, 2}, {3, 0.4, 2}};
    CProblem p;
    EXPECT_EQ(ParseCompositeInput(lam.Text(), "input.d", p, 3), "");
    return p.model;
}

CDispersionCurves Trace(const CThicknessModel& model, EDispersionRange range, double from, double to, int points,
                        int modes, bool refine = true) {
    CDispersionRequest r;
    r.range = range;
    r.dFrom = from;
    r.dTo = to;
    r.nPoints = points;
    r.nModes = modes;
    r.bRefine = refine;
    r.bEnergy = false;  // the lines alone
    CDispersionCurves c = TraceDispersion(model, r);
    EXPECT_EQ(c.error, "");
    return c;
}

const CModeLine* Line(const CDispersionCurves& c, const std::string& name) {
    for (const CModeLine& l : c.lines)
        if (l.strName == name) return &l;
    return nullptr;
}

// How many points of the coarse lines are not on the fine line of the same name (the same
// kappa, or the same frequency, with the same values).
int PointsNotOnTheFineLines(const CDispersionCurves& coarse, const CDispersionCurves& fine) {
    int missing = 0;
    for (const CModeLine& c : coarse.lines) {
        const CModeLine* f = Line(fine, c.strName);
        for (const CModePoint& p : c.points) {
            bool found = false;
            for (size_t i = 0; f && i < f->points.size() && !found; ++i) {
                const CModePoint& q = f->points[i];
                found = std::abs(q.dOmega - p.dOmega) <= 1e-9 * (1 + p.dOmega) &&
                        std::abs(q.dKappa - p.dKappa) <= 1e-8 * (1 + p.dKappa) &&
                        std::abs(q.dGroup - p.dGroup) <= 1e-7 * (1 + std::abs(p.dGroup));
            }
            missing += found ? 0 : 1;
        }
    }
    return missing;
}

}  // namespace

TEST(DispersionSampling, AFrequencyRangeSamplesEveryModeAtTheSameFrequencies) {
    // Omega from 0 to 2 pi in 41 points: A0, S0 and SH0 all the way, A1 and SH1 from their
    // cut-off at pi, S1 from its cut-off at sqrt(3) pi, with a backward wave below it.
    const int n = 41;
    const double top = 2 * kPi, step = top / (n - 1);
    const CDispersionCurves c = Trace(IsotropicPlate(), EDispersionRange::kFrequency, 0, top, n, 8);
    for (const char* name : {"A0", "S0", "SH0"}) {
        const CModeLine* line = Line(c, name);
        ASSERT_NE(line, nullptr) << name;
        ASSERT_EQ(line->points.size(), static_cast<size_t>(n)) << name;
        for (int i = 0; i < n; ++i)  // the bending mode at low frequency meets rounding at 1e-9
            EXPECT_NEAR(line->points[i].dOmega, i * step, std::max(1e-12 * i * step, 1e-9)) << name << " " << i;
    }
    // The start: zero frequency at k = 0 with the limits of the velocities, the plate velocity
    // sqrt(E / (rho (1 - v^2))) for S0, the shear velocity for SH0 and 0 for A0 (bending).
    const CModePoint &a0 = Line(c, "A0")->points[0], &s0 = Line(c, "S0")->points[0], &sh0 = Line(c, "SH0")->points[0];
    EXPECT_EQ(s0.dWavenumber, 0.0);
    EXPECT_NEAR(s0.dPhase, std::sqrt(2.5 / (1 - 0.0625)), 1e-10);
    EXPECT_NEAR(s0.dGroup, std::sqrt(2.5 / (1 - 0.0625)), 1e-10);
    EXPECT_NEAR(sh0.dPhase, 1.0, 1e-10);
    EXPECT_NEAR(sh0.dGroup, 1.0, 1e-10);
    EXPECT_EQ(a0.dPhase, 0.0);
    EXPECT_EQ(a0.dGroup, 0.0);

    // Every other point lies on the exact line, with the exact slope, in ascending k.
    int checked = 0;
    for (const CModeLine& line : c.lines) {
        for (size_t i = 0; i < line.points.size(); ++i) {
            const CModePoint& p = line.points[i];
            if (i > 0) {
                EXPECT_GT(p.dKappa, line.points[i - 1].dKappa) << line.strName;
            }
            const double grid = std::round(p.dOmega / step) * step;
            EXPECT_NEAR(p.dOmega, grid, std::max(1e-12 * grid, 1e-9)) << line.strName;
            if (p.dKappa == 0 || line.strName[0] == 'M') continue;
            if (line.strName.rfind("SH", 0) == 0) {
                const double order = line.strName[2] - '0';
                EXPECT_NEAR(p.dOmega, std::hypot(p.dKappa, order * kPi), 1e-9) << line.strName;
                continue;
            }
            const bool symmetric = line.strName[0] == 'S';
            EXPECT_NEAR(ExactRoot(symmetric, p.dKappa, p.dOmega), p.dOmega, 1e-9) << line.strName << " " << p.dKappa;
            EXPECT_NEAR(p.dGroup, ExactSlope(symmetric, p.dKappa, p.dOmega), 1e-6) << line.strName << " " << p.dKappa;
            ++checked;
        }
    }
    EXPECT_GT(checked, 100);
    // A1 and SH1 start at the first grid frequency above their cut-off at pi, which is itself
    // on the grid (where the phase velocity is infinite).
    for (const char* name : {"A1", "SH1"}) {
        const CModeLine* line = Line(c, name);
        ASSERT_NE(line, nullptr) << name;
        EXPECT_NEAR(line->points.front().dOmega, 21 * step, 1e-9) << name;
        EXPECT_EQ(line->points.size(), static_cast<size_t>(n - 21)) << name;
    }
    // S1 leaves its cut-off backwards (negative group velocity) down to a turning point, so the
    // frequencies just below the cut-off are met twice, once on each branch.
    const CModeLine* s1 = Line(c, "S1");
    ASSERT_NE(s1, nullptr);
    EXPECT_LT(s1->points.front().dGroup, 0);
    EXPECT_LT(s1->points.front().dOmega, std::sqrt(3.0) * kPi);
    std::map<long, int> seen;
    for (const CModePoint& p : s1->points) ++seen[std::lround(p.dOmega / step)];
    EXPECT_EQ(seen.begin()->second, 2);
}

TEST(DispersionSampling, AWavenumberRangeFromZeroStartsAtTheLimits) {
    const CDispersionCurves c = Trace(IsotropicPlate(), EDispersionRange::kWavenumber, 0, 2, 5, 6);
    for (const char* name : {"A0", "S0", "SH0"}) {
        const CModeLine* line = Line(c, name);
        ASSERT_NE(line, nullptr);
        ASSERT_EQ(line->points.size(), 5u) << name;
        EXPECT_EQ(line->points[0].dOmega, 0.0);
        for (int i = 0; i < 5; ++i) EXPECT_EQ(line->points[i].dKappa, 0.5 * i);
    }
    // Modes above zero frequency at k = 0 have no finite phase velocity there: they start at 0.5.
    const CModeLine* a1 = Line(c, "A1");
    ASSERT_NE(a1, nullptr);
    ASSERT_EQ(a1->points.size(), 4u);
    EXPECT_EQ(a1->points[0].dKappa, 0.5);
    for (const CModeLine& line : c.lines)
        for (const CModePoint& p : line.points) EXPECT_TRUE(std::isfinite(p.dPhase) && std::isfinite(p.dGroup));
}

TEST(DispersionSampling, LinesDoNotDependOnTheStepAtAvoidedCrossings) {
    // A graded plate and a turned laminate couple every Lamb mode, so their lines never cross:
    // they come close and part again. A step of 0.1/mm jumps over some of those encounters (the
    // eigenvectors keep their character across the step, and the lines seem to cross); with the
    // step refined until the tracking is certain, the lines are those of a step of 0.01/mm.
    struct CCase {
        const char* name;
        CThicknessModel model;
        double to;
        int coarse, modes;
    };
    const CCase cases[] = {{"graded", GradedPlate(), 12, 120, 16}, {"laminate", TurnedLaminate(), 5, 50, 10}};
    for (const CCase& k : cases) {
        const int fine = 10 * (k.coarse - 1) + 1;
        const CDispersionCurves f = Trace(k.model, EDispersionRange::kWavenumber, 0.1, k.to, fine, k.modes);
        const CDispersionCurves c = Trace(k.model, EDispersionRange::kWavenumber, 0.1, k.to, k.coarse, k.modes);
        EXPECT_EQ(PointsNotOnTheFineLines(c, f), 0) << k.name;
        // Taking every step as it stands groups the lines otherwise: the check has teeth.
        const CDispersionCurves jumped =
            Trace(k.model, EDispersionRange::kWavenumber, 0.1, k.to, k.coarse, k.modes, false);
        EXPECT_GT(PointsNotOnTheFineLines(jumped, f), 0) << k.name;
    }
    // The same for frequency ranges: 41 points per line give a subset of 401.
    for (const CCase& k : cases) {
        const double top = 2 * kPi * 8;  // 8 MHz mm on these 1 mm plates
        const CDispersionCurves f = Trace(k.model, EDispersionRange::kFrequency, 0, top, 401, k.modes);
        const CDispersionCurves c = Trace(k.model, EDispersionRange::kFrequency, 0, top, 41, k.modes);
        EXPECT_EQ(PointsNotOnTheFineLines(c, f), 0) << k.name;
        size_t points = 0;
        for (const CModeLine& line : c.lines) points += line.points.size();
        EXPECT_GT(points, 200u) << k.name;
    }
}
