#pragma once
// The frequency band that a load can excite, and the time functions of the quasi-static
// correction that carries every mode above it.
//
// A mode of frequency w far above the frequencies of a smooth load f follows it quasi-statically:
// q = f / w^2 - f'' / w^4 + ... (mode acceleration). So a run only needs the dynamic response of
// the modes in or near the load's band; the rest enter through the static flexibility of the
// model at each wavenumber, times f(t), and its second term, times f''(t). These pieces do not
// depend on how the wavenumbers are summed (a line load here, any other synthesis elsewhere).

#include <vector>

#include "LoadResponse.h"

namespace numerics {

// The spectrum of a band-limited load stays below this fraction of its peak above the band's edge.
inline constexpr double kLoadBandFraction = 1e-5;
// Modes up to this many times the band's edge are synthesised; the second quasi-static term
// leaves an error of about (band / cutoff)^4 of the static part of the modes above.
inline constexpr double kModeCutoffFactor = 1.5;

// How a run treats the load's frequencies. Not limited: every mode is synthesised.
struct CLoadBand {
    double dEdge = 0;        // rad/us: the load's spectrum stays below the fraction above it
    double dModeCutoff = 0;  // rad/us: modes above it are carried quasi-statically; 0 for none
    bool Limited() const { return dModeCutoff > 0; }
};

// The band of a sampled load as seen by outputs up to tLast: the highest frequency at which its
// spectrum reaches kLoadBandFraction of its peak; for a load that is still on at tLast, the
// spectrum of its rate f' (the part before tLast), which carries its modes beyond the static. The
// samples must show it: a spectrum that still reaches the fraction near the samples' own limit
// (pi over their typical step; above it lie only the images of the linear interpolation), a load
// that jumps, or one too long to examine cheaply gives `ceiling` (not band-limited).
// `fraction` other than kLoadBandFraction finds where the spectrum falls below that share instead.
double SampledLoadBandEdge(const CLoadFunction& load, double tLast, double ceiling,
                           double fraction = kLoadBandFraction);

// The band of a run's load (only a sampled load is ever limited); ceiling is the highest
// frequency the run resolves at all.
CLoadBand PlanLoadBand(const CLoadFunction& load, double tLast, double ceiling);

// The quasi-static sums of one wavenumber's modes above the band.
struct CQuasiStatic {
    double dFlexibility = 0;  // sum of top(a) top(b) / omega^2
    double dSecond = 0;       // sum of top(a) top(b) / omega^4
    bool bStatic = false;     // no mode was synthesised: all came from K^-1
};

// The load f and its curvature f'' at the output times. f'' of linear pieces is a row of
// impulses at the breakpoints; each is spread over the two pieces beside it (a hat), which keeps
// its low-frequency content, the part the quasi-static term is meant for.
struct CQuasiStaticLoad {
    std::vector<double> value, curvature;
};
CQuasiStaticLoad QuasiStaticLoad(const CLoadFunction& load, const CTimeGrid& grid);

}  // namespace numerics
