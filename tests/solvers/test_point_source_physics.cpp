// The point source against physics derived apart from the solvers: the exact response of a
// half-space (Cagniard-de Hoop, in closed form for Poisson's ratio 1/4) seen on a thick plate
// before anything returns from its bottom.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>

#include "HalfSpace.h"
#include "SolverRunner.h"

using namespace solvertest;

// The exact reference itself: nothing before the P wave, the static (Boussinesq) displacement
// (1 - nu) / (2 pi mu r) from the Rayleigh wave on, growing without bound just before it.
TEST(HalfSpace, ClosedFormHasTheKnownArrivalsAndStaticLimit) {
    EXPECT_EQ(HalfSpaceStepResponse(0.57), 0.0);  // P arrives at tau = 1 / sqrt 3
    EXPECT_LT(HalfSpaceStepResponse(0.7), 0.0);
    const double rayleigh = HalfSpaceRayleighTau();
    EXPECT_NEAR(1 / rayleigh, 0.919401, 1e-6);  // c_R / beta for Poisson's ratio 1/4
    EXPECT_LT(HalfSpaceStepResponse(rayleigh * (1 - 1e-8)), -100.0);
    for (double tau : {rayleigh * (1 + 1e-9), 1.2, 3.0, 1e3})
        EXPECT_NEAR(HalfSpaceStepResponse(tau), 3 / (8 * std::numbers::pi), 1e-14) << tau;
    // Spread over a small Gaussian the static displacement is 1/r to second order in its width.
    const double r = 4, width = 0.05;
    EXPECT_NEAR(SpreadHalfSpaceStep(r, 100, width), 3 / (8 * std::numbers::pi * r) * (1 + width * width / (4 * r * r)),
                1e-9);
}

// A 10 mm isotropic plate (shear speed 1 mm/us, Poisson's ratio 1/4) under a Z step load read as
// W at 4 and 5 mm (one of them off the axes), 0..9 us: the first wave back from the bottom
// (P down and up) reaches them after 11.5 us, so until then the plate is a half-space. The
// solvers spread the load as a Gaussian of half-width 1.1 h / c (0.55 mm for c = 20); the
// reference is the exact point response summed over that spread. 16 sublayers of order 8 give
// 2e-4 of the peak (measured; 8 sublayers 1.5e-3).
TEST(PointSourcePhysics, ThickPlateAtEarlyTimesIsTheHalfSpace) {
    CLaminate lam;
    lam.materials = {Isotropic(2.5, 0.25, 1.0)};
    lam.layers = {{1, 10.0, 16}};
    lam.dDimConst = 20;
    lam.dTimeTo = 9;
    lam.nLoadDir = 3, lam.nOutput = 3;
    CTempDir dir;
    dir.Write("input.d", lam.Text());
    dir.Write("xy.txt", "4 0\n3 4\n");
    const CRun run =
        RunSolver(LUMDEX_PATH, {"--order", "8", "--point-source", "--points", "91", "--receivers-xy", "xy.txt"}, dir.Path());
    ASSERT_EQ(run.nExit, 0) << run.strErr;
    const double width = 2 * std::sqrt(12.0) / (2 * std::numbers::pi * lam.dDimConst / 10.0);
    for (const auto& [name, r] : {std::pair{"result_r0001.dat", 4.0}, {"result_r0002.dat", 5.0}}) {
        const CCurve curve = ReadCurve(dir.Read(name));
        ASSERT_EQ(curve.u.size(), 91u);
        std::vector<double> exact;
        for (double t : curve.t) exact.push_back(SpreadHalfSpaceStep(r, t, width));
        const double peak = MaxAbs(exact);
        ASSERT_GT(peak, 0.02);
        // 1e-3 of the peak: five times the measured error, ten times tighter than the 1 % asked.
        for (size_t j = 0; j < exact.size(); ++j)
            EXPECT_NEAR(curve.u[j], exact[j], 1e-3 * peak) << name << " t = " << curve.t[j];
    }
}
