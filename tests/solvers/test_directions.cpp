// Directional dispersion against references derived here: an isotropic plate is the same in
// every direction, a followed line is the line a dispersion run finds for the turned plate, and
// the skew angle is the normal of the slowness curve, differenced from independent runs.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <numbers>
#include <sstream>

#include "DispersionCurves.h"
#include "Directions.h"
#include "SolverInput.h"
#include "SolverRunner.h"

using namespace numerics;
using namespace solvertest;

namespace {

constexpr double kPi = std::numbers::pi;

CThicknessModel Model(const CLaminate& lam, int order) {
    CProblem p;
    EXPECT_EQ(ParseCompositeInput(lam.Text(), "input.d", p, order, 0), "");
    return p.model;
}

// One carbon/epoxy ply, 1 mm, its fibres at 30 degrees from x: strongly steering.
CLaminate TurnedPly() {
    CLaminate lam;
    lam.materials = {{140, 10, 5, 0.3, 0.45, 30.0, 1.6}};
    lam.layers = {{1, 1.0, 3}};
    return lam;
}

const CDirectionalLine* Line(const CDirectionalCurves& c, const std::string& name) {
    for (const CDirectionalLine& l : c.lines)
        if (l.strName == name) return &l;
    return nullptr;
}

// The wavenumber of mode `name` at omega for the plate turned to theta, by a dispersion run.
double LocatedKappa(const CThicknessModel& model, const std::string& name, double theta, double omega) {
    CNamedPoint point;
    EXPECT_EQ(LocateMode(TurnedModel(model, theta), name, EDispersionRange::kFrequency, omega, point), "") << name;
    return point.point.dKappa;
}

}  // namespace

TEST(Directions, AnIsotropicPlateIsTheSameInEveryDirection) {
    CLaminate lam;
    lam.materials = {Isotropic(2.5, 0.25, 1.0)};
    lam.layers = {{1, 1.0, 4}};
    const CThicknessModel model = Model(lam, 8);
    CDirectionalRequest r;
    r.dOmega = 5.0;  // above the cut-offs of A1 and SH1 (pi)
    r.nDirections = 12;
    r.nModes = 5;
    const CDirectionalCurves c = TraceDirections(model, r);
    ASSERT_EQ(c.error, "");
    CDispersionRequest range;
    range.range = EDispersionRange::kFrequency;
    range.dFrom = r.dOmega;
    range.dTo = 2 * r.dOmega;
    range.nPoints = 1;
    range.nModes = r.nModes;
    const CDispersionCurves along = TraceDispersion(model, range);
    ASSERT_EQ(along.error, "");
    ASSERT_EQ(c.lines.size(), along.lines.size());
    for (size_t l = 0; l < c.lines.size(); ++l) {
        const CDirectionalLine& line = c.lines[l];
        const CModePoint& p = along.lines[l].points.at(0);
        EXPECT_EQ(line.strName, along.lines[l].strName);
        ASSERT_EQ(line.points.size(), 12u) << line.strName;
        for (size_t i = 0; i < line.points.size(); ++i) {
            const CDirectionalPoint& d = line.points[i];
            EXPECT_NEAR(d.dAngle, 2 * kPi * i / 12, 1e-15);
            EXPECT_NEAR(d.dKappa, p.dKappa, 1e-10 * p.dKappa) << line.strName << " " << i;
            EXPECT_NEAR(d.dPhase * d.dSlowness, 1.0, 1e-14);
            EXPECT_NEAR(d.dEnergyAlong, p.dGroup, 1e-8 * std::abs(p.dGroup)) << line.strName;
            EXPECT_NEAR(d.dEnergyAcross, 0.0, 1e-8 * std::abs(p.dGroup)) << line.strName;
        }
    }
    EXPECT_NE(Line(c, "SH1"), nullptr);
}

TEST(Directions, LinesFollowTheTurnedPlateAndSkewIsNormalToTheSlownessCurve) {
    // The skew angle comes from the power flow across the wave vector; the slowness curve
    // s(theta) = k(theta) / omega from dispersion runs of the plate turned to theta +- h, which
    // know nothing of power flow. The energy velocity is the normal of the slowness curve, so
    // skew = -atan(k' / k). Both belong to the same discrete model, so they agree to the
    // difference's error: Richardson over h = 2e-3 and 1e-3 leaves O(h^4), about 1e-11.
    const CThicknessModel model = Model(TurnedPly(), 6);
    CDirectionalRequest r;
    r.dOmega = 2 * kPi * 0.5;  // 0.5 MHz mm: A0, and the S0- and SH0-like lines of the turned ply
    r.nDirections = 36;
    r.nModes = 3;
    const CDirectionalCurves c = TraceDirections(model, r);
    ASSERT_EQ(c.error, "");
    ASSERT_EQ(c.lines.size(), 3u);
    double largestSkew = 0;
    for (const CDirectionalLine& line : c.lines) {
        ASSERT_EQ(line.points.size(), 36u) << line.strName;
        for (int i : {1, 5, 11, 16, 25}) {
            const CDirectionalPoint& p = line.points[static_cast<size_t>(i)];
            // The line followed is the line of that name for the plate turned to its direction.
            EXPECT_NEAR(p.dKappa, LocatedKappa(model, line.strName, p.dAngle, r.dOmega), 1e-9 * p.dKappa)
                << line.strName << " at " << i * 10 << " deg";
            const auto slope = [&](double h) {
                return (LocatedKappa(model, line.strName, p.dAngle + h, r.dOmega) -
                        LocatedKappa(model, line.strName, p.dAngle - h, r.dOmega)) / (2 * h);
            };
            const double derivative = (4 * slope(1e-3) - slope(2e-3)) / 3;
            EXPECT_NEAR(p.dSkew, -std::atan(derivative / p.dKappa), 1e-7) << line.strName << " at " << i * 10 << " deg";
            largestSkew = std::max(largestSkew, std::abs(p.dSkew));
        }
    }
    EXPECT_GT(largestSkew, 0.2);  // the ply steers: the check has teeth
    // The second half turn repeats the first.
    for (const CDirectionalLine& line : c.lines)
        for (size_t i = 0; i < 18; ++i) {
            EXPECT_EQ(line.points[i + 18].dKappa, line.points[i].dKappa);
            EXPECT_NEAR(line.points[i + 18].dAngle, line.points[i].dAngle + kPi, 1e-14);
        }
}

TEST(Directions, EveryModeIsEveryModeOfTheTurnedPlateInEveryDirection) {
    // A cross-ply [0/90] at 3 MHz mm: at 0 degrees its Lamb and SH lines cross freely, turned
    // they part, so lines followed round from 0 degrees come out as other branches. With every
    // mode the set is complete in every direction: the wavenumbers of a dispersion run of the
    // plate turned there, every mode below the frequency, one for one.
    CLaminate lam;
    for (double angle : {0.0, 90.0}) lam.materials.push_back({140, 10, 5, 0.3, 0.45, angle, 1.6});
    lam.layers = {{1, 0.5, 2}, {2, 0.5, 2}};
    const CThicknessModel model = Model(lam, 4);
    CDirectionalRequest r;
    r.dOmega = 2 * kPi * 3;
    r.nDirections = 24;
    r.bEveryMode = true;
    const CDirectionalCurves c = TraceDirections(model, r);
    ASSERT_EQ(c.error, "");
    EXPECT_GE(c.lines.size(), 8u);
    for (int i : {0, 1, 5, 7, 10}) {
        const double theta = 2 * kPi * i / 24;
        CDispersionRequest range;
        range.range = EDispersionRange::kFrequency;
        range.dFrom = r.dOmega;
        range.dTo = 2 * r.dOmega;
        range.nPoints = 1;
        range.nModes = static_cast<int>(c.lines.size()) + 4;  // more than propagate: a missing line shows
        range.bEnergy = false;
        const CDispersionCurves turned = TraceDispersion(TurnedModel(model, theta), range);
        ASSERT_EQ(turned.error, "");
        std::vector<double> expected, found;
        for (const CModeLine& line : turned.lines)
            for (const CModePoint& p : line.points) expected.push_back(p.dKappa);
        for (const CDirectionalLine& line : c.lines) {
            ASSERT_EQ(line.points.size(), 24u) << line.strName;
            found.push_back(line.points[static_cast<size_t>(i)].dKappa);
        }
        std::sort(expected.begin(), expected.end());
        std::sort(found.begin(), found.end());
        ASSERT_EQ(found.size(), expected.size()) << "direction " << i;
        for (size_t j = 0; j < found.size(); ++j) EXPECT_NEAR(found[j], expected[j], 1e-9 * expected[j]) << i << " " << j;
    }
}

TEST(Directions, ProgramPrintsTheTableAndRefusesWhatItCannotDo) {
    CTempDir dir;
    dir.Write("input.d", TurnedPly().Text());
    const CRun run = RunSolver(LUMDEX_PATH, {"--order", "4", "--directions", "8", "--at-fd", "0.5", "--modes", "3"},
                               dir.Path());
    ASSERT_EQ(run.nExit, 0) << run.strErr;
    std::istringstream in(run.strOut);
    std::string line;
    std::getline(in, line);
    EXPECT_EQ(line, "# directions of the plate at frequency 0.5 MHz");
    std::getline(in, line);
    EXPECT_EQ(line.rfind("# mode angle(deg) wavenumber(1/mm) phase_velocity(mm/us) slowness(us/mm)", 0), 0u);
    std::map<std::string, int> rows;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string name;
        fields >> name;
        std::vector<double> v;
        double x = 0;
        while (fields >> x) v.push_back(x);
        ASSERT_EQ(v.size(), 9u) << line;
        EXPECT_EQ(v[0], 45.0 * rows[name]);
        EXPECT_NEAR(v[2] * v[3], 1.0, 1e-9);                    // phase velocity times slowness
        EXPECT_NEAR(v[6], std::hypot(v[4], v[5]), 1e-9 * v[6]);  // the energy speed
        EXPECT_NEAR(std::fmod(v[0] + v[7] + 360, 360), v[8], 1e-6);
        ++rows[name];
    }
    EXPECT_EQ(rows, (std::map<std::string, int>{{"A0", 8}, {"S0", 8}, {"S1", 8}}));
    const CRun toFile = RunSolver(
        LUMDEX_PATH, {"--order", "4", "--directions", "8", "--at-fd", "0.5", "--modes", "3", "--output", "d.txt"}, dir.Path());
    ASSERT_EQ(toFile.nExit, 0) << toFile.strErr;
    EXPECT_EQ(dir.Read("d.txt"), run.strOut);
    // Directions need a frequency (not a wavenumber), and go without --mode-shape and --dispersion.
    for (const std::vector<std::string>& bad :
         {std::vector<std::string>{"--directions", "8"}, {"--directions", "8", "--at-wavenumber", "1"},
          {"--directions", "8", "--at-fd", "1", "--mode-shape", "A0"}, {"--directions", "8", "--at-fd", "1", "--dispersion"},
          {"--directions", "0", "--at-fd", "1"}})
        EXPECT_EQ(RunSolver(LUMDEX_PATH, bad, dir.Path()).nExit, 2) << bad.back();
}
