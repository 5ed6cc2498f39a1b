// A tone burst (the "Sampled load..." form's samples, 40 a period) through the real solver at its
// defaults, where only the modes near the burst's band are synthesised and the others enter
// quasi-statically, against the converged full computation at several distances, the nearest
// one load-spread from the load.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "SampledLoadFiles.h"
#include "SolverRunner.h"

using namespace solvertest;

namespace {

// [0/90/90/0] carbon/epoxy, 1 mm, 2 sublayers a ply, Z load read as W over 0..45 us; the
// dimensionless constant 1.5 keeps the reference quick (a load spread of 0.7 mm).
CLaminate CrossPly() {
    CLaminate lam;
    lam.materials = {{140, 10, 5, 0.3, 0.45, 0, 1.6}, {140, 10, 5, 0.3, 0.45, 90, 1.6}};
    lam.layers = {{1, 0.25, 2}, {2, 0.25, 2}, {2, 0.25, 2}, {1, 0.25, 2}};
    lam.dDimConst = 1.5;
    lam.nLoadType = 4;
    lam.dFrequency = 0;
    lam.dTimeTo = 45;
    return lam;
}

std::string BurstSamples() {
    CSampledLoad load;
    load.m_shape = ELoadShape::ToneBurst;
    load.m_dFrequency = 0.2;
    load.m_dCycles = 5;
    return FormatLoadSamples(SampleLoad(load));
}

}  // namespace

TEST(BandLimited, ToneBurstMatchesTheConvergedFullComputationNearAndFar) {
    CTempDir dir;
    dir.Write("input.d", CrossPly().Text());
    dir.Write("ft.dat", BurstSamples());
    dir.Write("points.txt", "1\n10\n40\n");
    // The reference synthesises every mode of a model whose orders resolve 1e-6 in frequency far
    // beyond the burst (order 6: to about 45 rad/us, five times the band's edge).
    const CRun full = RunSolver(LUMDEX_PATH, {"--order", "6", "--every-mode", "--receivers", "points.txt"}, dir.Path());
    ASSERT_EQ(full.nExit, 0) << full.strErr;
    std::vector<CCurve> reference;
    for (int i = 1; i <= 3; ++i) reference.push_back(ReadCurve(dir.Read("result_r000" + std::to_string(i) + ".dat")));

    const CRun banded = RunSolver(LUMDEX_PATH, {"--timing", "--receivers", "points.txt"}, dir.Path());
    ASSERT_EQ(banded.nExit, 0) << banded.strErr;
    // Fewer wavenumbers solved for their modes than the run has, and a lower order.
    const size_t at = banded.strOut.find("synthesised at ");
    ASSERT_NE(at, std::string::npos) << banded.strOut;
    const size_t wavenumbers = banded.strOut.find("wavenumbers ");
    EXPECT_LT(std::stoi(banded.strOut.substr(at + 15)), std::stoi(banded.strOut.substr(wavenumbers + 12)));
    EXPECT_NE(banded.strOut.find("element orders (layers from the top) 4 4 4 4"), std::string::npos)
        << banded.strOut;
    for (int i = 0; i < 3; ++i) {
        const CCurve curve = ReadCurve(dir.Read("result_r000" + std::to_string(i + 1) + ".dat"));
        ASSERT_EQ(curve.u.size(), reference[i].u.size());
        // Measured 2e-6 near the load and 8e-7 at 10 and 40 mm.
        EXPECT_LT(RelativeL2(curve.u, reference[i].u), 1e-5) << "receiver " << i + 1;
    }
}
