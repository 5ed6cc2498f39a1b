#pragma once
// How high in frequency a project's load reaches, and whether a run's output times can show it:
// the Study form and pemblar-study warn when a sampling would flatten the peaks of the response.

#include <optional>
#include <string>

#include "SampledLoad.h"

// The output samples a run takes when it is not told (the solvers' --points default).
int SolverDefaultPoints();

// The highest frequency (MHz) the load excites noticeably: a Hann burst's centre frequency plus
// its main lobe's half width (2 / cycles of it), the 1 % point of a Gaussian pulse's spectrum,
// the frequency of a cosine or sine load (omega / 2 pi), a raised-cosine step's rise. None for a
// step or an impulse (every frequency) and for an imported measurement (unknown).
// loadType: 1 H(t), 2 Deta(t), 3 Exp(iwt), 4 Any f(t), 5 Sin(wt); omega in rad/us; sampled: the
// settings behind "Any f(t)", null when there are none.
std::optional<double> HighestLoadFrequency(int loadType, double omega, const CSampledLoad* sampled);

// Fewer output samples a period of the load's highest frequency than this flatten the peaks
// visibly (at 10 a peak may read up to 5 % low).
inline constexpr double kMinSamplesPerPeriod = 10;

// A sentence when `points` output samples (0: the solvers' default) over [from, to] us fall
// short of kMinSamplesPerPeriod at fMax MHz, naming a count that would do; empty otherwise.
std::string SamplingWarning(int points, double from, double to, double fMax);
