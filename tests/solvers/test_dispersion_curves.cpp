// Dispersion curves (frequency, wavenumber, phase and group velocity of every mode, traced as
// lines) against exact results: Rayleigh-Lamb roots and their slopes, SH modes, a cross-ply's
// low-frequency limits from classical lamination theory, and lines through S/A crossings.

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
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

// Quadratic elements: the tolerances below follow their convergence.
CProblem Parse(const CLaminate& lam) {
    CProblem p;
    const std::string error = ParseCompositeInput(lam.Text(), "input.d", p, kQuadraticOrder);
    EXPECT_EQ(error, "");
    return p;
}

// Shear modulus and density 1, Poisson ratio 0.25, thickness 1: Omega = omega, xi = k.
CLaminate IsotropicPlate(int elements) {
    CLaminate lam;
    lam.materials = {Isotropic(2.5, 0.25, 1.0)};
    lam.layers = {{1, 1.0, elements}};
    return lam;
}

CDispersionCurves Curves(const CLaminate& lam, EDispersionRange range, double from, double to, int points,
                         int modes, bool split = true) {
    CDispersionRequest r;
    r.range = range;
    r.dFrom = from;
    r.dTo = to;
    r.nPoints = points;
    r.nModes = modes;
    r.bSplit = split;
    CDispersionCurves c = TraceDispersion(Parse(lam).model, r);
    EXPECT_EQ(c.error, "");
    return c;
}

const CModeLine* Line(const CDispersionCurves& c, const std::string& name) {
    for (const CModeLine& l : c.lines)
        if (l.strName == name) return &l;
    ADD_FAILURE() << "no line " << name;
    return nullptr;
}

const CModePoint& At(const CModeLine& line, double kappa) {
    for (const CModePoint& p : line.points)
        if (std::abs(p.dKappa - kappa) < 1e-9) return p;
    static const CModePoint none;
    ADD_FAILURE() << line.strName << " has no point at " << kappa;
    return none;
}

}  // namespace

TEST(DispersionCurves, LambAndShModesAreNamedAndExact) {
    const CDispersionCurves c = Curves(IsotropicPlate(16), EDispersionRange::kWavenumber, 1, 2, 11, 12);
    EXPECT_TRUE(c.bMirrorSymmetric);
    struct CRoot { const char* name; double xi, omega; };
    const CRoot table[] = {{"A0", 1, 0.409970}, {"A1", 1, 3.604089}, {"S0", 1, 1.624664}, {"S1", 1, 5.246418},
                           {"A0", 2, 1.272824}, {"A1", 2, 4.608357}, {"S0", 2, 3.172458}, {"S1", 2, 5.156938}};
    for (const CRoot& r : table) {
        const CModeLine* line = Line(c, r.name);
        ASSERT_NE(line, nullptr);
        const CModePoint& p = At(*line, r.xi);
        // As the plain --dispersion: below Omega 5 within 1e-5, above within 1e-4 relative.
        const double tolerance = r.omega < 5 ? 1e-5 : 1e-4 * r.omega;
        EXPECT_NEAR(p.dOmega, r.omega, tolerance) << r.name << " at " << r.xi;
        EXPECT_NEAR(p.dPhase, r.omega / r.xi, tolerance / r.xi);
        EXPECT_DOUBLE_EQ(p.dWavenumber, r.xi);
    }
    // SH_n: Omega^2 = xi^2 + (n pi)^2, group velocity xi / Omega.
    for (int n = 0; n <= 2; ++n) {
        const CModeLine* line = Line(c, "SH" + std::to_string(n));
        ASSERT_NE(line, nullptr);
        for (const CModePoint& p : line->points) {
            const double exact = std::hypot(p.dKappa, n * kPi);
            EXPECT_NEAR(p.dOmega, exact, n < 2 ? 1e-5 : 1e-4 * exact) << "SH" << n;
            EXPECT_NEAR(p.dGroup, p.dKappa / exact, n < 2 ? 1e-6 : 1e-5) << "SH" << n;
        }
    }
}

TEST(DispersionCurves, GroupVelocityIsTheExactSlope) {
    // From the eigenvector, c_g is the exact slope of the model's own omega(k): a central
    // difference of the model's frequencies agrees to its own truncation error.
    const double k = 1.3, dk = 1e-4;
    const CDispersionCurves mid = Curves(IsotropicPlate(16), EDispersionRange::kWavenumber, k - dk, k + dk, 3, 8);
    for (const CModeLine& line : mid.lines) {
        ASSERT_EQ(line.points.size(), 3u) << line.strName;
        const double slope = (line.points[2].dOmega - line.points[0].dOmega) / (2 * dk);
        EXPECT_NEAR(line.points[1].dGroup, slope, 1e-7) << line.strName;
    }
    // Against the exact Rayleigh-Lamb slope: the fundamental modes within 2e-6 at 16 sublayers,
    // every mode below Omega 5 within 1e-6 at 32 (the model's error falls as h^4).
    for (int elements : {16, 32}) {
        const CDispersionCurves c = Curves(IsotropicPlate(elements), EDispersionRange::kWavenumber, 0.5, 2, 4, 8);
        for (const char* name : {"A0", "S0", "A1"}) {
            if (elements == 16 && name[1] == '1') continue;
            const CModeLine* line = Line(c, name);
            ASSERT_NE(line, nullptr);
            const bool symmetric = name[0] == 'S';
            for (const CModePoint& p : line->points) {
                const double root = ExactRoot(symmetric, p.dKappa, p.dOmega);
                ASSERT_NEAR(root, p.dOmega, 1e-4) << name << " at " << p.dKappa;  // the same branch
                EXPECT_NEAR(p.dGroup, ExactSlope(symmetric, p.dKappa, root), elements == 16 ? 2e-6 : 1e-6)
                    << name << " at " << p.dKappa << ", " << elements << " sublayers";
            }
        }
    }
}

TEST(DispersionCurves, CrossPlyLowFrequencyLimitsAreLaminationTheory) {
    // [0/90/90/0] carbon/epoxy, 0.25 mm plies. With nothing depending on y the plate bends
    // cylindrically: S0 travels at sqrt(A11 / (rho h)), SH0 at sqrt(A66 / (rho h)), and A0 has
    // omega = k^2 sqrt(D11 / (rho h)), A11 and D11 from the plane-stress reduced stiffness.
    const double e1 = 140, e2 = 10, g12 = 5, v12 = 0.3, rho = 1.6, t = 0.25, h = 4 * t;
    CLaminate lam;
    lam.materials = {{e1, e2, g12, v12, 0.45, 0, rho}, {e1, e2, g12, v12, 0.45, 90, rho}};
    lam.layers = {{1, t, 4}, {2, t, 4}, {2, t, 4}, {1, t, 4}};
    const double v21 = v12 * e2 / e1;
    const double q0 = e1 / (1 - v12 * v21), q90 = e2 / (1 - v12 * v21);
    const double a11 = 2 * t * (q0 + q90);
    const double zOuter = h / 2, zInner = h / 2 - t;
    const double d11 = 2.0 / 3.0 * (q0 * (std::pow(zOuter, 3) - std::pow(zInner, 3)) + q90 * std::pow(zInner, 3));
    const double k = 0.01 / h;
    const CDispersionCurves c = Curves(lam, EDispersionRange::kWavenumber, k, k, 1, 3);
    EXPECT_TRUE(c.bMirrorSymmetric);
    const CModeLine *a0 = Line(c, "A0"), *s0 = Line(c, "S0"), *sh0 = Line(c, "SH0");
    ASSERT_TRUE(a0 && s0 && sh0);
    EXPECT_NEAR(s0->points[0].dPhase / std::sqrt(a11 / (rho * h)), 1.0, 1e-4);
    EXPECT_NEAR(sh0->points[0].dPhase / std::sqrt(g12 / rho), 1.0, 1e-6);
    // Shear deformation lowers A0 by a relative O((k h)^2 E1 / G13).
    EXPECT_NEAR(a0->points[0].dOmega / (k * k * std::sqrt(d11 / (rho * h))), 1.0, 2e-3);
    EXPECT_NEAR(a0->points[0].dGroup / (2 * a0->points[0].dPhase), 1.0, 4e-3);  // c_g = 2 c_p
}

TEST(DispersionCurves, LinesFollowModesThroughCrossings) {
    // Solved whole, an isotropic plate's symmetric and antisymmetric modes cross: the lines
    // traced by eigenvector overlap must be exactly the lines of the split problem.
    const auto plate = IsotropicPlate(6);
    const CDispersionCurves split = Curves(plate, EDispersionRange::kWavenumber, 0.1, 4, 80, 6, true);
    const CDispersionCurves whole = Curves(plate, EDispersionRange::kWavenumber, 0.1, 4, 80, 6, false);
    ASSERT_EQ(whole.lines.size(), split.lines.size());
    EXPECT_FALSE(whole.bMirrorSymmetric);

    // The range does hold a crossing of an S and an A line.
    int crossings = 0;
    for (const CModeLine& a : split.lines)
        for (const CModeLine& b : split.lines) {
            if (a.strName[0] != 'S' || b.strName[0] != 'A' || a.points.size() != b.points.size()) continue;
            for (size_t i = 1; i < a.points.size(); ++i)
                if ((a.points[i].dOmega - b.points[i].dOmega) * (a.points[i - 1].dOmega - b.points[i - 1].dOmega) < 0)
                    ++crossings;
        }
    EXPECT_GT(crossings, 0);

    for (const CModeLine& s : split.lines) {
        bool found = false;
        for (const CModeLine& w : whole.lines) {
            if (w.points.size() != s.points.size() || std::abs(w.points[0].dOmega - s.points[0].dOmega) > 1e-9)
                continue;
            found = true;
            for (size_t i = 0; i < s.points.size(); ++i)
                EXPECT_NEAR(w.points[i].dOmega, s.points[i].dOmega, 1e-8) << s.strName << " sample " << i;
        }
        EXPECT_TRUE(found) << s.strName;
    }
    EXPECT_EQ(whole.lines[0].strName, "M0");
}

TEST(DispersionCurves, FrequencyRangeKeepsEveryModeInsideIt) {
    const double top = 2 * kPi * 1.0;  // 1 MHz on a 1 mm plate
    const CDispersionCurves c = Curves(IsotropicPlate(8), EDispersionRange::kFrequency, 0.5, top, 60, 10);
    std::map<std::string, size_t> sizes;
    for (const CModeLine& l : c.lines) {
        sizes[l.strName] = l.points.size();
        for (const CModePoint& p : l.points) {
            EXPECT_GE(p.dOmega, 0.5 * (1 - 1e-12));
            EXPECT_LE(p.dOmega, top * (1 + 1e-12));
            EXPECT_TRUE(std::isfinite(p.dGroup));
        }
    }
    // Below 1 MHz mm (Omega 2 pi, the cut-off of SH2) A0, S0, SH0, SH1, A1 and S1 propagate;
    // the lowest three reach the top of the range.
    for (const char* name : {"A0", "S0", "SH0", "SH1", "A1", "S1"}) EXPECT_GT(sizes[name], 0u) << name;
    EXPECT_EQ(sizes.count("SH2"), 0u);
    EXPECT_EQ(sizes.count("A2"), 0u);
    for (const char* name : {"A0", "S0", "SH0"}) {
        const CModeLine* l = Line(c, name);
        ASSERT_NE(l, nullptr);
        EXPECT_GT(l->points.back().dOmega, 0.9 * top) << name;
    }
}

TEST(DispersionCurves, ProgramWritesTheTableAndRefusesBadRanges) {
    CTempDir dir;
    dir.Write("input.d", IsotropicPlate(4).Text());
    const CRun run = RunSolver(LUMDEX_PATH, {"--dispersion", "--modes", "2", "--wavenumbers", "1", "2", "2",
                                             "--output", "curves.dat"}, dir.Path());
    ASSERT_EQ(run.nExit, 0) << run.strErr;
    EXPECT_NE(run.strOut.find("progress 100%"), std::string::npos);
    const std::string table = dir.Read("curves.dat");
    const std::string head =
        "# dispersion curves of the plate, mirror-symmetric\n"
        "# mode frequency(MHz) wavenumber(1/mm) phase_velocity(mm/us) group_velocity(mm/us) "
        "energy_velocity_x(mm/us) energy_velocity_y(mm/us) skew(deg) top_U top_V top_W\n";
    ASSERT_EQ(table.substr(0, head.size()), head);
    // A0 at 1 and 2, then SH0 (exact with any mesh: v uniform through the thickness).
    char name[8];
    double f, k, cp, cg;
    std::vector<std::string> names;
    size_t at = head.size();
    while (at < table.size()) {
        const size_t end = table.find('\n', at);
        ASSERT_EQ(std::sscanf(table.substr(at, end - at).c_str(), "%7s %lf %lf %lf %lf", name, &f, &k, &cp, &cg), 5);
        names.push_back(name);
        if (names.back() == "SH0") {
            EXPECT_NEAR(f, k / (2 * kPi), 1e-9);
            EXPECT_NEAR(cp, 1.0, 1e-9);
            EXPECT_NEAR(cg, 1.0, 1e-9);
        }
        at = end + 1;
    }
    EXPECT_EQ(names, (std::vector<std::string>{"A0", "A0", "SH0", "SH0"}));

    for (const std::vector<std::string>& bad : {std::vector<std::string>{"--dispersion", "--wavenumbers", "-1", "1", "5"},
                                                 {"--dispersion", "--fd", "1", "0.5", "5"},
                                                 {"--dispersion", "--fd", "0", "1", "0"},
                                                 {"--dispersion", "--fd", "0", "nan", "4"}}) {
        const CRun r = RunSolver(LUMDEX_PATH, bad, dir.Path());
        EXPECT_NE(r.nExit, 0) << bad[2] << " " << bad[3];
        EXPECT_FALSE(r.strErr.empty());
    }
    // A range without --dispersion, or with KAPPA values as well, is a usage error.
    EXPECT_EQ(RunSolver(LUMDEX_PATH, {"--fd", "0", "1", "5"}, dir.Path()).nExit, 2);
    EXPECT_EQ(RunSolver(LUMDEX_PATH, {"--dispersion", "1", "--fd", "0", "1", "5"}, dir.Path()).nExit, 2);
}

TEST(DispersionCurves, HighOrderElementsGiveEveryRootToTenDigits) {
    // Four elements of order 8 and of order 12: every Lamb and SH root up to Omega = 10 within
    // 1e-10 relative, where quadratic elements would need thousands for 1e-8.
    for (int order : {8, 12}) {
        CProblem p;
        ASSERT_EQ(ParseCompositeInput(IsotropicPlate(4).Text(), "input.d", p, order), "");
        CDispersionRequest r;
        r.range = EDispersionRange::kWavenumber;
        r.dFrom = 0.5;
        r.dTo = 4;
        r.nPoints = 8;
        r.nModes = 30;
        const CDispersionCurves c = TraceDispersion(p.model, r);
        ASSERT_EQ(c.error, "");
        int checked = 0;
        for (const CModeLine& line : c.lines)
            for (const CModePoint& pt : line.points) {
                if (pt.dOmega > 10) continue;
                const double xi = pt.dKappa;
                double exact = 0;
                if (line.strName.rfind("SH", 0) == 0) {
                    exact = xi;
                    for (int n = 1; n <= 4; ++n) {
                        const double w = std::hypot(xi, n * kPi);
                        if (std::abs(w - pt.dOmega) < std::abs(exact - pt.dOmega)) exact = w;
                    }
                } else {
                    exact = ExactRoot(line.strName[0] == 'S', xi, pt.dOmega);
                }
                // Below Omega = 1 the lowest flexural root meets rounding instead: its omega^2
                // is a small difference of stiffness terms of the size of the highest mode's
                // (eps lambda_max / 2 omega is about 1e-9 here), whatever the discretisation.
                EXPECT_NEAR(pt.dOmega, exact, exact >= 1 ? 1e-10 * exact : 1e-9)
                    << line.strName << " order " << order << " xi " << xi;
                ++checked;
            }
        EXPECT_GT(checked, 60) << "order " << order;
    }
}
