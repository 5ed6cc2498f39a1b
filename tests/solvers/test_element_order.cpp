// Elements of any order: the reference elements, the table behind the automatic order, the
// choice itself, and the automatic order's transients on a new project's default stack (one
// sublayer per layer) against converged curves, through the real solvers.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "ElementOrder.h"
#include "Limits.h"
#include "RayleighLamb.h"
#include "SolverInput.h"
#include "Transient.h"
#include "SolverRunner.h"
#include "ThicknessModel.h"

using namespace numerics;
using namespace solvertest;

namespace {

struct CSolved {
    CCurve curve;
    std::string strOut;
};

template <class Input>
CSolved Solve(const std::string& program, const std::string& inputName, const Input& input,
              const std::vector<std::string>& args) {
    CTempDir dir;
    dir.Write(inputName, input.Text());
    const CRun run = RunSolver(program, args, dir.Path());
    EXPECT_EQ(run.nExit, 0) << run.strErr;
    return {ReadCurve(dir.Read(program == LUMDEX_PATH ? "result.dat" : "resultfgm.dat")), run.strOut};
}

// A new project's load, window and receiver: an X step load read as U at 2 mm over 0..10 us.
template <class Input>
void DefaultLoad(Input& in) {
    in.nLoadType = 1;
    in.nLoadDir = 1;
    in.nOutput = 1;
    in.dTimeFrom = 0;
    in.dTimeTo = 10;
    in.dReceiverX = 2;
}

}  // namespace

TEST(ElementOrder, ReferenceElementsInterpolateAndIntegrateExactly) {
    for (int p = 1; p <= kMaxOrder; ++p) {
        SCOPED_TRACE(testing::Message() << "order " << p);
        const CReferenceElement& r = ReferenceElement(p);
        ASSERT_EQ(r.nodes.size(), static_cast<size_t>(p + 1));
        ASSERT_EQ(r.abscissa.size(), static_cast<size_t>(p + 1));
        EXPECT_EQ(r.nodes.front(), -1.0);
        EXPECT_EQ(r.nodes.back(), 1.0);
        for (int a = 0; a <= p; ++a) {
            EXPECT_EQ(r.nodes[a], -r.nodes[p - a]);  // a symmetric stack must mirror exactly
            if (a > 0) {
                EXPECT_GT(r.nodes[a], r.nodes[a - 1]);
            }
        }
        // The shape functions sum to one and their slopes to zero; the rule integrates the
        // mass's highest degree, 2p, exactly.
        double moment = 0;
        for (int g = 0; g <= p; ++g) {
            EXPECT_NEAR(r.n.row(g).sum(), 1.0, 1e-12);
            EXPECT_NEAR(r.dn.row(g).sum(), 0.0, 1e-10 * r.dn.row(g).cwiseAbs().maxCoeff());
            moment += r.weight[g] * std::pow(r.abscissa[g], 2 * p);
        }
        EXPECT_NEAR(moment, 2.0 / (2 * p + 1), 1e-14);
        // The slope of the top node's function at the Gauss points against a difference.
        const double s = r.abscissa[0], ds = 1e-6;
        double above = 1, below = 1;
        for (int b = 0; b < p; ++b) {
            above *= (s + ds - r.nodes[b]) / (1.0 - r.nodes[b]);
            below *= (s - ds - r.nodes[b]) / (1.0 - r.nodes[b]);
        }
        EXPECT_NEAR(r.dn(0, p), (above - below) / (2 * ds), 1e-6 * std::max(1.0, std::abs(r.dn(0, p))));
    }
}

TEST(ElementOrder, TheTableIsTheMeasurementAndTheChoiceFollowsIt) {
    for (int p : {2, 5, 8, 16, 33, kMaxOrder})
        EXPECT_EQ(ResolvedPhase(p), std::floor(MeasureResolvedPhase(p, kOrderTolerance) * 1e4) / 1e4) << p;
    for (int p = 3; p <= kMaxOrder; ++p) EXPECT_GT(ResolvedPhase(p), ResolvedPhase(p - 1)) << p;

    // Phases per element of 0.1 (quadratic is enough), just above the order-7 bound, and beyond
    // every order (the highest).
    const double omega = 1.0;
    const std::vector<CLayerWaves> layers = {{0.1, 1, 1.0}, {ResolvedPhase(7) * 1.001 * 2, 2, 1.0}, {1e3, 1, 1.0}};
    EXPECT_EQ(ChooseOrders(layers, omega, 100000), (std::vector<int>{2, 8, kMaxOrder}));
    // A node budget lowers the highest orders first: 1 + 2 + 2 * 8 + 20 = 39 nodes, and
    // 1 + 2 + 2 * 6 + 6 = 21 (one more on each would make 24).
    EXPECT_EQ(ChooseOrders(layers, omega, 39), (std::vector<int>{2, 8, 20}));
    EXPECT_EQ(ChooseOrders(layers, omega, 22), (std::vector<int>{2, 6, 6}));
}

TEST(ElementOrder, DefaultStacksComeCloseToTheConvergedCurve) {
    // One sublayer per layer, as a new project has it, under its X step load read as U at 2 mm.
    // Isotropic: the automatic order (61) is within 1e-5 of the converged curve (four sublayers
    // of order 32), where one quadratic element is 0.6 % off.
    CLaminate iso;
    iso.materials = {Isotropic(70, 0.33, 2.7)};
    iso.layers = {{1, 1.0, 1}};
    DefaultLoad(iso);
    const CSolved automatic = Solve(LUMDEX_PATH, "input.d", iso, {"--timing"});
    EXPECT_NE(automatic.strOut.find("element orders (layers from the top) 61\n"), std::string::npos)
        << automatic.strOut;
    CLaminate fine = iso;
    fine.layers[0].nSublayers = 4;
    const CSolved converged = Solve(LUMDEX_PATH, "input.d", fine, {"--order", "32"});
    const CSolved quadratic = Solve(LUMDEX_PATH, "input.d", iso, {"--order", "2"});
    ASSERT_EQ(automatic.curve.u.size(), converged.curve.u.size());
    EXPECT_LT(RelativeL2(automatic.curve.u, converged.curve.u), 1e-5);
    EXPECT_GT(RelativeL2(quadratic.curve.u, converged.curve.u), 1e-3);

    // Cross-ply [0/90/90/0]: the step's reverberations through four plies leave an algebraic
    // tail no order removes at one sublayer; the automatic order (35 per ply) still cuts the
    // quadratic error by more than twenty times.
    CLaminate cross;
    cross.materials = {{181, 10.3, 7.17, 0.28, 0.4, 0, 1.6}, {181, 10.3, 7.17, 0.28, 0.4, 90, 1.6}};
    cross.layers = {{1, 0.25, 1}, {2, 0.25, 1}, {2, 0.25, 1}, {1, 0.25, 1}};
    DefaultLoad(cross);
    const CSolved crossAuto = Solve(LUMDEX_PATH, "input.d", cross, {"--timing"});
    EXPECT_NE(crossAuto.strOut.find("element orders (layers from the top) 35 35 35 35\n"), std::string::npos)
        << crossAuto.strOut;
    CLaminate crossFine = cross;
    for (CLayerLine& l : crossFine.layers) l.nSublayers = 2;
    const CSolved crossConverged = Solve(LUMDEX_PATH, "input.d", crossFine, {"--order", "24"});
    const CSolved crossQuadratic = Solve(LUMDEX_PATH, "input.d", cross, {"--order", "2"});
    const double autoError = RelativeL2(crossAuto.curve.u, crossConverged.curve.u);
    EXPECT_LT(autoError, 1.2e-4);
    EXPECT_GT(RelativeL2(crossQuadratic.curve.u, crossConverged.curve.u), 20 * autoError);
}

TEST(ElementOrder, GradedPlateOfTheDefaultSublayersComesCloseToTheConvergedCurve) {
    // Graded properties are sampled at each element's own Gauss points, whatever its order.
    CGraded g;
    g.materials = {{380, 3.96, 0.25}, {70, 2.707, 0.33}};
    g.layers = {{1.0, 0.5}, {0.5, 0.5}};
    g.dLastFraction = 0;
    DefaultLoad(g);
    const CSolved automatic = Solve(KAVRIT_PATH, "inputfgm.dat", g, {});
    const CSolved converged = Solve(KAVRIT_PATH, "inputfgm.dat", g, {"--order", "16"});
    const CSolved quadratic = Solve(KAVRIT_PATH, "inputfgm.dat", g, {"--order", "2"});
    const double autoError = RelativeL2(automatic.curve.u, converged.curve.u);
    EXPECT_LT(autoError, 3e-5);
    EXPECT_GT(RelativeL2(quadratic.curve.u, converged.curve.u), 10 * autoError)
        << RelativeL2(quadratic.curve.u, converged.curve.u) << " " << autoError;
}

TEST(ElementOrder, OrderIsBoundedAndTheModelSizeChecked) {
    CLaminate lam;
    lam.materials = {Isotropic(70, 0.33, 2.7)};
    lam.layers = {{1, 1.0, 100}};
    CTempDir dir;
    dir.Write("input.d", lam.Text());
    for (const char* bad : {"0", "65", "2.5", "x"}) {
        const CRun run = RunSolver(LUMDEX_PATH, {"--order", bad}, dir.Path());
        EXPECT_EQ(run.nExit, 2) << bad;
        EXPECT_NE(run.strErr.find("--order needs a whole count from 1 to 64"), std::string::npos) << run.strErr;
    }
    // 100 elements of order 12: 3603 unknowns, more than the model may have.
    const CRun big = RunSolver(LUMDEX_PATH, {"--order", "12"}, dir.Path());
    EXPECT_EQ(big.nExit, 1);
    EXPECT_NE(big.strErr.find("the model would have 3603 unknowns (at most 3003)"), std::string::npos) << big.strErr;
    EXPECT_FALSE(dir.Exists("result.dat"));
    // The automatic order keeps within the bound by itself.
    const CRun fits = RunSolver(LUMDEX_PATH, {"--timing", "--points", "11"}, dir.Path());
    EXPECT_EQ(fits.nExit, 0) << fits.strErr;
}

TEST(ElementOrder, ShellsAtHighOrderKeepTheirRigidMotionsAndBecomeThePlate) {
    // Order 8 on a shell, whose hoop terms carry 1/r: the rigid motions stay at zero frequency
    // (n = 1: the section's translation; n = 0: its turn about the axis and the axial slip),
    // and a radius of 2000 thicknesses gives the plate's frequencies.
    const auto frequencies = [](const CLaminate& lam, const std::vector<std::string>& kappas) {
        CTempDir dir;
        dir.Write("input.d", lam.Text());
        std::vector<std::string> args = {"--order", "8", "--dispersion", "--modes", "6"};
        args.insert(args.end(), kappas.begin(), kappas.end());
        const CRun run = RunSolver(LUMDEX_PATH, args, dir.Path());
        EXPECT_EQ(run.nExit, 0) << run.strErr;
        return ReadDispersion(run.strOut);
    };
    CLaminate shell;
    shell.materials = {Isotropic(2.5, 0.25, 1.0)};
    shell.layers = {{1, 1.0, 2}};
    shell.bPlate = 0;
    shell.dRadius = 5;
    const auto rigid = frequencies(shell, {"0", "1"});
    ASSERT_EQ(rigid.size(), 2u);
    EXPECT_LT(rigid[0][1], 1e-5);  // [0] is the order itself
    EXPECT_LT(rigid[0][2], 1e-5);
    EXPECT_GT(rigid[0][3], 0.1);
    EXPECT_LT(rigid[1][1], 1e-5);
    EXPECT_GT(rigid[1][2], 1e-3);

    shell.dRadius = 2000.5;
    CLaminate plate = shell;
    plate.bPlate = 1;
    const auto s = frequencies(shell, {"2000", "4000"});
    const auto p = frequencies(plate, {"1", "2"});
    ASSERT_EQ(s.size(), 2u);
    ASSERT_EQ(p.size(), 2u);
    for (int i = 0; i < 2; ++i)
        for (size_t m = 1; m < p[i].size(); ++m) EXPECT_NEAR(s[i][m], p[i][m], 1e-5) << "k " << i + 1 << " mode " << m;
}

TEST(ElementOrder, TheRoundingFloorBoundsTheOrderOfAnAlmostIncompressibleLayer) {
    // One element on [0, 1]: linear (K = [1 -1; -1 1], M = [2 1; 1 2] / 6) has 0 and 12,
    // quadratic 0, 12 and 60; high orders grow like p^4.
    EXPECT_NEAR(ElementEigenvalueBound(1), 12.0, 1e-10);
    EXPECT_NEAR(ElementEigenvalueBound(2), 60.0, 1e-9);
    for (int p = 3; p <= kMaxOrder; ++p) EXPECT_GT(ElementEigenvalueBound(p), ElementEigenvalueBound(p - 1)) << p;
    EXPECT_GT(ElementEigenvalueBound(64) / ElementEigenvalueBound(32), 8.0);

    // A Poisson ratio of 0.4999999999999: the P wave is a million times faster than the shear
    // wave. The phase asks for order 64, whose largest eigenvalue would drown the lowest modes
    // in rounding; the floor brings it down to the quadratic, and the run is short.
    CTempDir dir;
    dir.Write("inputfgm.dat", "70 2.7 0.4999999999999\n1\n1 1\n1\n1\n1 3.14\n1 1\n0 0.00001\n2\n");
    const CRun run = RunSolver(KAVRIT_PATH, {"--timing", "--points", "101"}, dir.Path());
    EXPECT_EQ(run.nExit, 0) << run.strErr;
    EXPECT_NE(run.strOut.find("element orders (layers from the top) 2\n"), std::string::npos) << run.strOut;
    // Ordinary layers keep their orders (the default plates above: 61 and 35).
    EXPECT_EQ(ChooseOrders({{1.0, 1, 3.1, 6.3}}, 314, 100000), ChooseOrders({{1.0, 1, 3.1}}, 314, 100000));
}

TEST(ElementOrder, TheLowestFlexuralRootsRoundingFloorGrowsWithTheNodesAndStaysWithinTheRulesBound) {
    // A0 of an isotropic plate (thickness 1, shear speed 1, Poisson ratio 0.25: c_L^2 = 3) at
    // k h from 0.002 to 0.01, where omega^2 (4e-12 to 1e-9) is a small difference of stiffness
    // terms, against the exact Rayleigh-Lamb root. The error in omega^2 is rounding, absolute,
    // about 15 eps c_L^2 N^2 / h^2 for N nodes through the thickness whatever their split into
    // elements (measured 7 to 15), so the automatic order, the lowest that resolves, keeps it
    // lowest; the rule's own floor, eps c_L^2 mu(p) / t_e^2, is never below it.
    const double eps = std::numeric_limits<double>::epsilon(), fast = 3.0;
    std::vector<double> kappas, exact;
    for (int i = 0; i < 12; ++i) {
        const double xi = 0.002 + 0.008 * i / 11;
        kappas.push_back(xi);
        exact.push_back(ExactRoot(false, xi, xi * xi * std::sqrt(2.5 / (12 * 0.9375))));
    }
    const auto floorOf = [&](int sublayers, int order, int* nodes) {
        CProblem p;
        const std::string s = std::to_string(sublayers);
        EXPECT_EQ(ParseCompositeInput("c\n1 1 3.113646\n1 1\n0\n1\n" + s + "\n2.5 2.5 1 0.25 0.25\n1\n1 3.14\n3 3\n0 10\n2\n",
                                      "input.d", p, order, 0),
                  "");
        *nodes = p.model.NodeCount() - 1;
        const std::vector<std::vector<double>> w = Dispersion(p.model, kappas, 1);
        double worst = 0;
        for (size_t i = 0; i < kappas.size(); ++i) worst = std::max(worst, std::abs(w[i][0] * w[i][0] - exact[i] * exact[i]));
        return worst;
    };
    int nodes = 0;
    for (int sublayers : {1, 4})
        for (int order : {4, 8, 16, 32, 64}) {
            if (sublayers * order > 64) continue;
            const double floor = floorOf(sublayers, order, &nodes);
            const double te = 1.0 / sublayers;
            EXPECT_LE(floor, 30 * eps * fast * nodes * nodes) << sublayers << " x " << order;
            EXPECT_LE(floor, eps * fast * ElementEigenvalueBound(order) / (te * te)) << sublayers << " x " << order;
        }
    // The automatic order on one sublayer (25 nodes) against order 64 (64 nodes): its floor the lower.
    int automaticNodes = 0, highNodes = 0;
    const double automatic = floorOf(1, kAutomaticOrder, &automaticNodes), high = floorOf(1, 64, &highNodes);
    EXPECT_LT(automaticNodes, highNodes);
    EXPECT_LT(automatic, high);
}
