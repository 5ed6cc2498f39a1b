// The work bound: the inertia count the estimate samples, what the default order accepts (every
// run the quadratic element takes), and what a refusal names.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "Limits.h"
#include "PointSource.h"
#include "SourceWork.h"
#include "ModalSolver.h"
#include "RunWork.h"
#include "SolverInput.h"
#include "Transient.h"

using namespace numerics;

namespace {

// A [0/a/a/0] carbon/epoxy plate of 1 mm, `sublayers` per ply, a Z step read as W at x over 0..t1.
std::string CrossPly(int sublayers, double t1, double x = 10, const char* angle = "90", const char* load = "1 3.14") {
    const std::string s = std::to_string(sublayers) + " ";
    return std::string("c\n4 2 3.113646\n1 0.25\n2 0.25\n2 0.25\n1 0.25\n0\n") + angle + "\n1.6\n1.6\n" + s + s + s +
           s + "\n181 10.3 7.17 0.28 0.4\n181 10.3 7.17 0.28 0.4\n1\n" + load + "\n3 3\n0 " + std::to_string(t1) +
           "\n" + std::to_string(x) + "\n";
}

CProblem Parsed(const std::string& text, int order = kAutomaticOrder, int points = kDefaultPoints) {
    CProblem p;
    EXPECT_EQ(ParseCompositeInput(text, "input.d", p, order, points), "");
    return p;
}

// As the solver plans a run before checking its size.
std::string Planned(CProblem& p, int order, int points, int receivers = 0) {
    PlanBand(p, order);
    PlanBroadbandCutoff(p, order, points);
    FitOrdersToWork(p, order, points, receivers);
    return CheckRunSize(p, points, receivers);
}

}  // namespace

TEST(RunWork, TheInertiaCountIsTheNumberOfModesBelow) {
    // Split blocks ([0/90/90/0]) and one whole block ([0/45/45/0]), every load and output pair:
    // between every two neighbouring frequencies the count is the modes below.
    for (const char* angle : {"90", "45"}) {
        const CProblem p = Parsed(CrossPly(2, 10, 10, angle), 5);
        const CModalSolver solver(AssembleBands(p.model));
        CModalSolver::CWorkspace ws;
        std::vector<double> w2(solver.Size()), product(solver.Size());
        for (int a = 0; a < 3; ++a)
            for (int b = 0; b < 3; ++b)
                for (double kappa : {0.0, 0.7, 4.0, 25.0}) {
                    const int found = solver.SolveProducts(kappa, a, b, w2.data(), product.data(), ws);
                    std::vector<double> sorted(w2.begin(), w2.begin() + found);
                    std::sort(sorted.begin(), sorted.end());
                    for (int j = 0; j + 1 < found; j += std::max(1, found / 17)) {
                        if (!(sorted[j + 1] > sorted[j] * (1 + 1e-6) + 1e-9)) continue;  // a double root
                        const double between = 0.5 * (sorted[j] + sorted[j + 1]);
                        EXPECT_EQ(solver.CountBelow(kappa, between, a, b), j + 1)
                            << angle << " a " << a << " b " << b << " kappa " << kappa;
                    }
                    const double above = sorted.empty() ? 1.0 : 2.0 * sorted.back() + 1.0;
                    EXPECT_EQ(solver.CountBelow(kappa, above, a, b), found);
                }
    }
}

TEST(RunWork, WhatTheQuadraticElementRanIsAcceptedAtTheDefault) {
    // 8 sublayers a ply over 0..200 us: some 7000 wavenumbers of 675 unknowns, minutes of work, at
    // the orders chosen for the accuracy.
    CProblem eight = Parsed(CrossPly(8, 200));
    const std::vector<int> chosen = eight.layerOrders;
    EXPECT_EQ(Planned(eight, kAutomaticOrder, kDefaultPoints), "");
    EXPECT_EQ(eight.layerOrders, chosen);
    // A stack of 32 sublayers a ply (some 2300 unknowns at the default).
    CProblem many = Parsed(CrossPly(32, 5));
    EXPECT_GT(many.model.DofCount(), 2000);
    EXPECT_EQ(Planned(many, kAutomaticOrder, kDefaultPoints), "");
    // A window the quadratic element takes but the chosen orders would not (hours of work): the
    // orders come down until the run fits, the quadratic at the least.
    CProblem quadratic = Parsed(CrossPly(8, 9000), kQuadraticOrder);
    EXPECT_EQ(Planned(quadratic, kQuadraticOrder, kDefaultPoints), "");
    CProblem automatic = Parsed(CrossPly(8, 9000));
    PlanBroadbandCutoff(automatic, kAutomaticOrder, kDefaultPoints);
    const int before = automatic.model.HighestOrder();
    CWavenumbers grid;
    ASSERT_EQ(MakeWavenumbers(automatic, grid), "");
    EXPECT_GT(EstimateRunWork(automatic, grid, kDefaultPoints).Total(), kMaxRunWork);
    EXPECT_TRUE(FitOrdersToWork(automatic, kAutomaticOrder, kDefaultPoints));
    EXPECT_LT(automatic.model.HighestOrder(), before);
    EXPECT_GE(automatic.model.HighestOrder(), kQuadraticOrder);
    EXPECT_EQ(CheckRunSize(automatic, kDefaultPoints), "");
    // A fixed order is never changed.
    CProblem fixed = Parsed(CrossPly(8, 9000), 7);
    EXPECT_FALSE(FitOrdersToWork(fixed, 7, kDefaultPoints));
    EXPECT_EQ(fixed.model.HighestOrder(), 7);
}

TEST(RunWork, ARefusalNamesWhatMakesTheRunLarge) {
    const auto refusal = [](const std::string& text, int order, int points = kDefaultPoints, int receivers = 0) {
        CProblem p = Parsed(text, order, points);
        const std::string error = Planned(p, order, points, receivers);
        EXPECT_NE(error.find("the run is too large"), std::string::npos) << error;
        EXPECT_NE(error.find("minutes of processor time"), std::string::npos) << error;
        return error;
    };
    const auto before = [](const std::string& text, const char* first, const char* second) {
        const size_t a = text.find(first), b = text.find(second);
        return a != std::string::npos && (b == std::string::npos || a < b);
    };
    // Elements of order 8: the order inflated the model.
    std::string e = refusal(CrossPly(30, 2000), 8);
    EXPECT_NE(e.find("mostly the eigen-solves; use a lower --order"), std::string::npos) << e;
    // Quadratic elements, a long window: the mesh and the window.
    e = refusal(CrossPly(125, 2000), kQuadraticOrder);
    EXPECT_NE(e.find("mostly the eigen-solves; use fewer sublayers"), std::string::npos) << e;
    EXPECT_TRUE(before(e, "a shorter window", "a nearer receiver")) << e;
    // A receiver far beyond the window's reach: its distance first.
    e = refusal(CrossPly(125, 100, 20000), kQuadraticOrder);
    EXPECT_TRUE(before(e, "a nearer receiver", "a shorter window")) << e;
    // Many output points over many wavenumbers: the synthesis.
    e = refusal(CrossPly(8, 8000), kQuadraticOrder, 100000);
    EXPECT_NE(e.find("mostly the synthesis"), std::string::npos) << e;
    EXPECT_NE(e.find("use fewer --points"), std::string::npos) << e;
    // Ten thousand receivers at 5000 points each over a long window: their sums.
    e = refusal(CrossPly(1, 7000), kQuadraticOrder, 5000, 10000);
    EXPECT_NE(e.find("mostly the receiving points' sums; use fewer receiving points"), std::string::npos) << e;
}

TEST(RunWork, ABandLimitedLoadIsCountedByTheWavenumbersWithModes) {
    // A 5-cycle Hann burst at 0.2 MHz: its modes live at the low wavenumbers, the rest of the grid
    // costs two Cholesky factors each. The estimate's count of wavenumbers with modes is the run's.
    CProblem p = Parsed(CrossPly(2, 60, 40, "90", "4 0"));
    for (int i = 0; i <= 200; ++i) {  // 40 samples a period
        const double t = 0.125 * i, pi = 3.14159265358979323846;
        p.load.times.push_back(t);
        p.load.values.push_back(0.5 * (1 - std::cos(2 * pi * t / 25)) * std::sin(2 * pi * 0.2 * t));
    }
    PlanBand(p, kAutomaticOrder);
    ASSERT_TRUE(p.band.Limited());
    CWavenumbers grid;
    ASSERT_EQ(MakeWavenumbers(p, grid), "");
    const CRunWork work = EstimateRunWork(p, grid, 301);
    CRunOptions options;
    options.nPoints = 301;
    const CTransientResult run = SolveTransient(p, options);
    ASSERT_EQ(run.error, "");
    ASSERT_GT(run.nModalWavenumbers, 20u);
    // 24 samples of the grid: the share is known to about 1 / 24 of it.
    EXPECT_NEAR(work.dModalWavenumbers, static_cast<double>(run.nModalWavenumbers), grid.kappa.size() / 24.0 + 1);
    EXPECT_LT(work.dModalWavenumbers, 0.5 * work.dWavenumbers);
    // Every wavenumber solved for its modes would cost several times more.
    const CModalSolver solver(AssembleBands(p.model));
    EXPECT_LT(work.dEigen, 0.5 * work.dWavenumbers * WavenumberCost(solver, 2, 2).dModal);
}

TEST(RunWork, ANearlyIncompressibleMaterialIsNamedOrBoundedByTheEstimate) {
    const auto graded = [](const char* top) {
        return std::string("200 8 0.4999999999999\n70 2.7 0.33\n2\n") + top + " 0.5\n0.5 0.5\n0.0\n1\n1 3.14\n3 3\n0 10\n2\n";
    };
    // One such material throughout: its compression wave, millions of times faster than its shear
    // wave, would need some 2e8 wavenumbers; refused, the material named as the cause.
    CProblem p;
    CFgmOptions options;
    ASSERT_EQ(ParseFgmInput("200 8 0.4999999999999\n1\n1 1\n1\n1\n1 3.14\n3 3\n0 10\n2\n", "inputfgm.dat", options, p),
              "");
    std::string error = CheckRunSize(p, kDefaultPoints);
    EXPECT_NE(error.find("nearly incompressible material"), std::string::npos) << error;
    EXPECT_NE(error.find("use a material further from incompressibility"), std::string::npos) << error;
    // The same in a laminate (an isotropic ply).
    ASSERT_EQ(ParseCompositeInput("c\n1 1 3.113646\n1 1\n0\n8\n1\n200 200 66.666666963 0.49999999 0.49999999\n"
                                  "1\n1 3.14\n3 3\n0 10\n2\n",
                                  "input.d", p),
              "");
    error = CheckRunSize(p, kDefaultPoints);
    EXPECT_NE(error.find("nearly incompressible material"), std::string::npos) << error;
    // Graded up to it at the top surface only, where no Gauss point lies: the orders follow the
    // speeds inside the layers (not the 64 an end sample asked for), and the run's estimate, which
    // counts the wide blocks' dense reductions, bounds it.
    ASSERT_EQ(ParseFgmInput(graded("1.0"), "inputfgm.dat", options, p), "");
    for (int order : p.layerOrders) EXPECT_LT(order, 32);
    PlanBroadbandCutoff(p, kAutomaticOrder, kDefaultPoints);
    EXPECT_EQ(CheckRunSize(p, kDefaultPoints), "");
    const CModalSolver solver(AssembleBands(p.model));
    for (const CModalSolver::CBlockShape& b : solver.BlockShapes())
        if (b.nSize >= 64 && 12 * b.ka >= b.nSize) {
            EXPECT_TRUE(b.bDense) << b.nSize << " " << b.ka;
        }
}

namespace {

// The help page's tone burst on the plate above: a 5-cycle Hann burst at 0.2 MHz, 40 samples a period.
CProblem Burst(int sublayers, double t1) {
    CProblem p = Parsed(CrossPly(sublayers, t1, 10, "90", "4 0"), kQuadraticOrder);
    for (int i = 0; i <= 200; ++i) {
        const double t = 0.125 * i, pi = 3.14159265358979323846;
        p.load.times.push_back(t);
        p.load.values.push_back(0.5 * (1 - std::cos(2 * pi * t / 25)) * std::sin(2 * pi * 0.2 * t));
    }
    PlanBand(p, kQuadraticOrder);
    return p;
}

}  // namespace

// A point source priced as it runs: the band-limited split pays for its searches and its near
// field but solves only its disc's vectors, and the share with modes is counted, so it costs less
// than the same run on the single lattice; a run past the bound is refused naming its wave
// vectors, and a small one is not.
TEST(PointSourceWork, SplitPricedBelowTheSingleLatticeAndTheBoundRefuses) {
    const CProblem p = Burst(1, 30);
    ASSERT_TRUE(p.band.Limited());
    CSourceRequest split, single;
    split.receivers = single.receivers = {{10, 0}};
    single.bSingleLattice = true;
    ASSERT_EQ(CheckSourceRunSize(p, split, 101), "");
    ASSERT_EQ(CheckSourceRunSize(p, single, 101), "");
    CSourceGrid gSplit, gSingle;
    ASSERT_EQ(MakeSourceGrid(p, split, gSplit), "");
    ASSERT_EQ(MakeSourceGrid(p, single, gSingle), "");
    const CSourceWork a = EstimateSourceWork(p, gSplit, split), b = EstimateSourceWork(p, gSingle, single);
    EXPECT_GT(a.dSearch, 0);
    EXPECT_GT(a.dNear, 0);
    EXPECT_EQ(b.dSearch + b.dNear, 0);
    EXPECT_GT(a.dModalShare, 0.5);
    EXPECT_LT(a.dModalShare, 1.0);
    EXPECT_LT(a.Solves(), b.Solves());
    // So small a disc solves its vectors; the atlas asked for is priced by its nodes instead.
    EXPECT_EQ(a.dAtlasNodes, 0);
    CSourceRequest atlas = split;
    atlas.modes = EModeSource::kAtlas;
    const CSourceWork c = EstimateSourceWork(p, gSplit, atlas);
    EXPECT_GT(c.dAtlasNodes, 0);
    EXPECT_NE(c.dEigen, a.dEigen);

    // 16 sublayers a ply (387 unknowns) and a window of 40 us: some 1.6e6 wave vectors of a few
    // milliseconds each, over the bound.
    CProblem large = Parsed(CrossPly(16, 40), kQuadraticOrder);
    CSourceRequest far;
    far.receivers = {{10, 0}};
    const std::string error = CheckSourceRunSize(large, far, 101);
    EXPECT_NE(error.find("the run is too large"), std::string::npos) << error;
    EXPECT_NE(error.find("wave vectors of 387 unknowns"), std::string::npos) << error;
}
