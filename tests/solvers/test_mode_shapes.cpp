// Mode shapes and energy velocity against references derived here: the exact Rayleigh-Lamb
// modes of an isotropic plate, the boundary and interface conditions a mode must meet, the
// model's own group velocity, and the program's table.

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <sstream>

#include "BandedModes.h"
#include "ModeParts.h"
#include "ModeShapeRun.h"
#include "RayleighLamb.h"
#include "SolverInput.h"
#include "SolverRunner.h"

using namespace numerics;
using namespace solvertest;

namespace {

constexpr double kPi = std::numbers::pi;

CProblem Parse(const CLaminate& lam, int order) {
    CProblem p;
    EXPECT_EQ(ParseCompositeInput(lam.Text(), "input.d", p, order, 0), "");
    return p;
}

// Shear modulus and density 1, Poisson ratio 0.25, thickness 1, four elements of order 12.
CProblem IsotropicPlate() {
    CLaminate lam;
    lam.materials = {Isotropic(2.5, 0.25, 1.0)};
    lam.layers = {{1, 1.0, 4}};
    return Parse(lam, 12);
}

// [0/45/90] carbon/epoxy (0.3, 0.3, 0.4 mm), two elements per ply: every component coupled.
CLaminate TurnedLaminate() {
    CLaminate lam;
    for (double angle : {0.0, 45.0, 90.0}) lam.materials.push_back({140, 10, 5, 0.3, 0.45, angle, 1.6});
    lam.layers = {{1, 0.3, 2}, {2, 0.3, 2}, {3, 0.4, 2}};
    return lam;
}

CModeShapeResult Shape(const CProblem& p, const std::string& name, EDispersionRange axis, double value) {
    CModeShapeRequest r;
    r.strName = name;
    r.axis = axis;
    r.dValue = value;
    r.nPerElement = 9;
    CModeShapeResult out = ComputeModeShape(p, r);
    EXPECT_EQ(out.error, "") << name;
    return out;
}

double StressPeak(const CModeShape& s) {
    double peak = 0;
    for (const CShapeSample& x : s.samples)
        for (double v : x.stress) peak = std::max(peak, std::abs(v));
    return peak;
}

}  // namespace

TEST(ModeShapes, RayleighLambModesAreExact) {
    // The exact mode is the null vector of the four boundary conditions at the exact root; in
    // this document's convention U and the shear stresses are its real parts after one phase,
    // W and the normal stresses i times it, scaled like the model's. Four elements of order 12
    // give displacements and stresses within 1e-6 of their peaks.
    const CProblem plate = IsotropicPlate();
    for (const char* name : {"A0", "S0", "A1", "S1", "A2"})
        for (double xi : {1.0, 2.5}) {
            const CModeShapeResult r = Shape(plate, name, EDispersionRange::kWavenumber, xi);
            ASSERT_EQ(r.error, "");
            const CModeShape& s = r.shape;
            const double omega = ExactRoot(name[0] == 'S', xi, s.dOmega);
            ASSERT_NEAR(omega, s.dOmega, 1e-9) << name;
            std::vector<double> z;
            for (const CShapeSample& x : s.samples) z.push_back(x.dZ);
            const std::vector<CLambPoint> exact = ExactLambShape(xi, omega, z);
            // One phase makes u real; the largest displacement 1.
            size_t top = 0;
            for (size_t i = 0; i < exact.size(); ++i)
                if (std::abs(exact[i].u) > std::abs(exact[top].u)) top = i;
            const std::complex<double> phase = std::abs(exact[top].u) / exact[top].u, i(0, 1);
            double peak = 0, stressPeak = 0;
            for (const CLambPoint& e : exact) peak = std::max({peak, std::abs(e.u), std::abs(e.w)});
            for (const CLambPoint& e : exact)
                for (auto v : {e.sxx, e.syy, e.szz, e.sxz}) stressPeak = std::max(stressPeak, std::abs(v));
            // The sign of the model's scaling is its own choice among equal peaks.
            const double sign = (s.samples[top].u * (exact[top].u * phase).real() >= 0 ? 1.0 : -1.0) / peak;
            const double stressScale = StressPeak(s);
            EXPECT_NEAR(stressScale, stressPeak / peak, 1e-6 * stressScale) << name << " " << xi;
            for (size_t k = 0; k < exact.size(); ++k) {
                const CShapeSample& m = s.samples[k];
                const CLambPoint& e = exact[k];
                EXPECT_NEAR(m.u, sign * (e.u * phase).real(), 1e-6) << name << " " << xi << " z " << m.dZ;
                EXPECT_NEAR(m.w, sign * (i * e.w * phase).real(), 1e-6) << name << " " << xi << " z " << m.dZ;
                EXPECT_NEAR(m.v, 0.0, 1e-12);
                EXPECT_NEAR(m.stress[0], sign * (i * e.sxx * phase).real(), 1e-6 * stressScale) << name << " sxx " << m.dZ;
                EXPECT_NEAR(m.stress[1], sign * (i * e.syy * phase).real(), 1e-6 * stressScale) << name << " syy " << m.dZ;
                EXPECT_NEAR(m.stress[2], sign * (i * e.szz * phase).real(), 1e-6 * stressScale) << name << " szz " << m.dZ;
                EXPECT_NEAR(m.stress[4], sign * (e.sxz * phase).real(), 1e-6 * stressScale) << name << " sxz " << m.dZ;
            }
        }
}

TEST(ModeShapes, TractionsVanishAtTheSurfacesAndAreContinuousAcrossPlies) {
    // Both are natural conditions of the model, met only as it converges: with elements of order
    // 10 within 1e-6 of the stress peak (order 6 misses that). The in-plane stress jumps where
    // the plies turn.
    const CProblem lam = Parse(TurnedLaminate(), 10);
    CDispersionRequest request;
    request.range = EDispersionRange::kFrequency;
    request.dFrom = 0;
    request.dTo = 2 * kPi * 1.5;
    request.nPoints = 2;
    request.nModes = 5;
    const CDispersionCurves curves = TraceDispersion(lam.model, request);
    ASSERT_EQ(curves.error, "");
    const CModelParts split = MakeParts(Assemble(lam.model), true);
    const CBandedModes banded(lam.model);
    int jumps = 0;
    for (const CModeLine& line : curves.lines) {
        const CModePoint& pt = line.points.back();
        const std::string& name = line.strName;
        CBandedMode mode;
        ASSERT_TRUE(ModeVector(banded, split.parts[line.nPart], pt.dKappa, pt.dOmega, mode));
        const CModeShape s = EvaluateModeShape(lam.model, lam.layerPlans, pt.dKappa, pt.dOmega, mode.phi, 9);
        const double peak = StressPeak(s);
        ASSERT_EQ(s.interfaces, (std::vector<double>{0.4, 0.7}));
        for (const CShapeSample* surface : {&s.samples.front(), &s.samples.back()})
            for (int j : {2, 3, 4}) EXPECT_NEAR(surface->stress[j], 0.0, 1e-6 * peak) << name << " component " << j;
        for (size_t k = 1; k < s.samples.size(); ++k) {
            const CShapeSample &a = s.samples[k - 1], &b = s.samples[k];
            if (a.dZ != b.dZ) continue;  // an interface: the layer below, then the one above
            EXPECT_EQ(a.nLayer, b.nLayer + 1);
            for (int j : {2, 3, 4}) EXPECT_NEAR(a.stress[j], b.stress[j], 1e-6 * peak) << name << " at " << a.dZ;
            EXPECT_NEAR(a.u, b.u, 1e-12);
            if (std::abs(a.stress[0] - b.stress[0]) > 1e-3 * peak) ++jumps;
        }
    }
    EXPECT_GT(jumps, 0);
}

TEST(ModeShapes, EnergyVelocityIsTheGroupVelocity) {
    // Without damping the energy velocity along the wave vector equals the group velocity. The
    // power flow and the energy are integrated from the mode found by shift-and-invert on the
    // banded matrices; the group velocity is the dense solver's eigenvector slope: two paths.
    CLaminate shell = TurnedLaminate();
    shell.bPlate = 0;
    shell.dRadius = 8;
    CGraded graded;
    graded.materials = {{380, 3.96, 0.22}, {70, 2.7, 0.33}};
    graded.layers = {{1.0, 1.0}};
    CFgmOptions fgm;
    fgm.nPoints = 0;
    fgm.nOrder = 6;
    CProblem gradedPlate;
    ASSERT_EQ(ParseFgmInput(graded.Text(), "inputfgm.dat", fgm, gradedPlate), "");
    const CProblem problems[] = {IsotropicPlate(), Parse(TurnedLaminate(), 6), gradedPlate, Parse(shell, 6)};
    for (const CProblem& p : problems) {
        CDispersionRequest request;
        request.range = EDispersionRange::kFrequency;
        request.dFrom = 0;
        request.dTo = 2 * kPi * 3;
        request.nPoints = 7;
        request.nModes = 6;
        const CDispersionCurves curves = TraceDispersion(p.model, request);
        ASSERT_EQ(curves.error, "");
        const CModelParts split = MakeParts(Assemble(p.model), true);
        const CBandedModes banded(p.model);
        int checked = 0;
        for (const CModeLine& line : curves.lines)
            for (const CModePoint& pt : line.points) {
                if (pt.dOmega == 0) continue;
                CBandedMode mode;
                ASSERT_TRUE(ModeVector(banded, split.parts[line.nPart], pt.dKappa, pt.dOmega, mode));
                const CEnergyFlow flow = EnergyFlow(p.model, pt.dKappa, pt.dOmega, mode.phi);
                EXPECT_NEAR(flow.dVelocityX, pt.dGroup, 1e-8 * std::max(1.0, std::abs(pt.dGroup)))
                    << line.strName << " at " << pt.dOmega;
                // Stored energy: half omega^2 for a mass-normalised mode (strain and kinetic alike).
                EXPECT_NEAR(flow.dEnergy, 0.5 * pt.dOmega * pt.dOmega, 1e-8 * pt.dOmega * pt.dOmega);
                ++checked;
            }
        EXPECT_GT(checked, 20);
    }
}

TEST(ModeShapes, ProgramPrintsTheProfiles) {
    CTempDir dir;
    CLaminate plate;
    plate.materials = {Isotropic(2.5, 0.25, 1.0)};
    plate.layers = {{1, 1.0, 4}};
    dir.Write("input.d", plate.Text());
    const CRun run = RunSolver(LUMDEX_PATH, {"--order", "12", "--mode-shape", "S0", "--at-wavenumber", "1", "--samples", "5"}, dir.Path());
    ASSERT_EQ(run.nExit, 0) << run.strErr;
    std::istringstream in(run.strOut);
    std::string line;
    std::getline(in, line);
    EXPECT_EQ(line.rfind("# mode shape of S0: frequency 0.25857", 0), 0u) << line;  // Omega 1.624664 / 2 pi
    EXPECT_NE(line.find("wavenumber 1 1/mm"), std::string::npos) << line;
    int rows = 0;
    double previous = -1;
    while (std::getline(in, line)) {
        if (line[0] == '#') continue;
        std::istringstream fields(line);
        std::vector<double> v;
        double x = 0;
        while (fields >> x) v.push_back(x);
        ASSERT_EQ(v.size(), 12u) << line;
        EXPECT_GT(v[0], previous);
        previous = v[0];
        EXPECT_EQ(v[1], 1);  // one layer
        ++rows;
    }
    EXPECT_EQ(rows, 4 * 4 + 1);  // four elements of five samples, the shared ends once
    // --output writes the same table to a file.
    const CRun toFile = RunSolver(LUMDEX_PATH, {"--order", "12", "--mode-shape", "S0", "--at-wavenumber", "1", "--samples", "5",
                                                "--output", "s0.txt"}, dir.Path());
    ASSERT_EQ(toFile.nExit, 0) << toFile.strErr;
    EXPECT_EQ(dir.Read("s0.txt"), run.strOut);

    // A mode the stack lacks, or one below its cut-off, is refused with a reason; a shape
    // without a point, or with two, or with --dispersion, is a usage error.
    for (const std::vector<std::string>& bad : {std::vector<std::string>{"--mode-shape", "Q7", "--at-fd", "1"},
                                                 {"--mode-shape", "A1", "--at-fd", "0.1"}}) {
        const CRun r = RunSolver(LUMDEX_PATH, bad, dir.Path());
        EXPECT_EQ(r.nExit, 1) << bad[1];
        EXPECT_FALSE(r.strErr.empty());
    }
    for (const std::vector<std::string>& bad :
         {std::vector<std::string>{"--mode-shape", "A0"}, {"--mode-shape", "A0", "--at-fd", "1", "--at-wavenumber", "1"},
          {"--at-fd", "1"}, {"--dispersion", "--mode-shape", "A0", "--at-fd", "1"}})
        EXPECT_EQ(RunSolver(LUMDEX_PATH, bad, dir.Path()).nExit, 2) << bad.size();
}
