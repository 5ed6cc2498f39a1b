#pragma once
// The solver core on an accepted problem, with small limits so that each input takes
// milliseconds: the wavenumber grid, the assembly, the modes at a few wavenumbers (first,
// middle, last of the grid) and the synthesis of those at a few output times. Every number that
// comes out must be finite: an accepted input never gives a result that is not.

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "FuzzCheck.h"
#include "SolverInputChecks.h"
#include "ModalSolver.h"
#include "Transient.h"

namespace fuzzcheck {

inline constexpr size_t kCoreMaxElements = 12;
inline constexpr int kCoreMaxUnknowns = 240;  // high automatic orders: still milliseconds
inline constexpr int kCorePoints = 9;

inline void RunCore(const numerics::CProblem& p) {
    if (p.model.elements.size() > kCoreMaxElements || p.model.DofCount() > kCoreMaxUnknowns)
        return;
    numerics::CWavenumbers grid;
    if (!numerics::MakeWavenumbers(p, grid).empty())
        return;
    FUZZ_CHECK(!grid.kappa.empty() && std::isfinite(grid.dKMax) && std::isfinite(grid.dAngle), "wavenumber grid");
    for (size_t i = 0; i < grid.kappa.size(); ++i)
        FUZZ_CHECK(std::isfinite(grid.kappa[i]) && std::isfinite(grid.weight[i]) && grid.weight[i] >= 0,
                   "wavenumber " + std::to_string(i));

    const numerics::CSafeMatrices matrices = numerics::Assemble(p.model);
    FUZZ_CHECK(matrices.K1.allFinite() && matrices.K2.allFinite() && matrices.K3.allFinite() && matrices.M.allFinite(),
               "assembled matrices");
    const numerics::CModalSolver solver(matrices);
    const int n = solver.Size();
    numerics::CModes modes;
    numerics::CModalSolver::CWorkspace ws;
    std::vector<double> omega, coeff;
    const size_t picks[] = {0, grid.kappa.size() / 2, grid.kappa.size() - 1};
    const int a = p.nOutput - 1, b = p.nLoadDir - 1;
    for (size_t i : picks) {
        solver.Solve(grid.kappa[i], modes, ws);
        FUZZ_CHECK(modes.omegaSquared.size() == n && modes.omegaSquared.allFinite() && modes.top.allFinite(),
                   "modes at kappa " + std::to_string(grid.kappa[i]));
        for (int j = 0; j < n; ++j) {
            omega.push_back(std::sqrt(std::max(0.0, modes.omegaSquared(j))));
            coeff.push_back(grid.weight[i] * modes.top(a, j) * modes.top(b, j));
        }
    }
    numerics::CTimeGrid times;
    times.nPoints = kCorePoints;
    times.dFrom = p.dTimeFrom;
    times.dStep = (p.dTimeTo - p.dTimeFrom) / (kCorePoints - 1);
    FUZZ_CHECK(std::isfinite(times.dStep) && times.dStep > 0, "time step");
    numerics::CLoadFunction load = p.load;
    if (load.type == numerics::ELoadType::kSampled && load.times.empty()) {
        // "input.d" alone has no samples: a small pulse over the window stands in for "ft.dat".
        load.times = {p.dTimeFrom, 0.5 * (p.dTimeFrom + p.dTimeTo), p.dTimeTo};
        load.values = {0.0, 1.0, 0.0};
    }
    std::unique_ptr<numerics::CSampledPlan> plan;
    if (load.type == numerics::ELoadType::kSampled)
        plan = std::make_unique<numerics::CSampledPlan>(load, times, numerics::ResolvedFrequency(p, grid));
    std::vector<double> out(plan ? plan->BufferLength() : kCorePoints, 0.0);
    numerics::AccumulateModes(load, times, plan.get(), omega.data(), coeff.data(), omega.size(), out.data());
    if (plan) {
        const std::vector<double> buffer = out;
        plan->Finish(buffer, out);
    }
    for (int j = 0; j < kCorePoints; ++j)
        FUZZ_CHECK(std::isfinite(out[j]), "synthesis at t = " + std::to_string(times.At(j)));
}

// RunCore on the accepted problem; when it has too many unknowns for the core at the automatic
// order, on the same input read with quadratic elements (parse(order, problem) reads it again).
template <class Parse>
void RunCoreAtSomeOrder(const numerics::CProblem& p, const Parse& parse) {
    RunCore(p);
    if (p.model.DofCount() <= kCoreMaxUnknowns)
        return;
    numerics::CProblem quadratic;
    FUZZ_CHECK(parse(numerics::kQuadraticOrder, quadratic).empty(), "refused at a fixed order");
    CheckAccepted(quadratic);
    RunCore(quadratic);
}

}  // namespace fuzzcheck
