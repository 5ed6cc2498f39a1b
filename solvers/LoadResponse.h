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
//
// Fast path (omegaResolved > 0): the response is linear in f, and a piecewise-linear f is a sum
// of ramps starting at its breakpoints (the slope changes, and the jumps at its two ends). So
// each block of modes only computes the receiver's responses to a unit ramp R2, step R1 and
// impulse R0 (R2' = R1, R2'' = R0, all in closed form per mode) on a fine uniform grid of lags;
// Finish superposes R2 over the breakpoints by quintic Hermite interpolation, and adds the two
// jumps from the exact step response. The cost per mode is the fine grid (a few times the
// output times), whatever the number of samples. The grid step is 0.5 / omegaResolved at most
// (refined from the output step by a whole factor, so every output time is a node), and the
// grid has at most kMaxSampledNodes nodes.
//
// Exact path (omegaResolved <= 0, or a window that would need more nodes): each mode's
// state is carried exactly over the pieces of the load merged with the output times, at a cost
// of samples x modes.
class CSampledPlan {
public:
    CSampledPlan(const CLoadFunction& load, const CTimeGrid& grid, double omegaResolved = 0);

    bool Fast() const { return m_bFast; }
    // Doubles per block buffer that AccumulateModes fills; Finish turns their sum into the
    // grid.nPoints output values.
    size_t BufferLength() const;
    void Finish(const std::vector<double>& buffer, std::vector<double>& out) const;
    // Time samples per mode, and the work of Finish (for the work estimate).
    double SamplesPerMode() const;
    double FinishWork() const { return 6.0 * grid.nPoints * static_cast<double>(bins.size()); }

    // Exact path: the pieces.
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

    // Fast path: lags g * dFine for g = 0 .. nNodes - 1; the breakpoints binned by lag offset.
    CTimeGrid grid;
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
    bool m_bFast = false;
};

// The most fine-grid nodes of the fast path; a window that would need more is summed exactly.
inline constexpr int kMaxSampledNodes = 1 << 16;

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
