#pragma once
// Dispersion curves of the through-thickness model: for every mode its frequency, wavenumber,
// phase and group velocity over a range, each mode one continuous line, sampled evenly along
// the range's own axis: at the same kappas for a wavenumber range, at the same frequencies for
// a frequency range (each mode from the start of the range or from its cut-off).
//
// The modes are followed from one wavenumber to the next by the overlap of their
// mass-normalised eigenvectors (phi_a^T M phi_b), not by the order of their frequencies, so a
// line goes straight through a crossing, with the step refined where that is not certain
// (LineTrace.h). A frequency range is traced from kappa = 0 and each line's point at a grid
// frequency found by Newton steps on omega(kappa). The group velocity comes from the
// eigenvector, c_g = phi^T K'(kappa) phi / (2 omega phi^T M phi), which is the exact derivative
// of the model's own omega(kappa); at zero frequency both velocities are their limits.
//
// Where the problem splits exactly (a stack that is its own mirror image about the mid-plane,
// and plies whose v motion does not couple to u and w) it is solved in the separate parts,
// and the lines take the family's name: S0, S1, ... (symmetric), A0, ... (antisymmetric) and
// SH0, SH1, ... (shear horizontal); otherwise they are named M0, M1, ... from the lowest.
// Dispersion is not the hot path: every wavenumber is a dense eigen-solve with eigenvectors.

#include <functional>
#include <string>
#include <vector>

#include "ThicknessModel.h"

namespace numerics {

enum class EDispersionRange {
    kWavenumber,  // kappa from dFrom to dTo (1/mm for a plate, circumferential order for a shell)
    kFrequency,   // omega from dFrom to dTo (rad/us)
};

struct CDispersionRequest {
    EDispersionRange range = EDispersionRange::kWavenumber;
    double dFrom = 0, dTo = 0;
    // A wavenumber range: the kappas sampled, evenly from dFrom to dTo. A frequency range: the
    // frequencies every mode is sampled at, evenly from dFrom to dTo (one: dFrom alone).
    int nPoints = 100;
    int nModes = 10;    // lines: the lowest at the first wavenumber
    // false solves the whole problem at once even where it splits (names are then M0, ...):
    // for checking the tracing itself.
    bool bSplit = true;
    // false takes every step between samples as it stands, certain or not: for checking the
    // refinement itself.
    bool bRefine = true;
    int nThreads = 1;   // for the points of a frequency range; the result does not depend on it
    // Energy velocity and top amplitudes of every point (a mode vector each); false leaves them 0.
    bool bEnergy = true;
};

struct CModePoint {
    double dKappa = 0;       // the sampled kappa (k, or n for a shell)
    double dOmega = 0;       // rad/us
    double dWavenumber = 0;  // k along the top surface, 1/mm (n / R for a shell)
    double dPhase = 0;       // omega / k, mm/us
    double dGroup = 0;       // d omega / d k, mm/us
    // The energy velocity along x and y (ModeShape.h), mm/us; at zero frequency the limit along x.
    double dEnergyX = 0, dEnergyY = 0;
    // The mass-normalised mode's displacement at the top surface, (U, V, W) as ModeShape.h
    // defines them: the synthesis weighs the mode by top(load) top(output).
    double dTop[3] = {0, 0, 0};
};

struct CModeLine {
    std::string strName;
    std::vector<CModePoint> points;  // ascending kappa
    int nPart = 0;                   // the part of the split problem it belongs to (MakeParts)
};

struct CDispersionCurves {
    std::vector<CModeLine> lines;
    bool bMirrorSymmetric = false;  // families named S, A (and SH where v decouples)
    std::string error;
};

// The most wavenumbers one run may sample.
inline constexpr int kMaxDispersionPoints = 20000;

// Empty when the request can be computed, else why not.
std::string CheckDispersionRequest(const CDispersionRequest& request);

CDispersionCurves TraceDispersion(const CThicknessModel& model, const CDispersionRequest& request,
                                  const std::function<void(int percent)>& progress = {});

// The point of the mode `name` at kappa (axis kWavenumber) or omega (kFrequency; of two points at
// one frequency, on a backward wave, the lower kappa), the mode named as a range from 0 names
// it. Empty on success, else why not (no such mode, or it does not reach the frequency).
struct CNamedPoint {
    CModePoint point;
    int nPart = 0;
};
std::string LocateMode(const CThicknessModel& model, const std::string& name, EDispersionRange axis, double value,
                       CNamedPoint& out);

// The excitability of a point for a line load of unit amplitude along `load` on the top
// surface, read along `output` (0 x, 1 y, 2 z): the far-field amplitude |top(load) top(output)| /
// (2 omega |c_g|), the residue of the modal sum at the mode's pole, in mm per GPa mm of load.
// 0 at zero frequency and where c_g vanishes (no wave carries it away).
double Excitability(const CModePoint& p, int load, int output);

// The table written by --dispersion with a range: comment lines starting with '#', then one line
// per point, "name frequency_MHz wavenumber phase group energy_x energy_y skew top_U top_V top_W",
// each mode's points together.
std::string FormatDispersionCurves(const CDispersionCurves& curves, bool shell);

}  // namespace numerics
