// The point source: lumdex / Kavrit --point-source run as child processes, their result files and
// wave-field files read back. References from outside the synthesis under test: the line-load
// run of the same input (a point source summed along the line is the line load), the axisymmetric
// Hankel synthesis against the direction-by-direction one, a plate turned by 90 degrees.
#include <gtest/gtest.h>
#include <hdf5.h>

#include <algorithm>
#include <cmath>

#include "SolverRunner.h"

using namespace solvertest;

namespace {

struct CField {
    std::vector<double> value, x, y, t;
    std::vector<hsize_t> shape;
    double At(size_t t, size_t j, size_t i) const { return value[(t * y.size() + j) * x.size() + i]; }
};

std::vector<double> ReadDataset(hid_t file, const char* name, std::vector<hsize_t>* shape = nullptr) {
    const hid_t set = H5Dopen2(file, name, H5P_DEFAULT);
    const hid_t space = H5Dget_space(set);
    std::vector<hsize_t> dims(static_cast<size_t>(H5Sget_simple_extent_ndims(space)));
    H5Sget_simple_extent_dims(space, dims.data(), nullptr);
    hsize_t count = 1;
    for (hsize_t d : dims) count *= d;
    std::vector<double> out(count);
    H5Dread(set, H5T_NATIVE_DOUBLE, H5S_ALL, H5S_ALL, H5P_DEFAULT, out.data());
    H5Sclose(space);
    H5Dclose(set);
    if (shape) *shape = dims;
    return out;
}

CField ReadField(const std::string& path) {
    CField f;
    const hid_t file = H5Fopen(path.c_str(), H5F_ACC_RDONLY, H5P_DEFAULT);
    EXPECT_GE(file, 0) << path;
    if (file < 0) return f;
    f.value = ReadDataset(file, "/field", &f.shape);
    f.x = ReadDataset(file, "/x");
    f.y = ReadDataset(file, "/y");
    f.t = ReadDataset(file, "/t");
    H5Fclose(file);
    return f;
}

std::string TextAttribute(const std::string& path, const char* object, const char* name) {
    const hid_t file = H5Fopen(path.c_str(), H5F_ACC_RDONLY, H5P_DEFAULT);
    const hid_t attr = H5Aopen_by_name(file, object, name, H5P_DEFAULT, H5P_DEFAULT);
    const hid_t type = H5Aget_type(attr);
    char* text = nullptr;
    std::string out;
    if (H5Tis_variable_str(type) > 0 && H5Aread(attr, type, &text) >= 0 && text) out = text;
    H5free_memory(text);
    H5Tclose(type);
    H5Aclose(attr);
    H5Fclose(file);
    return out;
}

CPly CarbonEpoxy(double angle) { return {140, 10, 5, 0.3, 0.45, angle, 1.6}; }

// 1 mm plates, quadratic elements, short windows: quick runs.
CLaminate Isotropic1mm() {
    CLaminate lam;
    lam.materials = {Isotropic(2.5, 0.25, 1.0)};
    lam.layers = {{1, 1.0, 4}};
    lam.dTimeTo = 5;
    lam.dReceiverX = 3;
    return lam;
}
CLaminate Laminate(double a, double b) {
    CLaminate lam;
    lam.materials = {CarbonEpoxy(a), CarbonEpoxy(b)};
    lam.layers = {{1, 0.25, 1}, {2, 0.25, 1}, {2, 0.25, 1}, {1, 0.25, 1}};
    lam.dTimeTo = 1;
    lam.dReceiverX = 3;
    return lam;
}

CRun RunPoint(const CLaminate& lam, std::vector<std::string> args, CTempDir& dir, const std::string& xy = "") {
    dir.Write("input.d", lam.Text());
    if (!xy.empty()) dir.Write("xy.txt", xy);
    args.insert(args.begin(), {"--order", "2", "--point-source"});
    return RunSolver(LUMDEX_PATH, args, dir.Path());
}

}  // namespace

// An isotropic plate: every direction alike, so one direction and Bessel sums (with the Euler-
// Maclaurin end corrections) must give what the lattice of wave vectors gives. Neither sum is
// spectral at the cut-off, where the taper (the line load's) ends at exp(-12) = 6e-6 of the
// load: differences of some 2e-5 of the peak are that step, summed differently; 1e-4 allows it.
TEST(PointSource, HankelSynthesisEqualsDirectionByDirection) {
    const std::string xy = "3 0\n0 2.5\n-1.5 2\n0 0\n";
    for (const auto& [load, output] : {std::pair{3, 3}, {1, 1}, {1, 2}, {1, 3}, {3, 1}, {2, 2}}) {
        CLaminate lam = Isotropic1mm();
        lam.nLoadDir = load;
        lam.nOutput = output;
        std::vector<std::vector<double>> curves[2];
        for (int every = 0; every < 2; ++every) {
            CTempDir dir;
            std::vector<std::string> args = {"--points", "101", "--receivers-xy", "xy.txt"};
            if (every) args.push_back("--every-direction");
            const CRun run = RunPoint(lam, args, dir, xy);
            ASSERT_EQ(run.nExit, 0) << run.strErr;
            for (int r = 1; r <= 4; ++r) curves[every].push_back(ReadCurve(dir.Read("result_r000" + std::to_string(r) + ".dat")).u);
        }
        double peak = 0;
        for (const auto& c : curves[1]) peak = std::max(peak, MaxAbs(c));
        ASSERT_GT(peak, 0);
        for (size_t r = 0; r < 4; ++r)
            for (size_t j = 0; j < curves[0][r].size(); ++j)
                ASSERT_NEAR(curves[0][r][j], curves[1][r][j], 1e-4 * peak)
                    << "load " << load << " output " << output << " receiver " << r << " sample " << j;
    }
}

// Summed along the line x = x0, the point source's field is the line load's curve at x0: the line
// load is a separate synthesis (one direction, a cosine or sine transform). Laminates without
// any symmetry ([30/-30/-30/30]), with mirror symmetry ([0/90/90/0]) and the isotropic plate.
// The field is sampled finely enough (0.25 mm, below 2 pi / kMax) that its sum is the integral;
// 1e-4 of the peak allows the taper's step at the cut-off (see above), measured at 1.2e-5.
TEST(PointSource, FieldSummedAlongALineIsTheLineLoad) {
    struct CCase {
        CLaminate lam;
        int load, output;
    };
    const std::vector<CCase> cases = {{Laminate(30, -30), 3, 3}, {Laminate(30, -30), 1, 1},
                                      {Laminate(0, 90), 1, 3},   {Laminate(0, 90), 2, 2},
                                      {Isotropic1mm(), 3, 1}};
    for (const CCase& c : cases) {
        CLaminate lam = c.lam;
        lam.dReceiverX = 1.5;  // every wave (SH0 at 1.8 mm/us) arrives within the window
        lam.nLoadDir = c.load;
        lam.nOutput = c.output;
        // Beyond the fastest front (9.5 mm/us in the laminates, 1.7 in the isotropic plate) and the
        // load's spread (2.8 mm), where the field has died away.
        const double reach = std::ceil((c.lam.materials.size() == 2 ? 9.6 : 1.8) * lam.dTimeTo + 3.0);
        const int ny = static_cast<int>(2 * reach / 0.25) + 1;
        CTempDir dir;
        const CRun run = RunPoint(lam, {"--field", "1.5", "1.5", "1", std::to_string(-reach), std::to_string(reach), std::to_string(ny),
                                   "--field-times", "0", std::to_string(lam.dTimeTo), "5", "--field-output", "f.h5"},
                             dir);
        ASSERT_EQ(run.nExit, 0) << run.strErr;
        EXPECT_FALSE(dir.Exists("result.dat"));
        const CField f = ReadField(dir.File("f.h5"));
        ASSERT_EQ(f.shape, (std::vector<hsize_t>{5, static_cast<hsize_t>(ny), 1}));

        CTempDir line;
        line.Write("input.d", lam.Text());
        const CRun lineRun = RunSolver(LUMDEX_PATH, {"--order", "2", "--points", "5"}, line.Path());
        ASSERT_EQ(lineRun.nExit, 0) << lineRun.strErr;
        const CCurve curve = ReadCurve(line.Read("result.dat"));
        const double peak = MaxAbs(curve.u);
        ASSERT_GT(peak, 0);
        for (size_t t = 0; t < 5; ++t) {
            double sum = 0;
            for (int j = 0; j < ny; ++j) sum += f.At(t, j, 0) * 0.25;
            EXPECT_NEAR(sum, curve.u[t], 1e-4 * peak) << "case load " << c.load << " output " << c.output << " t " << t;
        }
    }
}

// [90/0/0/90] is [0/90/90/0] turned by 90 degrees: its X load read as U at (x, y) is the other's Y
// load read as V at (y, x), and X read as W there the other's Y read as W. The turned plies go
// through other directions of the wave vectors than the originals.
TEST(PointSource, CrossPlyTurnedByAQuarterSwapsTheAxes) {
    const std::string xy = "2.5 1\n-1 0.5\n";
    const std::string swapped = "1 2.5\n0.5 -1\n";
    for (const auto& [load, output, load2, output2] : {std::array{1, 1, 2, 2}, {1, 3, 2, 3}, {3, 2, 3, 1}}) {
        CLaminate a = Laminate(0, 90), b = Laminate(90, 0);
        a.nLoadDir = load, a.nOutput = output;
        b.nLoadDir = load2, b.nOutput = output2;
        CTempDir da, db;
        const CRun ra = RunPoint(a, {"--points", "51", "--receivers-xy", "xy.txt"}, da, xy);
        const CRun rb = RunPoint(b, {"--points", "51", "--receivers-xy", "xy.txt"}, db, swapped);
        ASSERT_EQ(ra.nExit, 0) << ra.strErr;
        ASSERT_EQ(rb.nExit, 0) << rb.strErr;
        for (const char* name : {"result_r0001.dat", "result_r0002.dat"}) {
            const CCurve ca = ReadCurve(da.Read(name)), cb = ReadCurve(db.Read(name));
            const double peak = MaxAbs(ca.u);
            ASSERT_GT(peak, 0);
            for (size_t j = 0; j < ca.u.size(); ++j) ASSERT_NEAR(ca.u[j], cb.u[j], 1e-9 * peak) << name << " " << j;
        }
    }
}

// Reciprocity: an X load read as W at p equals a Z load read as U at -p (source and receiver
// swapped); and a cross-ply plate's field is symmetric about both axes (U of an X load even in
// x and y, V of it odd in both), on a rectangle off centre so that mirrored points are
// different samples of the transform.
TEST(PointSource, ReciprocityAndCrossPlySymmetry) {
    CLaminate xw = Laminate(30, -30), zu = Laminate(30, -30);
    xw.nLoadDir = 1, xw.nOutput = 3;
    zu.nLoadDir = 3, zu.nOutput = 1;
    CTempDir d1, d2;
    ASSERT_EQ(RunPoint(xw, {"--points", "51", "--receivers-xy", "xy.txt"}, d1, "2 1.5\n").nExit, 0);
    ASSERT_EQ(RunPoint(zu, {"--points", "51", "--receivers-xy", "xy.txt"}, d2, "-2 -1.5\n").nExit, 0);
    const CCurve c1 = ReadCurve(d1.Read("result_r0001.dat")), c2 = ReadCurve(d2.Read("result_r0001.dat"));
    for (size_t j = 0; j < c1.u.size(); ++j) ASSERT_NEAR(c1.u[j], c2.u[j], 1e-9 * MaxAbs(c1.u));

    for (int output : {1, 2}) {
        CLaminate lam = Laminate(0, 90);
        lam.nLoadDir = 1, lam.nOutput = output;
        CTempDir dir;
        ASSERT_EQ(RunPoint(lam, {"--field", "-3", "4", "15", "-2", "3", "11", "--field-times", "1", "2", "2", "--field-output",
                            "f.h5"},
                      dir)
                      .nExit,
                  0);
        const CField f = ReadField(dir.File("f.h5"));
        const double peak = MaxAbs(f.value), sign = output == 1 ? 1.0 : -1.0;
        ASSERT_GT(peak, 0);
        // x = -3 + 0.5 i, y = -2 + 0.5 j: -x is i' = 12 - i, -y is j' = 8 - j.
        for (size_t t = 0; t < 2; ++t)
            for (int j = 0; j <= 8; ++j)
                for (int i = 0; i <= 12; ++i) {
                    ASSERT_NEAR(f.At(t, j, i), sign * f.At(t, j, 12 - i), 1e-9 * peak);
                    ASSERT_NEAR(f.At(t, j, i), sign * f.At(t, 8 - j, i), 1e-9 * peak);
                }
    }
}

// The same numbers on any number of threads, and the field file's layout: shape, axes, units and
// the run's settings.
TEST(PointSource, ThreadIndependentAndTheFileLayout) {
    CLaminate lam = Laminate(30, -30);
    lam.nLoadDir = 1, lam.nOutput = 2;
    std::string curve[2];
    CField field[2];
    for (int threads = 1; threads <= 2; ++threads) {
        CTempDir dir;
        const CRun run = RunPoint(lam, {"--threads", std::to_string(threads), "--points", "41", "--receivers-xy", "xy.txt",
                                   "--field", "-2", "2", "5", "-1", "1", "3", "--field-times", "0", "2", "4",
                                   "--field-output", "wave.h5"},
                             dir, "# two points\n1 2\n\n-1 0.5\n");
        ASSERT_EQ(run.nExit, 0) << run.strErr;
        EXPECT_NE(run.strOut.find("progress 100%"), std::string::npos);
        curve[threads - 1] = dir.Read("result_r0002.dat");
        EXPECT_TRUE(dir.Exists("result_r0001.dat"));
        EXPECT_FALSE(dir.Exists("result_r0003.dat"));
        field[threads - 1] = ReadField(dir.File("wave.h5"));
        if (threads == 1) {
            const std::string path = dir.File("wave.h5");
            EXPECT_EQ(TextAttribute(path, "/field", "component"), "V");
            EXPECT_EQ(TextAttribute(path, "/field", "units"), "mm");
            EXPECT_EQ(TextAttribute(path, "/t", "units"), "us");
            EXPECT_EQ(TextAttribute(path, "/", "solver"), "lumdex");
            EXPECT_EQ(TextAttribute(path, "/", "load_direction"), "X");
            EXPECT_EQ(TextAttribute(path, "/", "output"), "V");
        }
    }
    EXPECT_EQ(curve[0], curve[1]);
    EXPECT_EQ(field[0].value, field[1].value);
    EXPECT_EQ(field[0].shape, (std::vector<hsize_t>{4, 3, 5}));
    EXPECT_EQ(field[0].x, (std::vector<double>{-2, -1, 0, 1, 2}));
    EXPECT_EQ(field[0].y, (std::vector<double>{-1, 0, 1}));
    EXPECT_EQ(field[0].t, (std::vector<double>{0, 2.0 / 3, 4.0 / 3, 2}));
    for (double v : field[0].value) EXPECT_TRUE(std::isfinite(v));
}

// Refusals: exit status 2 for options that do not go together or lie outside their bounds, 1 for
// a shell or a bad receivers file; nothing written either way.
TEST(PointSource, BadRequestsAreRefused) {
    struct CCase {
        std::vector<std::string> args;
        int exit;
        std::string says;
    };
    const std::vector<CCase> cases = {
        {{"--receivers-xy", "xy.txt"}, 2, "go with --point-source"},
        {{"--point-source", "--field", "0", "1", "2", "0", "1", "2"}, 2, "go together"},
        {{"--point-source", "--field", "0", "1", "0", "0", "1", "2", "--field-times", "0", "1", "2", "--field-output", "f.h5"}, 2, "NX"},
        {{"--point-source", "--field", "1", "0", "2", "0", "1", "2", "--field-times", "0", "1", "2", "--field-output", "f.h5"}, 2, "run upwards"},
        {{"--point-source", "--receivers", "xy.txt"}, 2, "--point-source goes without"},
        {{"--point-source", "--receivers-xy", "bad.txt"}, 1, "bad.txt line 2: a receiving point must be two numbers"},
    };
    for (const CCase& c : cases) {
        CTempDir dir;
        dir.Write("input.d", Isotropic1mm().Text());
        dir.Write("xy.txt", "1 2\n");
        dir.Write("bad.txt", "1 2\n3\n");
        const CRun run = RunSolver(LUMDEX_PATH, c.args, dir.Path());
        EXPECT_EQ(run.nExit, c.exit) << c.says;
        EXPECT_NE(run.strErr.find(c.says), std::string::npos) << run.strErr;
        EXPECT_FALSE(dir.Exists("result.dat") || dir.Exists("result_r0001.dat") || dir.Exists("f.h5")) << c.says;
    }
    CLaminate shell = Isotropic1mm();
    shell.bPlate = 0;
    shell.dRadius = 10;
    CTempDir dir;
    const CRun run = RunPoint(shell, {}, dir);
    EXPECT_EQ(run.nExit, 1);
    EXPECT_NE(run.strErr.find("a point source needs a plate"), std::string::npos) << run.strErr;
    EXPECT_EQ(std::count(run.strErr.begin(), run.strErr.end(), '\n'), 1);
}

// Kavrit: a graded plate of one material is the isotropic plate of lumdex.
TEST(PointSource, KavritOfOneMaterialIsTheIsotropicPlate) {
    CGraded fgm;
    fgm.materials = {{2.5, 1.0, 0.25}};
    fgm.layers = {{1.0, 1.0}};
    fgm.dLastFraction = 1.0;
    fgm.dTimeTo = 5;
    fgm.dReceiverX = 3;
    CTempDir kd;
    kd.Write("inputfgm.dat", fgm.Text());
    const CRun k = RunSolver(KAVRIT_PATH, {"--order", "2", "--sublayers", "4", "--point-source", "--points", "101"}, kd.Path());
    ASSERT_EQ(k.nExit, 0) << k.strErr;
    CTempDir ld;
    ASSERT_EQ(RunPoint(Isotropic1mm(), {"--points", "101"}, ld).nExit, 0);
    const CCurve a = ReadCurve(kd.Read("resultfgm.dat")), b = ReadCurve(ld.Read("result.dat"));
    const double peak = MaxAbs(b.u);
    ASSERT_GT(peak, 0);
    for (size_t j = 0; j < a.u.size(); ++j) ASSERT_NEAR(a.u[j], b.u[j], 1e-6 * peak);
}
