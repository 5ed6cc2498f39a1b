// Kavrit against lumdex: one material is the matching isotropic laminate; a constant volume
// fraction is the homogeneous mixture; grading follows the layers' fractions.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "SolverInput.h"
#include "SolverRunner.h"

using namespace solvertest;

namespace {

CCurve RunIn(const std::string& program, const std::string& input, const std::string& text,
             const std::string& result, const std::vector<std::string>& args = {}) {
    CTempDir dir;
    dir.Write(input, text);
    // Quadratic elements: both solvers' curves are compared with each other, at any order alike.
    const CRun run = RunSolver(program, AtOrder(2, args), dir.Path());
    EXPECT_EQ(run.nExit, 0) << run.strErr;
    EXPECT_NE(run.strOut.find("progress 100%"), std::string::npos);
    return ReadCurve(dir.Read(result));
}

void ExpectSameCurve(const CCurve& a, const CCurve& b, double relative) {
    ASSERT_EQ(a.u.size(), b.u.size());
    const double scale = MaxAbs(a.u);
    ASSERT_GT(scale, 0);
    for (size_t i = 0; i < a.u.size(); ++i) ASSERT_NEAR(a.u[i], b.u[i], relative * scale) << "t " << a.t[i];
}

}  // namespace

TEST(Kavrit, OneMaterialIsTheIsotropicLaminate) {
    for (int plate : {1, 0}) {
        CGraded g;
        g.materials = {{200, 8, 0.25}};
        g.layers = {{0.3, 0.4}, {0.9, 0.6}};  // fractions do not matter with one material
        g.bPlate = plate;
        g.dRadius = 5;
        g.nLoadDir = 1;
        g.nOutput = 3;
        g.dTimeTo = 3;
        CLaminate lam;
        lam.materials = {Isotropic(200, 0.25, 8)};
        lam.layers = {{1, 0.4, 3}, {1, 0.6, 3}};
        lam.bPlate = plate;
        lam.dRadius = 5;
        lam.nLoadDir = 1;
        lam.nOutput = 3;
        lam.dTimeTo = 3;
        const CCurve fgm = RunIn(KAVRIT_PATH, "inputfgm.dat", g.Text(), "resultfgm.dat", {"--sublayers", "3"});
        const CCurve com = RunIn(LUMDEX_PATH, "input.d", lam.Text(), "result.dat");
        SCOPED_TRACE(plate ? "plate" : "shell");
        ExpectSameCurve(com, fgm, 1e-7);
    }
}

TEST(Kavrit, ConstantFractionIsTheHomogeneousMixture) {
    // Half of each: E 150, density 5.25, v 0.25 by the rule of mixtures.
    CGraded g;
    g.materials = {{200, 7.8, 0.3}, {100, 2.7, 0.2}};
    g.layers = {{0.5, 1.0}};
    g.dLastFraction = 0.5;
    g.dTimeTo = 3;
    CLaminate lam;
    lam.materials = {Isotropic(150, 0.25, 5.25)};
    lam.layers = {{1, 1.0, 4}};
    lam.dTimeTo = 3;
    const CCurve fgm = RunIn(KAVRIT_PATH, "inputfgm.dat", g.Text(), "resultfgm.dat", {"--sublayers", "4"});
    const CCurve com = RunIn(LUMDEX_PATH, "input.d", lam.Text(), "result.dat");
    ExpectSameCurve(com, fgm, 1e-7);
}

TEST(Kavrit, MoriTanakaOptionMixesByMoriTanaka) {
    CGraded g;
    g.materials = {{200, 7.8, 0.3}, {70, 2.7, 0.33}};
    g.layers = {{0.5, 1.0}};
    g.dLastFraction = 0.5;
    g.dTimeTo = 3;
    const numerics::CIsotropic mt = numerics::MixMoriTanaka({200, 0.3, 7.8}, {70, 0.33, 2.7}, 0.5);
    CLaminate lam;
    lam.materials = {Isotropic(mt.dE, mt.dNu, mt.dDensity)};  // written to four decimals
    lam.layers = {{1, 1.0, 4}};
    lam.dTimeTo = 3;
    const CCurve fgm = RunIn(KAVRIT_PATH, "inputfgm.dat", g.Text(), "resultfgm.dat", {"--sublayers", "4", "--mori-tanaka"});
    const CCurve com = RunIn(LUMDEX_PATH, "input.d", lam.Text(), "result.dat");
    ExpectSameCurve(com, fgm, 1e-3);
    // The rule of mixtures gives a stiffer plate: a visibly different curve.
    const CCurve rule = RunIn(KAVRIT_PATH, "inputfgm.dat", g.Text(), "resultfgm.dat", {"--sublayers", "4"});
    double diff = 0;
    for (size_t i = 0; i < rule.u.size(); ++i) diff = std::max(diff, std::abs(rule.u[i] - fgm.u[i]));
    EXPECT_GT(diff, 1e-2 * MaxAbs(fgm.u));
}

TEST(Kavrit, GradedPlateMatchesFineHomogeneousSlices) {
    // A plate graded from material 1 on top to material 2 at the bottom against 16 homogeneous
    // slices at their mid-fractions: the frequencies agree to the slicing error.
    CGraded g;
    g.materials = {{200, 7.8, 0.3}, {70, 2.7, 0.33}};
    g.layers = {{1.0, 1.0}};
    g.dLastFraction = 0.0;
    CTempDir dir;
    dir.Write("inputfgm.dat", g.Text());
    const CRun run = RunSolver(KAVRIT_PATH, {"--dispersion", "--sublayers", "16", "--modes", "6", "1"}, dir.Path());
    ASSERT_EQ(run.nExit, 0) << run.strErr;
    const auto graded = ReadDispersion(run.strOut);

    CLaminate lam;
    for (int i = 0; i < 16; ++i) {
        const double v = 1.0 - (i + 0.5) / 16;  // fraction of material 1, top slice first
        lam.materials.push_back(Isotropic(v * 200 + (1 - v) * 70, v * 0.3 + (1 - v) * 0.33, v * 7.8 + (1 - v) * 2.7));
        lam.layers.push_back({i + 1, 1.0 / 16, 1});
    }
    CTempDir lamDir;
    lamDir.Write("input.d", lam.Text());
    const CRun lrun = RunSolver(LUMDEX_PATH, {"--dispersion", "--modes", "6", "1"}, lamDir.Path());
    ASSERT_EQ(lrun.nExit, 0) << lrun.strErr;
    const auto sliced = ReadDispersion(lrun.strOut);
    ASSERT_EQ(graded[0].size(), sliced[0].size());
    for (size_t m = 1; m < graded[0].size(); ++m) EXPECT_NEAR(graded[0][m], sliced[0][m], 2e-3 * graded[0][m]);

    // Upside down (material 2 on top) the plate is a different one: its modes on the top
    // surface differ, but its frequencies are the same.
    CGraded flipped = g;
    flipped.layers = {{0.0, 1.0}};
    flipped.dLastFraction = 1.0;
    dir.Write("inputfgm.dat", flipped.Text());
    const auto f = ReadDispersion(RunSolver(KAVRIT_PATH, {"--dispersion", "--sublayers", "16", "--modes", "6", "1"}, dir.Path()).strOut);
    for (size_t m = 1; m < graded[0].size(); ++m) EXPECT_NEAR(graded[0][m], f[0][m], 1e-9 * graded[0][m]);
}
