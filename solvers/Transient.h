#pragma once
// The transient response at the receiver: modes at every wavenumber (plate) or circumferential
// order (shell), each mode's closed-form response to the load, the inverse transform as a
// trapezoid sum with a smooth taper at the cut-off.
//
// Plate: u(x, t) = (1/2pi) integral U(k, t) e^{ikx} dk, the trapezoid rule with spacing dk,
// which is the exact answer for a row of loads 2pi/dk apart. The spacing is chosen so that no
// wave from a neighbouring load reaches the receiver within the window at the fastest front
// speed: the result can never be aliased. Shell: the Fourier series around the circumference,
// exact by nature (a wave that travels round the shell is physics, not aliasing).

#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "LoadResponse.h"
#include "RunWork.h"
#include "SolverInput.h"

namespace numerics {

struct CWavenumbers {
    std::vector<double> kappa;   // k (1/mm) for a plate, n for a shell
    std::vector<double> weight;  // trapezoid weight / pi, times the taper
    double dKMax = 0;            // cut-off wavenumber on the top surface (1/mm)
    double dAngle = 0;           // x for a plate, x / R for a shell: kappa * dAngle is the phase
    double dSpacing = 0;         // dk (plate) or 1 (shell)
    double dPeriod = 0;          // plate: distance between the images of the load (mm)
};

// Wavenumbers whose modes are held at once.
inline constexpr size_t kBatchWavenumbers = 4096;

// Empty when the model is small enough to solve, else why not.
std::string CheckModelSize(const CThicknessModel& model);

// Empty error on success.
std::string MakeWavenumbers(const CProblem& problem, CWavenumbers& out);

// The highest frequency a sampled load's fast synthesis resolves finely: the fastest front at
// the cut-off wavenumber.
double ResolvedFrequency(const CProblem& problem, const CWavenumbers& grid);
CTimeGrid OutputTimes(const CProblem& problem, int points);
// The band of the problem's load (problem.band) and, with the automatic order, the model's
// orders for it: a band-limited load synthesises only the modes up to its cutoff.
void PlanBand(CProblem& problem, int order);
// A step, cosine or sine load at the automatic order: the modes above kModeCutoffFactor times the
// frequency the order resolves (the fastest front at the cut-off or what `points` output times
// show, whichever is higher) are carried quasi-statically instead of by their inaccurate
// dynamics. The modes just above that frequency are still close and their dynamics count more
// than their errors; far above, their dynamic part (falling like 1 / w^2 for a step) counts less
// (measured; docs/solvers.md).
// An impulse keeps every mode: its quasi-static part is zero after t = 0 and its modes' weights
// fall only like 1 / w. The line-load transient only (problem.band.dEdge is then 0).
void PlanBroadbandCutoff(CProblem& problem, int order, int points);
// A cosine or sine load keeps every mode unless the cutoff is this many times its frequency.
inline constexpr double kBroadbandLoadMargin = 3.0;
// The cutoff over the resolved frequency: the modes just above it are still close, and their
// dynamics count more than their errors (measured; docs/solvers.md).
inline constexpr double kBroadbandCutoffFactor = 2.0;

// The taper on the transformed load: exp(-a (k / kMax)^2), zero from the cut-off on, where it
// has fallen to exp(-a). In space the load becomes the Gaussian exp(-(x / w)^2) / (w sqrt(pi))
// of half-width w = 2 sqrt(a) / kMax (TaperWidth).
inline constexpr double kTaperExponent = 12.0;
double Taper(double k, double kMax);
inline double TaperWidth(double kMax) { return 2.0 * std::sqrt(kTaperExponent) / kMax; }

struct CTransientResult {
    std::vector<double> time, value;
    std::vector<std::vector<double>> receiverValues;  // SolveAtReceivers: one curve per receiver
    double dAssemblySeconds = 0, dEigenSeconds = 0, dSynthesisSeconds = 0;
    size_t nWavenumbers = 0;
    size_t nModalWavenumbers = 0;  // of them, those whose modes were solved for
    int nUnknowns = 0;
    std::string error;
};

struct CRunOptions {
    int nPoints = 1001;
    int nThreads = 1;
    bool bExactSampledLoad = false;  // carry every mode over every piece of a sampled load (checks)
    std::function<void(int percent)> progress;  // called from one thread at a time
};

CTransientResult SolveTransient(const CProblem& problem, const CRunOptions& options);

// The most receiving points of one run, and of receivers times output points (the curves are
// held together until the end).
inline constexpr size_t kMaxReceivers = 10000;
inline constexpr double kMaxReceiverValues = 5e7;
// One set of eigen-solves for every receiving point x (mm along the top surface; the input's
// own point is not used), one synthesis each: the curves in receiverValues, in the given order.
// Without receivers it is SolveTransient.
CTransientResult SolveAtReceivers(const CProblem& problem, const CRunOptions& options,
                                  const std::vector<double>* receivers);

// Lowest frequencies (rad/us) at each kappa.
std::vector<std::vector<double>> Dispersion(const CThicknessModel& model, const std::vector<double>& kappas,
                                            int modes);

}  // namespace numerics
