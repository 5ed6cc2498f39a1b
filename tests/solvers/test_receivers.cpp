// Many receiving points from one set of eigen-solves: numbered result files in the given order,
// each the curve a run at that point alone gives; bad lists and bounds refused.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "SolverRunner.h"

using namespace solvertest;

namespace {

CLaminate Plate() {
    CLaminate lam;
    lam.materials = {Isotropic(200, 0.25, 8.0)};
    lam.layers = {{1, 1.0, 3}};
    lam.dTimeTo = 3;
    return lam;
}

double MaxDiff(const CCurve& a, const CCurve& b) {
    double m = 0;
    for (size_t i = 0; i < a.u.size(); ++i) m = std::max(m, std::abs(a.u[i] - b.u[i]));
    return m;
}

CCurve SingleRun(CLaminate lam, double x) {
    CTempDir dir;
    lam.dReceiverX = x;
    dir.Write("input.d", lam.Text());
    const CRun run = RunSolver(LUMDEX_PATH, {"--points", "301"}, dir.Path());
    EXPECT_EQ(run.nExit, 0) << run.strErr;
    return ReadCurve(dir.Read("result.dat"));
}

}  // namespace

TEST(Receivers, ListGivesOneFileEachInOrder) {
    const CLaminate lam = Plate();
    CTempDir dir;
    dir.Write("input.d", lam.Text());
    dir.Write("points.txt", "# receiving points, mm\n4\n\n   # the near one\r\n  1.5 \r\n-4\n");
    const CRun run = RunSolver(LUMDEX_PATH, {"--receivers", "points.txt", "--points", "301"}, dir.Path());
    ASSERT_EQ(run.nExit, 0) << run.strErr;
    EXPECT_NE(run.strOut.find("progress 100%"), std::string::npos);
    EXPECT_FALSE(dir.Exists("result.dat"));  // the input's own point is overridden
    EXPECT_FALSE(dir.Exists("result_r0004.dat"));
    const CCurve far = ReadCurve(dir.Read("result_r0001.dat"));
    const CCurve near = ReadCurve(dir.Read("result_r0002.dat"));
    const CCurve mirrored = ReadCurve(dir.Read("result_r0003.dat"));
    EXPECT_EQ(far.nFirst, 3);
    EXPECT_EQ(far.nCount, 301);
    // The farthest point sets the wavenumbers, so its curve is the single run's to rounding;
    // the nearer one sums a finer grid than its own run, both free of aliasing.
    const CCurve far1 = SingleRun(lam, 4), near1 = SingleRun(lam, 1.5);
    EXPECT_LT(MaxDiff(far, far1), 2e-8 * MaxAbs(far1.u));  // the files keep 9 digits
    EXPECT_LT(MaxDiff(near, near1), 1e-6 * MaxAbs(near1.u));
    // A Z load read as W is even in x.
    EXPECT_LT(MaxDiff(mirrored, far), 2e-8 * MaxAbs(far.u));
    EXPECT_GT(MaxAbs(near.u), 0);
}

TEST(Receivers, RangeIncludesBothEndsAndKavritNamesItsFiles) {
    CGraded fgm;
    fgm.materials = {{200, 8.0, 0.25}};
    fgm.layers = {{1.0, 1.0}};
    fgm.dLastFraction = 1.0;
    fgm.dTimeTo = 3;
    CTempDir dir;
    dir.Write("inputfgm.dat", fgm.Text());
    const CRun run = RunSolver(KAVRIT_PATH, {"--receiver-range", "1", "3", "3", "--points", "301"}, dir.Path());
    ASSERT_EQ(run.nExit, 0) << run.strErr;
    EXPECT_TRUE(dir.Exists("resultfgm_r0001.dat"));
    EXPECT_TRUE(dir.Exists("resultfgm_r0003.dat"));
    EXPECT_FALSE(dir.Exists("resultfgm_r0004.dat"));
    EXPECT_FALSE(dir.Exists("resultfgm.dat"));
    // The last file is the point at 3 mm: the same as the graded input run there alone.
    fgm.dReceiverX = 3;
    CTempDir alone;
    alone.Write("inputfgm.dat", fgm.Text());
    ASSERT_EQ(RunSolver(KAVRIT_PATH, {"--points", "301"}, alone.Path()).nExit, 0);
    const CCurve last = ReadCurve(dir.Read("resultfgm_r0003.dat")), single = ReadCurve(alone.Read("resultfgm.dat"));
    EXPECT_LT(MaxDiff(last, single), 2e-8 * MaxAbs(single.u));
}

TEST(Receivers, BadListsAndBoundsAreRefused) {
    CTempDir dir;
    dir.Write("input.d", Plate().Text());
    dir.Write("bad.txt", "1\n2\n2 mm\n");
    dir.Write("empty.txt", "# nothing\n\n");
    dir.Write("huge.txt", "1e300\n");
    std::string many;
    for (int i = 0; i <= 10000; ++i) many += "1\n";
    dir.Write("many.txt", many);
    const auto run = [&](const std::vector<std::string>& args) { return RunSolver(LUMDEX_PATH, args, dir.Path()); };

    CRun r = run({"--receivers", "bad.txt"});
    EXPECT_EQ(r.nExit, 1);
    EXPECT_NE(r.strErr.find("bad.txt line 3"), std::string::npos) << r.strErr;
    EXPECT_EQ(run({"--receivers", "empty.txt"}).nExit, 1);
    EXPECT_EQ(run({"--receivers", "huge.txt"}).nExit, 1);
    EXPECT_EQ(run({"--receivers", "missing.txt"}).nExit, 1);
    EXPECT_EQ(run({"--receivers", "many.txt"}).nExit, 2);
    EXPECT_EQ(run({"--receiver-range", "0", "1", "10001"}).nExit, 2);
    EXPECT_EQ(run({"--receiver-range", "0", "1", "0"}).nExit, 2);
    EXPECT_EQ(run({"--receiver-range", "0", "1"}).nExit, 2);
    EXPECT_EQ(run({"--receiver-range", "0", "1", "2", "--receivers", "bad.txt"}).nExit, 2);
    EXPECT_EQ(run({"--receiver-range", "0", "1", "2", "--dispersion"}).nExit, 2);
    EXPECT_EQ(run({"--receiver-range", "0", "1", "10000", "--points", "10000"}).nExit, 2);  // 1e8 values
    EXPECT_FALSE(dir.Exists("result_r0001.dat"));
    EXPECT_FALSE(dir.Exists("result.dat"));
}

TEST(Receivers, SampledLoadIsTheSingleRun) {
    // A sampled load sums on its own finer grid before the output times are made.
    CLaminate lam = Plate();
    lam.nLoadType = 4;
    lam.dReceiverX = 3;
    const std::string ft = "0 0\n0.2 1\n0.5 0.3\n1.0 0\n";
    CTempDir dir, alone;
    for (const CTempDir* d : {&dir, &alone}) {
        d->Write("input.d", lam.Text());
        d->Write("ft.dat", ft);
    }
    ASSERT_EQ(RunSolver(LUMDEX_PATH, {"--receiver-range", "3", "-1", "2", "--points", "301"}, dir.Path()).nExit, 0);
    ASSERT_EQ(RunSolver(LUMDEX_PATH, {"--points", "301"}, alone.Path()).nExit, 0);
    const CCurve many = ReadCurve(dir.Read("result_r0001.dat")), single = ReadCurve(alone.Read("result.dat"));
    EXPECT_GT(MaxAbs(single.u), 0);
    EXPECT_LT(MaxDiff(many, single), 2e-8 * MaxAbs(single.u));
    EXPECT_TRUE(dir.Exists("result_r0002.dat"));
}
