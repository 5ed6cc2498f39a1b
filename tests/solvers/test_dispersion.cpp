// Dispersion of the through-thickness model against exact results: the Rayleigh-Lamb roots of
// an isotropic plate, SH modes, an orthotropic plate, and a shell of very large radius.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>

#include "SolverRunner.h"

using namespace solvertest;

namespace {

// Poisson ratio 0.25 with shear modulus and density 1: the shear speed is 1 mm/us, so with a
// thickness of 1 mm, Omega = omega h / cT is omega and xi = k h is k.
CLaminate IsotropicPlate(int elements) {
    CLaminate lam;
    lam.materials = {Isotropic(2.5, 0.25, 1.0)};
    lam.layers = {{1, 1.0, elements}};
    return lam;
}

std::vector<std::vector<double>> Frequencies(const CLaminate& lam, const std::vector<double>& kappas,
                                             int modes = 12) {
    CTempDir dir;
    dir.Write("input.d", lam.Text());
    // The quadratic element's convergence is what these cases measure.
    std::vector<std::string> args = {"--order", "2", "--dispersion", "--modes", std::to_string(modes)};
    for (double k : kappas) args.push_back(std::to_string(k));
    const CRun run = RunSolver(LUMDEX_PATH, args, dir.Path());
    EXPECT_EQ(run.nExit, 0) << run.strErr;
    EXPECT_FALSE(dir.Exists("result.dat"));
    auto rows = ReadDispersion(run.strOut);
    EXPECT_EQ(rows.size(), kappas.size());
    for (auto& r : rows) r.erase(r.begin());  // drop kappa
    return rows;
}

double Nearest(const std::vector<double>& row, double value) {
    double best = row.front();
    for (double w : row)
        if (std::abs(w - value) < std::abs(best - value)) best = w;
    return best;
}

struct CRoot {
    double dXi, dOmega;
};
// Antisymmetric and symmetric Lamb roots for Poisson ratio 0.25.
const std::vector<CRoot> kLamb = {
    {1, 0.409970}, {1, 3.604089}, {1, 9.375505}, {1, 1.624664}, {1, 5.246418}, {1, 6.703878},
    {2, 1.272824}, {2, 4.608357}, {2, 9.331027}, {2, 3.172458}, {2, 5.156938}, {2, 7.509135},
};

double Computed(const std::vector<std::vector<double>>& rows, const CRoot& root) {
    return Nearest(rows[root.dXi == 1 ? 0 : 1], root.dOmega);
}

}  // namespace

TEST(Dispersion, RayleighLambRootsConvergeWithOrderFour) {
    const auto r8 = Frequencies(IsotropicPlate(8), {1, 2});
    const auto r16 = Frequencies(IsotropicPlate(16), {1, 2});
    const auto r32 = Frequencies(IsotropicPlate(32), {1, 2});
    const auto r64 = Frequencies(IsotropicPlate(64), {1, 2});
    for (const CRoot& root : kLamb) {
        SCOPED_TRACE(testing::Message() << "xi " << root.dXi << " Omega " << root.dOmega);
        const double w16 = Computed(r16, root), w32 = Computed(r32, root), w64 = Computed(r64, root);
        const double w8 = Computed(r8, root);
        // Conforming elements with a consistent mass: frequencies converge from above.
        EXPECT_GE(w16, root.dOmega - 1e-6);
        // 16 elements: the roots below Omega 5 within 1e-5, every root within 1e-4 relative;
        // 64 elements: every root within 1e-5 (the table itself is rounded to 5e-7).
        if (root.dOmega < 5) {
            EXPECT_NEAR(w16, root.dOmega, 1e-5);
        }
        EXPECT_NEAR(w16, root.dOmega, 1e-4 * root.dOmega);
        EXPECT_NEAR(w64, root.dOmega, 1e-5);
        // The order from successive differences, independent of the table's rounding.
        const double d1 = w8 - w16, d2 = w16 - w32;
        if (d2 > 1e-7) {
            const double order = std::log2(d1 / d2);
            EXPECT_GT(order, 3.7);
            EXPECT_LT(order, 4.3);
        }
    }
}

TEST(Dispersion, ShModesOfAnIsotropicPlate) {
    const auto rows = Frequencies(IsotropicPlate(64), {1, 2}, 16);
    for (int i = 0; i < 2; ++i) {
        const double xi = i + 1;
        for (int n = 0; n <= 3; ++n) {
            const double exact = std::sqrt(xi * xi + n * n * std::numbers::pi * std::numbers::pi);
            EXPECT_NEAR(Nearest(rows[i], exact), exact, 1e-5) << "xi " << xi << " n " << n;
        }
    }
}

TEST(Dispersion, AlignedAndCrossedOrthotropicPlates) {
    // rho w^2 = C66 k^2 + C44 (n pi / h)^2. Fibres along x: C66 = G12, C44 = G23; fibres
    // along y (90 degrees): C66 = G12 and C44 = G13 = G12.
    const CPly ply{140, 10, 5, 0.3, 0.45, 0, 1.6};
    const double h = 1.0, g23 = 10 / (2 * 1.45);
    for (double angle : {0.0, 90.0}) {
        CLaminate lam;
        CPly turned = ply;
        turned.dAngle = angle;
        lam.materials = {turned};
        lam.layers = {{1, h, 64}};
        const double c44 = angle == 0 ? g23 : 5.0, c66 = 5.0;
        const auto rows = Frequencies(lam, {1, 2}, 20);
        for (int i = 0; i < 2; ++i) {
            const double k = i + 1;
            for (int n = 0; n <= 3; ++n) {
                const double q = n * std::numbers::pi / h;
                const double exact = std::sqrt((c66 * k * k + c44 * q * q) / 1.6);
                EXPECT_NEAR(Nearest(rows[i], exact), exact, 1e-5) << "angle " << angle << " k " << k << " n " << n;
            }
        }
    }
}

TEST(Dispersion, ShellZeroModes) {
    // n = 1: rigid translation of the section; n = 0: rigid turn about the axis and axial slip.
    CLaminate lam = IsotropicPlate(8);
    lam.bPlate = 0;
    lam.dRadius = 5;
    const auto rows = Frequencies(lam, {0, 1}, 4);
    EXPECT_LT(rows[0][0], 1e-6);
    EXPECT_LT(rows[0][1], 1e-6);
    EXPECT_GT(rows[0][2], 0.1);  // the breathing mode carries hoop stiffness
    EXPECT_LT(rows[1][0], 1e-6);
    EXPECT_GT(rows[1][1], 1e-3);

    // A thin cylinder breathes at sqrt(E / (rho (1 - v^2))) / R (plane strain), R the
    // mid-surface radius.
    lam.dRadius = 200.5;
    const auto thin = Frequencies(lam, {0}, 3);
    const double breathing = std::sqrt(2.5 / (1.0 * (1 - 0.25 * 0.25))) / 200.0;
    EXPECT_NEAR(thin[0][2], breathing, 1e-4 * breathing);
}

TEST(Dispersion, ShellOfLargeRadiusIsThePlate) {
    // Mid-surface radius 2000 thicknesses; order n on it is the wavenumber n / 2000.
    CLaminate shell = IsotropicPlate(16);
    shell.bPlate = 0;
    shell.dRadius = 2000.5;
    const auto s = Frequencies(shell, {2000, 4000}, 10);
    const auto p = Frequencies(IsotropicPlate(16), {1, 2}, 10);
    for (int i = 0; i < 2; ++i)
        for (size_t m = 0; m < p[i].size(); ++m) EXPECT_NEAR(s[i][m], p[i][m], 1e-5) << "k " << i + 1 << " mode " << m;
}
