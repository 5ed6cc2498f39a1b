#include "RunWork.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <sstream>

#include "Transient.h"

namespace numerics {

namespace {

// Fitted on the development machine (processor time of one core; scripts/bench.sh 3 work).
constexpr double kRotation = 4.0;        // per n^2 b of a banded reduction
constexpr double kPerSquare = 16.0;      // per n^2: the QL iterations and the rows carried
// Per n: the few modes below a limit a point source keeps, found alone (where the whole spectrum
// costs more).
constexpr double kBelowPerRow = 150.0;
// Per step and n (2 ka + 2 kb + steps) of the low modes' Lanczos (LowModes.h), on a block large
// enough for it; its steps for the dynamic modes alone and for an atlas's node (measured on the
// tone-burst example: 15.3 and 25.8, 66 and 134 us a block of 74 unknowns).
constexpr double kLanczosStep = 1.0;
constexpr double kDynamicSteps = 15, kNodeSteps = 26, kLanczosRoom = 16;
constexpr double kDense = 0.45;          // per n^3 of a dense reduction
constexpr double kFactorWidth = 0.2;     // per n b^2 of the two Cholesky factors of the static sums
constexpr double kFactorColumn = 17.0;   // per n b of them
constexpr double kModeSample = 0.7;      // one mode's response at one time sample
constexpr double kMultiplyAdd = 0.2;     // one term of the receivers' matrix product
constexpr double kFinishTerm = 1.0;      // one unit of a sampled plan's finishing work
constexpr double kMixTerm = 5.0;         // per n (b + 1) of mixing a direction's three stiffness bands
// Wavenumbers on which the modes below a cutoff are counted.
constexpr size_t kCountSamples = 24;

double Minutes(double units) { return units / kWorkUnitsPerSecond / 60.0; }

double SlowestSpeedSquared(const CThicknessModel& model) {
    double slowest = std::numeric_limits<double>::infinity();
    for (const CElement& e : model.elements)
        for (size_t g = 0; g < e.density.size(); ++g)
            slowest = std::min(slowest, SlowestBulkSpeedSquared(e.stiffness[g], e.density[g]));
    return slowest;
}

// The settings that make the wavenumbers many, the one that matters most first: the window's
// reach at the fastest speed or the receiver's distance.
std::string FewerWavenumbers(const CProblem& p) {
    if (p.bShell) return "fewer circumferential orders: a lower dimensionless constant";
    double start = 0;
    if (p.load.type == ELoadType::kSampled && !p.load.times.empty()) start = std::min(0.0, p.load.times.front());
    const double reach = std::sqrt(p.model.FastestSpeedSquared()) * std::max(0.0, p.dTimeTo - start);
    const std::string note = InflatedSpeedNote(p.model);
    return std::string(note.empty() ? "" : "a material further from incompressibility, or ") +
           (reach >= std::abs(p.dReceiverX)
                ? "fewer wavenumbers: a shorter window, a nearer receiver or a lower dimensionless constant"
                : "fewer wavenumbers: a nearer receiver, a shorter window or a lower dimensionless constant") +
           (note.empty() ? "" : " (" + note + ")");
}

}  // namespace

std::string InflatedSpeedNote(const CThicknessModel& model) {
    const double fastest = model.FastestSpeedSquared(), slowest = SlowestSpeedSquared(model);
    if (!(fastest > kInflatedSpeedRatio * kInflatedSpeedRatio * slowest)) return {};
    std::ostringstream msg;
    msg.precision(3);
    msg << "the fastest wave of the model, " << std::sqrt(fastest) << " mm/us, is " << std::sqrt(fastest / slowest)
        << " times its slowest: a nearly incompressible material (a Poisson ratio near its limit) makes its "
           "compression wave that fast";
    return msg.str();
}

CWavenumberCost WavenumberCost(const CModalSolver& solver, int a, int b) {
    CWavenumberCost cost;
    for (const CModalSolver::CBlockShape& s : solver.BlockShapes()) {
        if (b >= 0 && (!s.moves[a] || !s.moves[b])) continue;
        const double n = s.nSize, ka = s.ka;
        const double reduction = s.bDense ? kDense * n * n * n : kRotation * n * n * ka;
        cost.dModal += reduction + kPerSquare * n * n;
        const double partial = reduction + std::min(kBelowPerRow * n, kPerSquare * n * n);
        const auto lanczos = [&](double steps) {
            return s.bDense || n <= steps + kLanczosRoom
                       ? partial
                       : kLanczosStep * steps * n * (2 * ka + 2.0 * s.kb + steps) + 3 * kFactorWidth * n * ka * ka;
        };
        cost.dBelow += lanczos(kDynamicSteps);
        cost.dNode += lanczos(kNodeSteps);
        cost.dStatic += kFactorWidth * n * ka * ka + kFactorColumn * n * ka;
    }
    return cost;
}

CWavenumberCost WholeCost(const CModalSolver& solver) { return WavenumberCost(solver, 0, -1); }

double MixCost(const CModalSolver& solver) {
    double cost = 0;
    for (const CModalSolver::CBlockShape& s : solver.BlockShapes()) cost += kMixTerm * s.nSize * (s.ka + 1.0);
    return cost;
}

CRunWork EstimateRunWork(const CProblem& p, const CWavenumbers& grid, int points, int receivers) {
    CRunWork work;
    const CModalSolver solver(AssembleBands(p.model));
    const int a = p.nOutput - 1, b = p.nLoadDir - 1;
    const CWavenumberCost each = WavenumberCost(solver, a, b);
    const size_t nk = grid.kappa.size();
    work.dWavenumbers = static_cast<double>(nk);
    work.nUnknowns = solver.Size();
    double modalShare = 1, modesEach = 0;
    for (const CModalSolver::CBlockShape& s : solver.BlockShapes())
        if (s.moves[a] && s.moves[b]) modesEach += s.nSize;
    const double cutoff = p.band.dModeCutoff;
    if (cutoff > 0 && nk > 0) {
        // Modes below the cutoff on an even sample of the wavenumbers, each in the middle of its share.
        const size_t samples = std::min(nk, kCountSamples);
        double modal = 0, modes = 0;
        for (size_t s = 0; s < samples; ++s) {
            const size_t i = std::min(nk - 1, (2 * s + 1) * nk / (2 * samples));
            const int below = solver.CountBelow(grid.kappa[i], cutoff * cutoff, a, b);
            modal += below > 0 ? 1 : 0;
            modes += below;
        }
        modalShare = modal / static_cast<double>(samples);
        modesEach = modes / static_cast<double>(samples);
    }
    work.dModalWavenumbers = modalShare * work.dWavenumbers;
    work.dModes = modesEach * work.dWavenumbers;
    // With a cutoff every wavenumber first tries the static sums; one with modes stops at the
    // first factor (about half of them).
    const double tried = cutoff > 0 ? each.dStatic : 0.0;
    work.dEigen = work.dModalWavenumbers * (each.dModal + 0.5 * tried) +
                  (work.dWavenumbers - work.dModalWavenumbers) * tried;

    const CTimeGrid times = OutputTimes(p, points);
    double length = times.nPoints, finish = 0;
    work.dSamplesPerMode = times.nPoints;
    if (p.load.type == ELoadType::kSampled) {
        const CSampledPlan plan(p.load, times, ResolvedFrequency(p, grid));
        work.dSamplesPerMode = plan.SamplesPerMode();
        length = static_cast<double>(plan.BufferLength());
        finish = plan.FinishWork();
    }
    const double curves = std::max(1, receivers);
    work.dSynthesis = kModeSample * work.dModes * work.dSamplesPerMode + kFinishTerm * finish * curves;
    if (receivers > 0)
        work.dReceivers = kMultiplyAdd * curves * (work.dModalWavenumbers * length + work.dWavenumbers + times.nPoints);
    return work;
}

std::string CheckRunSize(const CProblem& p, int points, int receivers) {
    CWavenumbers grid;
    const std::string error = MakeWavenumbers(p, grid);
    if (!error.empty()) return error;
    const CRunWork work = EstimateRunWork(p, grid, points, receivers);
    if (work.Total() <= kMaxRunWork) return {};
    std::ostringstream msg;
    msg.precision(3);
    msg << "the run is too large: " << grid.kappa.size() << " wavenumbers of " << work.nUnknowns << " unknowns";
    if (receivers > 0) msg << ", " << receivers << " receiving points";
    msg << " at " << points << " output points would take about " << Minutes(work.Total())
        << " minutes of processor time (" << work.Total() << " units of work, at most " << kMaxRunWork << "): ";
    // Name what makes the largest part large.
    const bool highOrder = p.model.HighestOrder() > kQuadraticOrder;
    const std::string unknowns = highOrder ? "a lower --order (2 is the quadratic element)" : "fewer sublayers";
    if (work.dReceivers >= work.dEigen && work.dReceivers >= work.dSynthesis) {
        msg << "mostly the receiving points' sums; use fewer receiving points or fewer --points, or "
            << FewerWavenumbers(p);
    } else if (work.dSynthesis >= work.dEigen) {
        msg << "mostly the synthesis, " << work.dModes << " modes over the wavenumbers at " << work.dSamplesPerMode
            << " time samples each; use fewer --points";
        if (p.load.type == ELoadType::kSampled && work.dSamplesPerMode > 2.0 * points)
            msg << " or fewer samples of the load";
        msg << ", or " << FewerWavenumbers(p);
    } else {
        msg << "mostly the eigen-solves; use " << unknowns << ", or " << FewerWavenumbers(p);
    }
    return msg.str();
}

bool FitOrdersToWork(CProblem& p, int order, int points, int receivers) {
    if (order != kAutomaticOrder) return false;
    bool lowered = false;
    for (int cap = p.model.HighestOrder() - 1; cap >= kQuadraticOrder; --cap) {
        CWavenumbers grid;
        if (!MakeWavenumbers(p, grid).empty()) return lowered;  // refused for its wavenumbers
        if (EstimateRunWork(p, grid, points, receivers).Total() <= kMaxRunWork) return lowered;
        RebuildAutomaticModel(p, points, cap);
        lowered = true;
    }
    return lowered;
}

}  // namespace numerics
