#pragma once
// Time functions of the line load and the response of one mode to them: the Duhamel integral
// q(t) = integral_0^t f(tau) sin(omega (t - tau)) / omega dtau of a unit-mass oscillator at
// rest, in closed form for each load type, and summed over many modes at once at the uniform
// output times.

#include <array>
#include <string>
#include <vector>

namespace numerics {

enum class ELoadType { kStep = 1, kImpulse = 2, kCosine = 3, kSampled = 4, kSine = 5 };

struct CLoadFunction {
    ELoadType type = ELoadType::kStep;
    double dOmega = 0;               // rad/us, cosine and sine loads
    std::vector<double> times;       // sampled load: increasing times (us)
    std::vector<double> values;      // and the load there; linear between, zero outside
};

struct CTimeGrid {
    double dFrom = 0;
    double dStep = 0;
    int nPoints = 0;
    double At(int j) const { return dFrom + dStep * j; }
    double Last() const { return At(nPoints - 1); }
};

// One mode's response at one time, by the numerically stable forms (for checks and for modes
// the fast path cannot take).
double ModalResponse(const CLoadFunction& load, double omega, double t);

// How a sampled load is summed over the modes, built once and shared by every block of modes.
// Three ways, each exact or nearly so; the plan takes the cheapest for the load and the times:
//
// Breakpoints: the response is linear in f, and a piecewise-linear f is a sum of ramps starting
// at its breakpoints (the slope changes, and the jumps at its two ends). A mode of frequency w
// answers a ramp of slope s from t_b with s (w tau - sin w tau) / w^3 and a jump J with
// J (1 - cos w tau) / w^2 (tau = t - t_b), so at every output time
//   q(t) = f(t) / w^2 - Im(e^{i w t} P(t)),  P(t) = sum over the breakpoints up to t of
//          e^{-i w t_b} (s_b / w^3 + i J_b / w^2):
// one rotation per output time and one term per breakpoint, straight onto the output times. The
// cost per mode is the output times plus the breakpoints before the last of them.
//
// Lag grid: each block of modes only computes the receiver's responses to a unit ramp R2, step
// R1 and impulse R0 (R2' = R1, R2'' = R0, all in closed form per mode) on a fine uniform grid of
// lags; Finish superposes R2 over the breakpoints by quintic Hermite interpolation, and adds the
// two jumps from the exact step response. The cost per mode is the fine grid (a few times the
// output times), whatever the number of samples. The grid step is 0.5 / omegaResolved at most
// (refined from the output step by a whole factor, so every output time is a node), and the
// grid has at most kMaxSampledNodes nodes.
//
// Exact (omegaResolved <= 0, for checks): each mode's state is carried exactly over the pieces
// of the load merged with the output times, at a cost of samples x modes.
enum class ESampledPath { kCheapest, kExact, kLagGrid, kBreakpoints };

class CSampledPlan {
public:
    // `path` forces a fast path (for checks); a lag grid the window cannot have gives way to the
    // breakpoints.
    CSampledPlan(const CLoadFunction& load, const CTimeGrid& grid, double omegaResolved = 0,
                 ESampledPath path = ESampledPath::kCheapest);

    ESampledPath Path() const { return m_path; }
    bool Fast() const { return m_path != ESampledPath::kExact; }
    // Doubles per block buffer that AccumulateModes fills; Finish turns their sum into the
    // grid.nPoints output values.
    size_t BufferLength() const;
    void Finish(const std::vector<double>& buffer, std::vector<double>& out) const;
    // Time samples per mode, and the work of Finish (for the work estimate).
    double SamplesPerMode() const;
    double FinishWork() const;

    CTimeGrid grid;

    // Exact path, and the breakpoint path's modes too slow for its closed forms: the pieces.
    struct CInterval {
        double dLength;
        double dForce;   // at its start
        double dSlope;
        int nOutput;     // output index reached at its end, or -1
        bool bUniform;   // length equal to the output step
    };
    std::vector<CInterval> intervals;
    double dStart = 0;   // the state is at rest here
    int nFirstOutput = 0;  // outputs before it are zero

    // Breakpoint path: every sample up to the last output time, in order, times counted from the
    // first sample.
    struct CBreakpoint {
        double dLag;          // time after the first sample
        double dGapExcess;    // its distance from the one before, less dCommonGap
        double dSlopeChange;  // slope after less slope before
        double dJump;         // the first sample's value, less the last's, 0 between
        int nActive;          // the first output time at or after it
    };
    std::vector<CBreakpoint> breakpoints;
    double dCommonGap = 0;            // the median distance between them
    double dOutputLag = 0;            // the first output time after the first sample
    std::vector<double> loadAtOutputs;  // f at the output times

    // Lag grid: lags g * dFine for g = 0 .. nNodes - 1; the breakpoints binned by lag offset.
    int nSub = 1;          // fine steps per output step
    double dFine = 0;
    int nNodes = 0;
    struct CBin {
        long nOffset;               // output k lags it by k nSub - nOffset fine steps, plus a part
        std::array<double, 6> w;    // Hermite weights (times h, h^2) times the slope change
    };
    std::vector<CBin> bins;         // ascending offsets, one per fine cell holding breakpoints
    double dJumpStart = 0, dJumpEnd = 0;      // the jumps at the first and last sample ...
    double dTimeStart = 0, dTimeEnd = 0;      // ... and where they are

private:
    void PlanPieces(const CLoadFunction& load);
    void PlanBreakpoints(const CLoadFunction& load);
    void PlanLagGrid(const CLoadFunction& load, double omegaResolved);
    double BreakpointCost(double omegaResolved) const;

    ESampledPath m_path = ESampledPath::kExact;
};

// The most fine-grid nodes of the lag grid; a window that would need more takes another path.
inline constexpr int kMaxSampledNodes = 1 << 16;

// A sampled load's modes summed by the plan's path into out (plan.BufferLength() values).
void AccumulateSampled(const CSampledPlan& plan, const double* omega, const double* coeff, size_t count,
                       double* out);

// out[j] += sum_p coeff[p] * q(omega[p], t_j) for every output time. For a sampled load on the
// fast path out holds plan->BufferLength() values instead, for plan->Finish.
void AccumulateModes(const CLoadFunction& load, const CTimeGrid& grid, const CSampledPlan* plan,
                     const double* omega, const double* coeff, size_t count, double* out);

// Reads "ft.dat": two numbers per line (time, value), times increasing by at least
// kMinLoadStep; blank lines ignored. Returns an error message naming the line, or empty.
std::string ReadSampledLoad(const std::string& path, CLoadFunction& load);
// The same for the file's text; name is used in messages.
std::string ParseSampledLoad(const std::string& text, const std::string& name, CLoadFunction& load);

}  // namespace numerics
