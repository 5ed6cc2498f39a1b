#pragma once
// Curves at many receivers from the modes of many entries (a wavenumber of a line load, a wave
// vector of a point source, or one Bessel term of an axisymmetric one):
//   u_r(t) = sum over entries e of phase(e, r) G_e(t),  G_e(t) = sum over e's modes of c q(omega, t),
// q the mode's response to the load. The G_e are made once for every receiver and the receivers
// are one matrix product; rows go in chunks so that memory stays bounded, and receivers in
// fixed blocks, so no sum depends on the number of threads.

#include <Eigen/Dense>
#include <functional>
#include <vector>

#include "LoadBand.h"
#include "LoadResponse.h"

namespace numerics {

// The transform's factor of entry e (counted within the call) at receiver r.
using CPhase = std::function<double(size_t entry, int receiver)>;

// The modes of `count` entries, packed: entry e has modeCount[e] modes from offset[e] on.
struct CPackedModes {
    std::vector<double> omega, coeff;
    std::vector<size_t> modeCount, offset;
};

class CReceiverSum {
public:
    // length: values per curve before a sampled load's Finish (plan->BufferLength()).
    CReceiverSum(const CLoadFunction& load, const CTimeGrid& times, const CSampledPlan* plan, size_t length,
                 int receivers);

    void Add(size_t count, const CPackedModes& modes, const CPhase& phase, int threads);
    // The curves, each finished on the output times (a sampled load's plan applied).
    std::vector<std::vector<double>> Curves() const;

private:
    const CLoadFunction& m_load;
    const CTimeGrid& m_times;
    const CSampledPlan* m_plan;
    size_t m_nLength;
    Eigen::MatrixXd m_values;  // receivers x length
};

// curve += C1 f(t) - C2 f''(t), C1 and C2 the transformed quasi-static sums of the entries at
// one receiver (phase(e) the entry's factor there).
void AddQuasiStatic(const std::vector<CQuasiStatic>& quasi, const std::function<double(size_t)>& phase,
                    const CQuasiStaticLoad& load, std::vector<double>& curve);

// The same sums gathered batch by batch at many points, in the order the entries come (so the
// entries need not be kept): C1 and C2 per point.
class CQuasiSums {
public:
    explicit CQuasiSums(size_t points) : m_c1(points, 0.0), m_c2(points, 0.0) {}
    void Add(const std::vector<CQuasiStatic>& quasi, const CPhase& phase, int threads);
    // curve += C1 f(t) - C2 f''(t) at point r (nothing without the load's values).
    void AddTo(size_t r, const CQuasiStaticLoad& load, std::vector<double>& curve) const;

private:
    std::vector<double> m_c1, m_c2;
};

}  // namespace numerics
