#pragma once
// Time functions of the line load and the response of one mode to them: the Duhamel integral
// q(t) = integral_0^t f(tau) sin(omega (t - tau)) / omega dtau of a unit-mass oscillator at
// rest, in closed form for each load type, and summed over many modes at once at the uniform
// output times.

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

// How many time samples per mode the synthesis of the load over the window t0..t1 at `points`
// output times computes (the output times, or the sampled load's own grid).
double SynthesisSamples(const CLoadFunction& load, double t0, double t1, int points);

// One mode's response at one time, by the numerically stable forms (for checks and for modes
// the fast path cannot take).
double ModalResponse(const CLoadFunction& load, double omega, double t);

// The intervals of a sampled load merged with the output times; built once, shared.
class CSampledPlan {
public:
    CSampledPlan(const CLoadFunction& load, const CTimeGrid& grid);
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
};

// out[j] += sum_p coeff[p] * q(omega[p], t_j) for every output time.
void AccumulateModes(const CLoadFunction& load, const CTimeGrid& grid, const CSampledPlan* plan,
                     const double* omega, const double* coeff, size_t count, double* out);

// Reads "ft.dat": two numbers per line (time, value), times increasing by at least
// kMinLoadStep; blank lines ignored. Returns an error message naming the line, or empty.
std::string ReadSampledLoad(const std::string& path, CLoadFunction& load);
// The same for the file's text; name is used in messages.
std::string ParseSampledLoad(const std::string& text, const std::string& name, CLoadFunction& load);

}  // namespace numerics
