// Ply and isotropic stiffness, the turn about the normal, and the mixing rules.
#include <gtest/gtest.h>

#include <cmath>

#include "SolverInput.h"
#include "Stiffness.h"

using namespace numerics;

TEST(Stiffness, IsotropicPlyAndTurns) {
    const CPlyConstants iso{200, 200, 80, 0.25, 0.25, 37};
    EXPECT_TRUE(CheckPly(iso).empty());
    EXPECT_LT((PlyStiffness(iso) - IsotropicStiffness(200, 0.25)).cwiseAbs().maxCoeff(), 1e-9);

    const CPlyConstants ply{140, 10, 5, 0.3, 0.45, 0};
    CPlyConstants turned = ply;
    turned.dAngleDeg = 90;
    const Voigt c0 = PlyStiffness(ply), c90 = PlyStiffness(turned);
    EXPECT_NEAR(c90(0, 0), c0(1, 1), 1e-9);
    EXPECT_NEAR(c90(1, 1), c0(0, 0), 1e-9);
    EXPECT_NEAR(c90(3, 3), c0(4, 4), 1e-9);  // G23 <-> G13
    EXPECT_NEAR(c0(5, 5), 5.0, 1e-9);
    EXPECT_NEAR(c0(3, 3), 10 / 2.9, 1e-9);

    // Off axis: still monoclinic about the plate plane, which the real symmetric form needs.
    turned.dAngleDeg = 30;
    const Voigt c30 = PlyStiffness(turned);
    EXPECT_GT(std::abs(c30(0, 5)), 1.0);
    for (auto [i, j] : {std::pair{0, 3}, {0, 4}, {1, 3}, {1, 4}, {2, 3}, {2, 4}, {3, 5}, {4, 5}})
        EXPECT_NEAR(c30(i, j), 0.0, 1e-9) << i << j;
    // A fibre at 30 degrees is the same as one at 210.
    turned.dAngleDeg = 210;
    EXPECT_LT((PlyStiffness(turned) - c30).cwiseAbs().maxCoeff(), 1e-9);
}

TEST(Stiffness, IndefiniteConstantsRefused) {
    EXPECT_FALSE(CheckPly({140, 10, 5, 0.3, 1.0, 0}).empty());   // v23 = 1
    // Definite while v12^2 < (1 - v23) E1 / (2 E2): here while v12 < 1.9621.
    EXPECT_FALSE(CheckPly({140, 10, 5, 1.97, 0.45, 0}).empty());
    EXPECT_TRUE(CheckPly({140, 10, 5, 1.95, 0.45, 0}).empty());
    EXPECT_FALSE(CheckPly({140, 0, 5, 0.3, 0.45, 0}).empty());
    // Singular only to rounding: a factorisation passes it, its inverse is infinite.
    EXPECT_FALSE(CheckPly({140, 10, 5, 0.0, 1.0 - 1e-13, 0}).empty());
    EXPECT_FALSE(CheckPly({1, 1, 1, std::sqrt(0.225), 0.55, 0}).empty());
    EXPECT_FALSE(CheckIsotropic(200, 0.5).empty());
    EXPECT_FALSE(CheckIsotropic(0, 0.3).empty());
    EXPECT_TRUE(CheckIsotropic(200, -0.5).empty());
}

TEST(Stiffness, MixingRules) {
    const CIsotropic steel{200, 0.3, 7.8}, alu{70, 0.33, 2.7};
    const CIsotropic half = MixRuleOfMixtures(steel, alu, 0.5);
    EXPECT_DOUBLE_EQ(half.dE, 135);
    EXPECT_DOUBLE_EQ(half.dDensity, 5.25);
    for (double v : {0.0, 1.0}) {
        const CIsotropic mt = MixMoriTanaka(steel, alu, v), expected = v == 1 ? steel : alu;
        EXPECT_NEAR(mt.dE, expected.dE, 1e-9);
        EXPECT_NEAR(mt.dNu, expected.dNu, 1e-12);
    }
    const CIsotropic same = MixMoriTanaka(steel, steel, 0.37);
    EXPECT_NEAR(same.dE, 200, 1e-9);
    // Mori-Tanaka with the stiff phase as inclusion lies below the rule of mixtures.
    EXPECT_LT(MixMoriTanaka(steel, alu, 0.5).dE, half.dE);
}

TEST(Stiffness, MoriTanakaKeepsPhasesManyDecadesApart) {
    const CIsotropic soft{1e-10, 0.3, 1.0}, stiff{1e10, 0.25, 2.0};
    for (double v : {0.0, 0.25, 0.5, 1.0}) {
        const CIsotropic a = MixMoriTanaka(soft, stiff, v), b = MixMoriTanaka(stiff, soft, v);
        EXPECT_TRUE(std::isfinite(a.dE) && a.dE > 0) << v;
        EXPECT_TRUE(std::isfinite(b.dE) && b.dE > 0) << v;
        EXPECT_TRUE(a.dNu > -1 && a.dNu < 0.5) << v;
    }
    EXPECT_NEAR(MixMoriTanaka(soft, stiff, 1.0).dE / soft.dE, 1.0, 1e-9);
    EXPECT_NEAR(MixMoriTanaka(soft, stiff, 0.0).dE / stiff.dE, 1.0, 1e-9);
}
