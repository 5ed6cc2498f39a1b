#pragma once
// A band-limited point source split smoothly in two (PointSource.h). Each mode of a wave vector
// enters the dynamic synthesis with the weight chi(omega) -- 1 up to the load's mode cutoff, 0
// above a higher frequency, smooth between -- and the quasi-static one with 1 - chi. Above the
// cutoff the dynamic response is the quasi-static one to the load's spectral floor, so the sum is
// unchanged to that floor, and each part is smooth in the wave vector: the dynamic part lives in
// the disc of wave vectors that hold a mode below the ramp's top, the quasi-static part has no
// oscillation in time, f(t) s(x, y) - f''(t) s2(x, y), and its s and s2 decay within a few
// thicknesses of the load. So the dynamic part takes the large lattice of the window's reach but
// only its small disc, and the quasi-static part every wave vector up to the cut-off but of a
// small lattice of its own, whose period is grown until the field's wrap-around is negligible.

#include <complex>
#include <string>
#include <vector>

#include "DirectionalSolvers.h"
#include "LoadBand.h"
#include "PointSource.h"

namespace numerics {

// The near field at the edge of its cell, relative to its peak, at most.
inline constexpr double kNearFieldTolerance = 1e-5;
// The near field's first period in thicknesses, and how often it may be doubled.
inline constexpr double kNearFieldPeriods = 32;
inline constexpr int kNearFieldDoublings = 3;

struct CModeSplit {
    double dLow = 0, dHigh = 0;  // rad/us: chi is 1 up to dLow, 0 from dHigh on
    bool On() const { return dHigh > 0; }
    double Dynamic(double omega) const;  // chi, infinitely smooth between
};
// The split of a band-limited load's run (off when the load is not band-limited).
CModeSplit MakeModeSplit(const CLoadBand& band);

// The largest |k| (1/mm, with a margin) at which some mode lies below omega, over the directions
// of the plane (a quarter of them for a stack symmetric about x and y).
double DynamicDiscRadius(CDirectionalSolvers& directions, double kMax, double omega, bool mirror, int threads);

// The quasi-static near field: s(x) = Re sum c exp(i k . x) over its lattice, likewise s2.
struct CNearField {
    double dPeriod = 0, dk = 0;   // square lattice: period (mm) and spacing (1/mm)
    bool bWhole = false;          // the period is the dynamic lattice's own: valid everywhere
    size_t nVectors = 0;          // wave vectors of its lattice
    size_t nSolved = 0;           // wave vectors (or the table's nodes) solved
    std::vector<long> m, n;
    std::vector<std::complex<double>> value, second;
    // s and s2 at (x, y); zero outside its cell.
    void At(double x, double y, double& s, double& s2) const;
    // s and s2 at the field's points, [y][x], x fastest.
    void OnGrid(const CFieldRequest& f, std::vector<double>& s, std::vector<double>& s2) const;
};

// How the near field's sums are found: interpolated from a polar table where that takes fewer
// solves than the lattice's first period has wave vectors, or solved at every wave vector.
enum class ENearSums { kCheapest, kEveryVector, kTable };

// The near field of the problem's output and load. Empty on success, else why it does not decay
// within its largest period (the run then takes one lattice for the whole, as without the split).
std::string SolveNearField(const CProblem& p, const CSourceGrid& g, const CModeSplit& split,
                           CDirectionalSolvers& directions, int threads, CNearField& out,
                           ENearSums how = ENearSums::kCheapest);

}  // namespace numerics
