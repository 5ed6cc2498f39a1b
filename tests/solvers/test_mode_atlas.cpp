// The mode atlas of a point source's dynamic disc: its modes against full solves at random wave
// vectors, and a whole run with it against every wave vector solved (--exact-modes), near the
// load and far from it, on stacks with and without the mirror symmetry.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include "DirectionalSolvers.h"
#include "LoadBand.h"
#include "ModalSolver.h"
#include "ModeAtlas.h"
#include "PointSource.h"
#include "SolverInput.h"
#include "SolverRunner.h"
#include "SourceNearField.h"
#include "SourceTerms.h"
#include "Transient.h"

using namespace solvertest;
using namespace numerics;

namespace {

constexpr double kPi = std::numbers::pi;

// A 1 mm carbon/epoxy plate of four plies at a, b, b, a degrees, one quadratic element each, under
// a 5-cycle Hann burst at 0.5 MHz (40 samples a period).
CProblem Plate(double a, double b, int load, int output, double window = 12) {
    CLaminate lam;
    lam.materials = {{140, 10, 5, 0.3, 0.45, a, 1.6}, {140, 10, 5, 0.3, 0.45, b, 1.6}};
    lam.layers = {{1, 0.25, 1}, {2, 0.25, 1}, {2, 0.25, 1}, {1, 0.25, 1}};
    lam.dDimConst = 0.8;
    lam.nLoadType = 4;
    lam.nLoadDir = load;
    lam.nOutput = output;
    lam.dTimeTo = window;
    CProblem p;
    EXPECT_EQ(ParseCompositeInput(lam.Text(), "atlas", p, 2), "");
    p.load.type = ELoadType::kSampled;
    const double centre = 0.5, length = 5 / centre, step = 1 / (40 * centre);
    for (int i = 0; i * step <= length + 1e-9; ++i) {
        const double t = i * step;
        p.load.times.push_back(t);
        p.load.values.push_back(0.5 * (1 - std::cos(2 * kPi * t / length)) * std::sin(2 * kPi * centre * t));
    }
    PlanBand(p, 2);
    return p;
}

}  // namespace

// The rings' layout: fine at the centre, the marked zone's step within the crossings' reach,
// coarse beyond, each change at most twofold, and one ring past the disc; the node count the
// work estimate takes is the atlas's own.
TEST(ModeAtlas, RingsAreFineAtTheCentreEvenWhereMarkedAndCoarseBeyond) {
    CAtlasSettings s;
    const double radius = 8.15, marked = 3.6;
    const std::vector<double> rings = AtlasRings(radius, marked, s);
    ASSERT_GE(rings.size(), 10u);
    EXPECT_DOUBLE_EQ(rings[0], 0.5 * s.dCentreStep);
    const double outer = s.dOuterStepFactor * s.dRadialStep;
    for (size_t i = 1; i < rings.size(); ++i) {
        const double step = rings[i] - rings[i - 1];
        ASSERT_GT(step, 0) << i;
        if (i >= 2) {
            const double before = rings[i - 1] - rings[i - 2];
            EXPECT_LE(step, 2 * before + 1e-12) << i;
            EXPECT_GE(step, before - 1e-12) << i;  // never finer outward on this layout
        }
        if (rings[i] <= s.dCentreRadius) {
            EXPECT_NEAR(step, s.dCentreStep, 1e-12) << rings[i];
        }
        if (rings[i - 1] >= s.dCentreRadius + 2 * s.dRadialStep && rings[i] <= marked) {
            EXPECT_NEAR(step, s.dRadialStep, 1e-12) << rings[i];
        }
        if (rings[i - 1] >= marked + 2 * outer) {
            EXPECT_NEAR(step, outer, 1e-12) << rings[i];
        }
    }
    EXPECT_EQ(std::count_if(rings.begin(), rings.end(), [&](double k) { return k > radius; }), 1);
    // Over the quarter turn at 0.025 rad: 64 directions.
    EXPECT_EQ(CModeAtlas::NodeCount(radius, marked, 0.5 * kPi, s), rings.size() * 64);
    // Marks reaching the whole disc keep the marked zone's step to its edge; more nodes.
    EXPECT_GT(AtlasRings(radius, radius, s).size(), rings.size() + 20);
    // One step everywhere: even rings half a step off the centre.
    s.dCentreStep = s.dRadialStep;
    s.dOuterStepFactor = 1;
    const std::vector<double> even = AtlasRings(2.0, 1.0, s);
    for (size_t i = 0; i < even.size(); ++i) EXPECT_NEAR(even[i], 0.05 + 0.1 * static_cast<double>(i), 1e-12);
    EXPECT_NEAR(even.back(), 2.05, 1e-12);
    // The stencil's three rings past the disc, where asked for.
    s.nRingsPastDisc = 3;
    EXPECT_NEAR(AtlasRings(2.0, 1.0, s).back(), 2.25, 1e-12);
}

// Veerings are marked only where the load's spectrum is strong: with the veerings' spectrum
// lowered to the crossings' the marks are a superset of the default's (each node's test is only
// stricter), and the cross-ply plate's diagonal veering, whose gap is some six times its bend at
// every k, is marked further out.
TEST(ModeAtlas, SmoothVeeringsAreMarkedOnlyWhereTheSpectrumIsStrong) {
    const CProblem p = Plate(0, 90, 3, 3);
    const CModeSplit split = MakeModeSplit(p.band);
    CDirectionalSolvers directions(p.model, 2);
    CAtlasSettings wide;
    wide.dVeeringSpectrum = wide.dCrossingSpectrum;
    const CAtlasMarks usual = AtlasMarks(p.load, p.dTimeTo, split.dHigh, CAtlasSettings{});
    const CAtlasMarks all = AtlasMarks(p.load, p.dTimeTo, split.dHigh, wide);
    ASSERT_LT(usual.dVeerings, usual.dCrossings);
    EXPECT_EQ(all.dVeerings, all.dCrossings);
    const double radius = 3.0;
    const CModeAtlas a(directions, radius, radius, 0.5 * kPi, split.dHigh, usual, CAtlasSettings{}, 2);
    const CModeAtlas b(directions, radius, radius, 0.5 * kPi, split.dHigh, all, wide, 2);
    ASSERT_EQ(a.Grid().NodeCount(), b.Grid().NodeCount());
    size_t onlyWide = 0;
    for (int i = 0; i < a.Grid().RadialNodes(); ++i)
        for (int j = 0; j < a.Grid().AngularNodes(); ++j) {
            if (a.Marked(i, j)) {
                EXPECT_TRUE(b.Marked(i, j)) << i << " " << j;
            }
            if (b.Marked(i, j) && !a.Marked(i, j)) ++onlyWide;
        }
    std::printf("marked: %zu by default, %zu with veerings to the crossings' spectrum\n", a.MarkedNodes(), b.MarkedNodes());
    EXPECT_GT(onlyWide, 0u);
}

// At random wave vectors of the disc, the atlas's modes against the modal solver's: the same
// modes per block, frequencies and products close where the load's spectrum is strong (above 1e-2
// of its peak), and most wave vectors answered. Measured on this plate: frequencies within 1.4e-7
// of the ramp's top, products within 2.5e-5 of the mode's largest product, 51 of 300 vectors
// refused (104 before veerings under a weak spectrum went unmarked and pairs were interpolated:
// the veering of the two lowest symmetric modes near 45 degrees and three crossings;
// this plate's band holds many); the tolerances are ten times the errors (a stencil
// across an unmarked crossing errs by a step's change, 1e-2 and more) and half as many refusals
// again.
TEST(ModeAtlas, ModesAgreeWithFullSolvesAtRandomWaveVectors) {
    const CProblem p = Plate(0, 90, 3, 3);
    const CModeSplit split = MakeModeSplit(p.band);
    ASSERT_TRUE(split.On());
    CDirectionalSolvers directions(p.model, 2);
    ASSERT_TRUE(directions.Shared());
    const double radius = 3.0;  // the load's strong band lies well within
    const CAtlasMarks marks = AtlasMarks(p.load, p.dTimeTo, split.dHigh, CAtlasSettings{});
    // Where the load's spectrum is above 1e-2 of its peak.
    const double strong = SampledLoadBandEdge(p.load, p.dTimeTo, split.dHigh, 1e-2);
    const double marked = DynamicDiscRadius(directions, radius, marks.dCrossings, true, 2);
    const CModeAtlas atlas(directions, radius, marked, 0.5 * kPi, split.dHigh, marks, CAtlasSettings{}, 2);
    ASSERT_TRUE(atlas.Valid());
    std::mt19937_64 random(7);
    std::uniform_real_distribution<double> unit(0, 1);
    int refused = 0, compared = 0, paired = 0;
    double worstFrequency = 0, worstProduct = 0;
    std::vector<CAtlasMode> found;
    for (int s = 0; s < 300; ++s) {
        const double k = radius * std::sqrt(unit(random)), theta = 0.5 * kPi * unit(random);
        if (!atlas.Find(k, theta, found)) {
            ++refused;
            continue;
        }
        std::unique_ptr<CModalSolver> own;
        CModalSolver::CWorkspace ws;
        const std::vector<CAtlasMode> exact = SolvedAtlasModes(directions.At(theta, 0, own), k, split.dHigh, ws);
        // Pair the modes block by block; a mode right at the ramp's top may fall on either side.
        for (int b = 0; b < 2; ++b) {
            std::vector<const CAtlasMode*> x, y;
            for (const CAtlasMode& m : found) if (m.block == b) x.push_back(&m);
            for (const CAtlasMode& m : exact) if (m.block == b) y.push_back(&m);
            ASSERT_LE(std::abs(int(x.size()) - int(y.size())), 1) << "k " << k << " theta " << theta;
            for (size_t j = 0; j < std::min(x.size(), y.size()); ++j) {
                const double w = std::sqrt(y[j]->omegaSquared);
                if (w > strong) continue;
                ++compared;
                double largest = 0, diff = 0;
                if (x[j]->bPaired && j + 1 < std::min(x.size(), y.size())) {
                    // A pair near its crossing: what the two make together.
                    ++paired;
                    const CAtlasMode &xl = *x[j], &xu = *x[j + 1], &yl = *y[j], &yu = *y[j + 1];
                    worstFrequency = std::max(worstFrequency, std::abs(xl.omegaSquared + xu.omegaSquared - yl.omegaSquared -
                                                                       yu.omegaSquared) / (2 * w * split.dHigh));
                    for (int c = 0; c < 6; ++c) {
                        const double sx = xl.products[c] + xu.products[c], sy = yl.products[c] + yu.products[c];
                        const double wx = xl.omegaSquared * xl.products[c] + xu.omegaSquared * xu.products[c];
                        const double wy = yl.omegaSquared * yl.products[c] + yu.omegaSquared * yu.products[c];
                        largest = std::max(largest, std::abs(sy));
                        diff = std::max({diff, std::abs(sx - sy), std::abs(wx - wy) / yu.omegaSquared});
                    }
                    worstProduct = std::max(worstProduct, diff / largest);
                    ++j;
                    continue;
                }
                worstFrequency = std::max(worstFrequency, std::abs(std::sqrt(x[j]->omegaSquared) - w) / split.dHigh);
                for (int c = 0; c < 6; ++c) {
                    largest = std::max(largest, std::abs(y[j]->products[c]));
                    diff = std::max(diff, std::abs(x[j]->products[c] - y[j]->products[c]));
                }
                worstProduct = std::max(worstProduct, diff / largest);
            }
        }
    }
    std::printf("atlas: %zu nodes, %d of 300 refused, %d modes compared (%d pairs); frequency %.2e of the top, products %.2e\n",
                atlas.Grid().NodeCount(), refused, compared, paired, worstFrequency, worstProduct);
    EXPECT_GT(compared, 200);
    EXPECT_LT(refused, 156);
    EXPECT_LT(worstFrequency, 2e-6);
    EXPECT_LT(worstProduct, 3e-4);
    // Outside the disc it built, the atlas answers nothing.
    EXPECT_FALSE(atlas.Find(radius + 1, 0.3, found));
}

// How the atlas reads its own nodes. At a node the stencil's weights are one and zeros, so Find
// gives that node's full solve exactly; between nodes it is the plain weighted sum of the stencil's
// node values (CPolarGrid::Interpolate on Find at each node), mode by mode within a block; and it
// refuses exactly where a stencil node is marked. A misread stride, row or slot shows in one of
// the three.
TEST(ModeAtlas, FindReadsTheNodesAsTheirWeightedSum) {
    const CProblem p = Plate(0, 90, 3, 3);
    const CModeSplit split = MakeModeSplit(p.band);
    CDirectionalSolvers directions(p.model, 2);
    const CAtlasMarks marks = AtlasMarks(p.load, p.dTimeTo, split.dHigh, CAtlasSettings{});
    const CModeAtlas atlas(directions, 2.0, 2.0, 0.5 * kPi, split.dHigh, marks, CAtlasSettings{}, 2);
    ASSERT_TRUE(atlas.Valid());
    const CPolarGrid& grid = atlas.Grid();
    CModalSolver::CWorkspace ws;
    std::vector<CAtlasMode> found;
    const auto near = [](double x, double y, double scale) { return std::abs(x - y) <= 1e-12 * scale; };
    int nodes = 0;
    for (int i = 1; grid.K(i) < 2.0; i += 2)
        for (int j = 0; j < grid.AngularNodes(); j += 5) {
            if (!atlas.Find(grid.K(i), grid.Theta(j), found)) continue;
            // A pair (the next test) is recovered from its sums, which rounding blurs where the two meet.
            if (std::any_of(found.begin(), found.end(), [](const CAtlasMode& m) { return m.bPaired; })) continue;
            std::unique_ptr<CModalSolver> own;
            const std::vector<CAtlasMode> solved =
                SolvedAtlasModes(directions.At(grid.Theta(j), 0, own), grid.K(i), split.dHigh, ws);
            ASSERT_EQ(found.size(), solved.size()) << i << " " << j;
            for (size_t m = 0; m < found.size(); ++m) {
                EXPECT_EQ(found[m].block, solved[m].block);
                // The node's own coordinates, up to the rounding of (k - k0) / dk.
                EXPECT_TRUE(near(found[m].omegaSquared, solved[m].omegaSquared, split.dHigh * split.dHigh));
                double scale = 0;
                for (double x : solved[m].products) scale = std::max(scale, std::abs(x));
                for (int c = 0; c < 6; ++c) EXPECT_TRUE(near(found[m].products[c], solved[m].products[c], scale)) << c;
            }
            ++nodes;
        }
    EXPECT_GT(nodes, 20);

    std::mt19937_64 random(11);
    std::uniform_real_distribution<double> unit(0, 1);
    int compared = 0, refused = 0;
    for (int s = 0; s < 300; ++s) {
        const double k = 2.0 * std::sqrt(unit(random)), theta = 0.5 * kPi * unit(random);
        const CPolarGrid::CWeights w = grid.Weights(k, theta);
        bool marked = false;
        // Every stencil node's modes, found at the node; a mode's rank within its block.
        std::vector<std::vector<CAtlasMode>> at(grid.NodeCount());
        for (int a = 0; a < w.k.count; ++a)
            for (int b = 0; b < w.theta.count; ++b) {
                const int i = w.k.first + a, j = w.theta.first + b;
                marked = marked || atlas.Marked(i, j);
                atlas.Find(grid.K(i), grid.Theta(j), at[grid.Index(i, j)]);
            }
        const bool answered = atlas.Find(k, theta, found);
        if (marked) {  // refused, or a pair near its crossing (the next test)
            refused += answered ? 0 : 1;
            continue;
        }
        ASSERT_TRUE(answered) << k << " " << theta;
        const auto mode = [&](int i, int j, int block, size_t rank) -> const CAtlasMode* {
            size_t seen = 0;
            for (const CAtlasMode& m : at[grid.Index(i, j)])
                if (m.block == block && seen++ == rank) return &m;
            return nullptr;
        };
        std::vector<size_t> rank(2, 0);
        for (const CAtlasMode& m : found) {
            EXPECT_FALSE(m.bPaired);
            const size_t r = rank[static_cast<size_t>(m.block)]++;
            bool everywhere = true;
            for (int a = 0; a < w.k.count; ++a)
                for (int b = 0; b < w.theta.count; ++b)
                    everywhere = everywhere && mode(w.k.first + a, w.theta.first + b, m.block, r);
            if (!everywhere) continue;  // above the band at some node: the node holds it, Find there does not
            const double w2 = grid.Interpolate<double>(w, [&](int i, int j) { return mode(i, j, m.block, r)->omegaSquared; });
            EXPECT_TRUE(near(m.omegaSquared, w2, split.dHigh * split.dHigh)) << k << " " << theta;
            double scale = 0;
            for (double x : m.products) scale = std::max(scale, std::abs(x));
            for (int c = 0; c < 6; ++c) {
                const double ref = grid.Interpolate<double>(w, [&](int i, int j) { return mode(i, j, m.block, r)->products[c]; });
                EXPECT_TRUE(near(m.products[c], ref, scale)) << k << " " << theta << " product " << c;
            }
            ++compared;
        }
    }
    std::printf("%d nodes, %d modes between nodes compared, %d of 300 refused\n", nodes, compared, refused);
    EXPECT_GT(compared, 150);
    EXPECT_GT(refused, 0);
    EXPECT_LT(refused, 250);
}

// Near the crossing of one pair of modes the atlas interpolates what the two make together and
// recovers them from it (ModeAtlasPairs.cpp). Against full solves at wave vectors where it does,
// on a plate with many crossings (the 0.5 MHz burst's band holds a dozen modes): the pair's sum of
// omega^2 and its products summed, plain and weighted by omega^2, and what the pair gives a
// response -- sum of p cos(omega t) over the two, at times through the window -- each close.
// Measured: omega^2 summed within 5.2e-8 of the top's, the products' sums within 5.6e-6 of the
// pair's largest product and the response within 1.2e-4 of it (the worst of 40 pairs, moving
// with the rings' layout: 3.2e-5 on an earlier one; a single mode's frequency error of 1.4e-7 of
// the top gives 3e-5 over the window); the tolerances are about ten times the first two.
TEST(ModeAtlas, APairNearItsCrossingMakesWhatItsTwoModesMakeTogether) {
    const CProblem p = Plate(0, 90, 3, 3, 10.5);
    const CModeSplit split = MakeModeSplit(p.band);
    CDirectionalSolvers directions(p.model, 2);
    const CAtlasMarks marks = AtlasMarks(p.load, p.dTimeTo, split.dHigh, CAtlasSettings{});
    const double radius = 5, marked = DynamicDiscRadius(directions, radius, marks.dCrossings, true, 2);
    const CModeAtlas atlas(directions, radius, marked, 0.5 * kPi, split.dHigh, marks, CAtlasSettings{}, 2);
    ASSERT_TRUE(atlas.Valid());
    std::mt19937_64 random(3);
    std::uniform_real_distribution<double> unit(0, 1);
    CModalSolver::CWorkspace ws;
    std::vector<CAtlasMode> found;
    int pairs = 0;
    double worstSum = 0, worstProducts = 0, worstResponse = 0;
    for (int s = 0; s < 20000 && pairs < 40; ++s) {
        const double k = radius * std::sqrt(unit(random)), theta = 0.5 * kPi * unit(random);
        if (!atlas.Find(k, theta, found)) continue;
        if (std::none_of(found.begin(), found.end(), [](const CAtlasMode& m) { return m.bPaired; })) continue;
        std::unique_ptr<CModalSolver> own;
        const std::vector<CAtlasMode> exact = SolvedAtlasModes(directions.At(theta, 0, own), k, split.dHigh, ws);
        ASSERT_EQ(found.size(), exact.size()) << k << " " << theta;
        for (size_t j = 0; j + 1 < found.size(); ++j) {
            if (!found[j].bPaired) continue;
            ASSERT_TRUE(found[j + 1].bPaired);
            ASSERT_EQ(found[j].block, exact[j].block);
            ++pairs;
            const CAtlasMode *x = &found[j], *y = &exact[j];
            worstSum = std::max(worstSum, std::abs(x[0].omegaSquared + x[1].omegaSquared - y[0].omegaSquared - y[1].omegaSquared) /
                                              (split.dHigh * split.dHigh));
            double largest = 0, products = 0, response = 0;
            for (int c = 0; c < 6; ++c) {
                largest = std::max({largest, std::abs(y[0].products[c]), std::abs(y[1].products[c])});
                const auto sum = [&](const CAtlasMode* m, double power) {
                    return std::pow(m[0].omegaSquared, power) * m[0].products[c] + std::pow(m[1].omegaSquared, power) * m[1].products[c];
                };
                products = std::max({products, std::abs(sum(x, 0) - sum(y, 0)), std::abs(sum(x, 1) - sum(y, 1)) / y[1].omegaSquared});
                for (double t = 0; t <= p.dTimeTo; t += 0.25) {
                    const auto wave = [&](const CAtlasMode* m) {
                        return m[0].products[c] * std::cos(std::sqrt(m[0].omegaSquared) * t) +
                               m[1].products[c] * std::cos(std::sqrt(m[1].omegaSquared) * t);
                    };
                    response = std::max(response, std::abs(wave(x) - wave(y)));
                }
            }
            worstProducts = std::max(worstProducts, products / largest);
            worstResponse = std::max(worstResponse, response / largest);
            ++j;
        }
    }
    std::printf("%d pairs: omega^2 summed %.2e of the top's, products summed %.2e, response %.2e\n", pairs, worstSum,
                worstProducts, worstResponse);
    EXPECT_GE(pairs, 40);
    EXPECT_LT(worstSum, 8e-7);
    EXPECT_LT(worstProducts, 5e-5);
    EXPECT_LT(worstResponse, 3e-4);
}

// A run asks the atlas only for the products its output and load weigh: for every pair of them
// and the lattice's terms in any direction (mirror images too), the products left out have a
// weight of exactly zero, and those asked for come out as with all six.
TEST(ModeAtlas, OnlyTheProductsATermWeighsAreInterpolated) {
    for (int a = 0; a < 3; ++a)
        for (int b = 0; b < 3; ++b) {
            const unsigned wanted = ProductsWeighed(a, b);
            for (long m : {1L, 3L, 0L})
                for (long n : {0L, 2L, 5L}) {
                    std::vector<CTerm> terms;
                    AddLatticeTerms(m, n, 0.3, 0.2, true, a, b, 1.0, terms);
                    for (const CTerm& t : terms)
                        for (int c = 0; c < 6; ++c) {
                            std::array<double, 6> unit{};
                            unit[static_cast<size_t>(c)] = 1;
                            if (!(wanted >> c & 1)) {
                                EXPECT_EQ(ProductWeight(t.weight, unit), 0.0) << a << b << " " << c;
                            }
                        }
                }
        }
    const CProblem p = Plate(0, 90, 3, 3);
    const CModeSplit split = MakeModeSplit(p.band);
    CDirectionalSolvers directions(p.model, 2);
    const CAtlasMarks marks = AtlasMarks(p.load, p.dTimeTo, split.dHigh, CAtlasSettings{});
    const CModeAtlas atlas(directions, 2.0, 2.0, 0.5 * kPi, split.dHigh, marks, CAtlasSettings{}, 2);
    std::vector<CAtlasMode> all, some;
    int compared = 0;
    for (double k = 0.31; k < 2; k += 0.17)
        for (double theta = 0.05; theta < 1.5; theta += 0.21) {
            const unsigned wanted = ProductsWeighed(2, 0);
            ASSERT_EQ(atlas.Find(k, theta, all), atlas.Find(k, theta, some, wanted));
            ASSERT_EQ(all.size(), some.size());
            for (size_t j = 0; j < all.size(); ++j, ++compared)
                for (int c = 0; c < 6; ++c)
                    EXPECT_EQ(some[j].products[c], all[j].bPaired || (wanted >> c & 1) ? all[j].products[c] : 0.0);
        }
    EXPECT_GT(compared, 100);
}

// A whole run with the atlas forced against every wave vector solved: receivers at the load,
// within a thickness, a few thicknesses off and far out, each curve within 1e-4 of its own peak
// (measured: 2e-7 to 9.6e-6 within 21 mm, 4.6e-5 and 7.4e-5 at 41 mm); the same numbers on one
// thread and two. The [30/-30]
// stack has no mirror symmetry: its atlas spans half a turn.
TEST(ModeAtlas, RunWithTheAtlasEqualsEveryWaveVectorSolved) {
    struct CCase {
        double a, b;
        int load, output;
    };
    for (const CCase& c : {CCase{0, 90, 3, 3}, CCase{30, -30, 1, 3}}) {
        const CProblem p = Plate(c.a, c.b, c.load, c.output, 10.5);
        CSourceRequest request;
        request.receivers = {{0, 0}, {0.4, 0.3}, {2, -1}, {5, 3}, {21, -2}, {40, 10}};
        CRunOptions options;
        options.nThreads = 2;
        options.nPoints = 41;
        request.modes = EModeSource::kExact;
        const CSourceResult exact = SolvePointSource(p, request, options);
        request.modes = EModeSource::kAtlas;
        const CSourceResult atlas = SolvePointSource(p, request, options);
        ASSERT_EQ(exact.error, "");
        ASSERT_EQ(atlas.error, "");
        EXPECT_EQ(exact.nAtlasNodes, 0u);
        ASSERT_GT(atlas.nAtlasNodes, 0u);
        const std::string name = "[" + std::to_string(int(c.a)) + "/" + std::to_string(int(c.b)) + "]";
        for (size_t r = 0; r < request.receivers.size(); ++r) {
            const double peak = MaxAbs(exact.curves[r]);
            if (peak == 0) continue;  // W of an X load at the load itself
            double most = 0;
            for (size_t j = 0; j < exact.curves[r].size(); ++j)
                most = std::max(most, std::abs(atlas.curves[r][j] - exact.curves[r][j]));
            std::printf("%s receiver %zu: largest difference %.2e of the peak\n", name.c_str(), r, most / peak);
            EXPECT_LE(most, 1e-4 * peak) << name << " receiver " << r;
        }
        if (c.a == 0) {
            options.nThreads = 1;
            EXPECT_EQ(SolvePointSource(p, request, options).curves, atlas.curves) << name;
        }
    }
}

// The size check searches the atlas marks' reach once; the run takes it from the request. The
// reach it found is the search over the run's own disc at the crossings' frequency, and the run
// given it makes the same atlas and the same numbers as a run that searches for itself.
TEST(ModeAtlas, TheRunTakesTheMarksReachTheSizeCheckFound) {
    const CProblem p = Plate(0, 90, 3, 3, 10.5);
    CSourceRequest request;
    request.receivers = {{5, 3}};
    request.modes = EModeSource::kAtlas;
    ASSERT_EQ(CheckSourceRunSize(p, request, 41), "");
    ASSERT_GT(request.dMarkedReach, 0);
    const CModeSplit split = MakeModeSplit(p.band);
    CDirectionalSolvers directions(p.model, 1);
    const double crossings = AtlasMarks(p.load, p.dTimeTo, split.dHigh, request.atlas).dCrossings;
    EXPECT_EQ(request.dMarkedReach, DynamicDiscRadius(directions, request.dDynamicRadius, crossings, true, 1));
    EXPECT_LE(request.dMarkedReach, request.dDynamicRadius);
    CRunOptions options;
    options.nThreads = 2;
    options.nPoints = 41;
    const CSourceResult given = SolvePointSource(p, request, options);
    request.dMarkedReach = 0;
    const CSourceResult searched = SolvePointSource(p, request, options);
    ASSERT_EQ(given.error, "");
    ASSERT_EQ(searched.error, "");
    ASSERT_GT(given.nAtlasNodes, 0u);
    EXPECT_EQ(given.nAtlasNodes, searched.nAtlasNodes);
    EXPECT_EQ(given.curves, searched.curves);
}

TEST(ModeAtlas, ExactModesGoesWithAPointSource) {
    CTempDir dir;
    CLaminate lam;
    lam.materials = {{140, 10, 5, 0.3, 0.45, 0, 1.6}};
    lam.layers = {{1, 1, 1}};
    dir.Write("input.d", lam.Text());
    const CRun run = RunSolver(LUMDEX_PATH, {"--exact-modes"}, dir.Path());
    EXPECT_EQ(run.nExit, 2) << run.strErr;
    EXPECT_NE(run.strErr.find("--exact-modes go with --point-source"), std::string::npos) << run.strErr;
}
