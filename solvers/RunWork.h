#pragma once
// What a transient run of the line load will cost, known before it starts, so that a run too
// large for a desktop machine is refused with the setting that makes it smaller, and the
// automatic element order can stay within the bound.
//
// The estimate follows what the run does. At each wavenumber the blocks that carry the load to
// the output are reduced (banded: about n^2 (b + 4) operations for a block of n unknowns and
// half-width b; a wide block densely, n^3); with a mode cutoff a wavenumber whose every mode lies
// above it costs two banded Cholesky factors instead. Which wavenumbers have modes below the
// cutoff, and how many, is counted on a sample of the wavenumbers by the inertia of
// K - cutoff^2 M. The synthesis is modes kept x time samples of the load's path; many receivers
// add their matrix product (receivers x modal wavenumbers x time samples).
//
// A unit of work is about a nanosecond of processor time of one core of the 2-core development
// machine (the constants below are fitted there; `scripts/bench.sh work` prints the estimate
// against the measured time for a range of runs).

#include <string>

#include "ModalSolver.h"
#include "SolverInput.h"

namespace numerics {

struct CWavenumbers;

// Units of work per second of processor time on the development machine.
inline constexpr double kWorkUnitsPerSecond = 1e9;

// One wavenumber of a model, in units of work.
struct CWavenumberCost {
    double dModal = 0;   // its modes: the reductions and QL iterations of the blocks used
    double dStatic = 0;  // the static sums instead: two banded Cholesky factors of each block
    double dBelow = 0;   // the few modes below a limit alone (a point source's dynamic part)
    double dNode = 0;    // those and four spares above (a mode atlas's node)
};
// a, b: the load's and the output's component (0 u, 1 v, 2 w~).
CWavenumberCost WavenumberCost(const CModalSolver& solver, int a, int b);
// Every block of the solver, as a point source's wave vector takes it (the whole spectrum with the
// top's three components; the static sums of all three).
CWavenumberCost WholeCost(const CModalSolver& solver);
// Mixing a direction's stiffness from the directional samples (DirectionalSolvers.h), per vector.
double MixCost(const CModalSolver& solver);

struct CRunWork {
    double dEigen = 0;      // eigen-solves and static sums of every wavenumber
    double dSynthesis = 0;  // the synthesised modes' responses at the time samples
    double dReceivers = 0;  // many receivers: their product with the modal sums, and finishing
    double dWavenumbers = 0;       // of the run
    double dModalWavenumbers = 0;  // of them, those with modes below the cutoff (estimated)
    double dModes = 0;             // modes synthesised, over every wavenumber (estimated)
    double dSamplesPerMode = 0;    // time samples of each synthesised mode
    int nUnknowns = 0;
    double Total() const { return dEigen + dSynthesis + dReceivers; }
};

// The work of the problem's run over the grid's wavenumbers at `points` output times, with
// `receivers` receiving points (0: the input's own, one curve).
CRunWork EstimateRunWork(const CProblem& problem, const CWavenumbers& grid, int points, int receivers = 0);

// Where a material makes the model's fastest wave far faster than its slowest (a nearly
// incompressible one: its compression wave), which makes the wavenumbers and the orders many: a
// sentence saying so, else empty.
inline constexpr double kInflatedSpeedRatio = 100;
std::string InflatedSpeedNote(const CThicknessModel& model);

// Empty when the run stays within the bounds (wavenumber count, work), else why not and the
// setting that helps most.
std::string CheckRunSize(const CProblem& problem, int points, int receivers = 0);

// With the automatic order: where the run would exceed the work bound, the highest orders are
// lowered, one step at a time down to the quadratic element, until it fits. Returns whether
// they were.
bool FitOrdersToWork(CProblem& problem, int order, int points, int receivers = 0);

}  // namespace numerics
