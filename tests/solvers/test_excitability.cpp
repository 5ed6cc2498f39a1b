// Excitability: the top amplitudes a dispersion table gives every point are the weights the
// transient synthesis puts on the mode, and the documented amplitude |top(a) top(b)| /
// (2 omega |c_g|) is the residue of the synthesis's modal sum at the mode's pole.

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "DispersionCurves.h"
#include "ModalSolver.h"
#include "SolverInput.h"
#include "SolverRunner.h"

using namespace numerics;
using namespace solvertest;

namespace {

constexpr double kPi = std::numbers::pi;

CThicknessModel Laminate(const std::vector<double>& angles, const std::vector<double>& thickness, int order) {
    CLaminate lam;
    lam.layers.clear();
    for (size_t i = 0; i < angles.size(); ++i) {
        lam.materials.push_back({140, 10, 5, 0.3, 0.45, angles[i], 1.6});
        lam.layers.push_back({static_cast<int>(i) + 1, thickness[i], 2});
    }
    CProblem p;
    EXPECT_EQ(ParseCompositeInput(lam.Text(), "input.d", p, order, 0), "");
    return p.model;
}

// The transient path's modes at kappa for a load along a read along b (0 u, 1 v, 2 w~): omega^2
// and the product of the two top components of each.
struct CProducts {
    std::vector<double> omegaSquared, product;
};
CProducts TransientModes(const CModalSolver& solver, double kappa, int a, int b) {
    CModalSolver::CWorkspace ws;
    CProducts out;
    out.omegaSquared.resize(static_cast<size_t>(solver.Size()));
    out.product.resize(static_cast<size_t>(solver.Size()));
    const int count = solver.SolveProducts(kappa, a, b, out.omegaSquared.data(), out.product.data(), ws);
    out.omegaSquared.resize(static_cast<size_t>(count));
    out.product.resize(static_cast<size_t>(count));
    return out;
}

// The frequency-domain modal sum the synthesis makes at kappa, sum w / (omega_j^2 - omega^2).
double ModalSum(const CModalSolver& solver, double kappa, int a, int b, double omega) {
    const CProducts p = TransientModes(solver, kappa, a, b);
    double sum = 0;
    for (size_t j = 0; j < p.product.size(); ++j) sum += p.product[j] / (p.omegaSquared[j] - omega * omega);
    return sum;
}

}  // namespace

TEST(Excitability, TopAmplitudesAreTheSynthesisWeightsAndTheAmplitudeItsResidue) {
    // A cross-ply (split into S, A and SH parts) and a [0/45/90] laminate (one part), three
    // frequencies each, every load direction and output.
    const CThicknessModel models[] = {Laminate({0, 90, 90, 0}, {0.25, 0.25, 0.25, 0.25}, 6),
                                      Laminate({0, 45, 90}, {0.3, 0.3, 0.4}, 6)};
    for (const CThicknessModel& model : models) {
        CDispersionRequest r;
        r.range = EDispersionRange::kFrequency;
        r.dFrom = 2 * kPi * 0.5;
        r.dTo = 2 * kPi * 1.5;
        r.nPoints = 3;
        r.nModes = 5;
        const CDispersionCurves curves = TraceDispersion(model, r);
        ASSERT_EQ(curves.error, "");
        const CModalSolver solver(AssembleBands(model));
        int checked = 0;
        for (const CModeLine& line : curves.lines)
            for (const CModePoint& p : line.points)
                for (int a = 0; a < 3; ++a)
                    for (int b = a; b < 3; ++b) {
                        // The weight: the transient's mode of the same frequency (W is -w~). A mode
                        // whose top does not move both ways has none (its block is not solved).
                        const double weight = std::abs(p.dTop[a] * p.dTop[b]);
                        const double scale = std::abs(p.dTop[0]) + std::abs(p.dTop[1]) + std::abs(p.dTop[2]);
                        if (weight < 1e-10 * scale * scale) continue;
                        const CProducts t = TransientModes(solver, p.dKappa, a, b);
                        ASSERT_FALSE(t.omegaSquared.empty());
                        size_t j = 0;
                        for (size_t i = 0; i < t.omegaSquared.size(); ++i)
                            if (std::abs(t.omegaSquared[i] - p.dOmega * p.dOmega) <
                                std::abs(t.omegaSquared[j] - p.dOmega * p.dOmega))
                                j = i;
                        ASSERT_NEAR(std::sqrt(t.omegaSquared[j]), p.dOmega, 1e-8 * p.dOmega) << line.strName;
                        EXPECT_NEAR(std::abs(t.product[j]), weight, 1e-8 * scale * scale) << line.strName << " " << a << b;
                        if (weight < 1e-3 * scale * scale) continue;
                        // The residue at the pole k_j: delta (U(k_j + delta) - U(k_j - delta)) / 2
                        // = w / (d omega^2 / dk) + O(delta^2), the eigenvalues resolving omega_j^2 - omega^2
                        // = 2 omega c_g delta to better than 1e-7.
                        const double delta = 2e-5 * p.dKappa;
                        const double residue = 0.5 * delta *
                                               (ModalSum(solver, p.dKappa + delta, a, b, p.dOmega) -
                                                ModalSum(solver, p.dKappa - delta, a, b, p.dOmega));
                        EXPECT_NEAR(std::abs(residue), Excitability(p, a, b), 1e-5 * Excitability(p, a, b))
                            << line.strName << " " << a << b << " at " << p.dOmega;
                        ++checked;
                    }
        EXPECT_GT(checked, 20);
    }
}
