#pragma once
// Many modes synthesised through a uniform grid of frequencies. A mode's response to the load,
// q(omega, t) = integral f(tau) sin(omega (t - tau)) / omega dtau, is an entire function of omega
// made of oscillations exp(i omega s) with lags s up to the time since the load began (the lag
// width T), and it is even in omega. So on bins omega_b = b delta with delta T small, a mode is a
// few bins' responses: q(omega, t) = sum_i L_i(omega) q(omega_b + i delta, t) (Lagrange weights
// on kBinTaps bins around it, those below zero folded onto their mirror images). A sum of many
// modes at many receivers becomes, per mode and receiver, a phase and kBinTaps updates, and the
// bins are synthesised exactly once at the end as if they were modes.

#include <vector>

#include "Synthesis.h"

namespace numerics {

// Bins per stencil, and the bin spacing times the lag width. A 12-point stencil at delta T = 0.35
// interpolates exp(i omega s), |s| <= T, within 2e-10 of its size (1.2e-8 at delta T = 0.5).
inline constexpr int kBinTaps = 12;
inline constexpr double kBinSpacingLag = 0.35;

class CFrequencyBins {
public:
    // lagWidth: the longest time (us) since the load began at which the response is wanted.
    explicit CFrequencyBins(double lagWidth);
    double Spacing() const { return m_dSpacing; }
    double Omega(long bin) const { return static_cast<double>(bin) * m_dSpacing; }
    // The weights of a mode at omega on bins first .. first + kBinTaps - 1 (folded at zero, so
    // first >= 0); returns first.
    long Weights(double omega, double* weights) const;
    // The bins a mode up to omega touches, and the lowest bin a mode at omega touches.
    long BinsUpTo(double omega) const;
    long FirstBin(double omega) const;

private:
    double m_dSpacing;
    double m_denominator[kBinTaps];  // 1 / prod_{j != i} (i - j)
};

// The receivers' curves (CReceiverSum) with the entries' modes binned first where that is the
// cheaper way; the curves are the same to the stencil's accuracy. The bins' weights at every
// receiver are held (bins x receivers); beyond `capValues` of them the bins are synthesised and
// the rest of the run goes unbinned, so memory stays bounded.
class CBinnedReceiverSum {
public:
    CBinnedReceiverSum(const CLoadFunction& load, const CTimeGrid& times, const CSampledPlan* plan, size_t length,
                       int receivers, bool binned, double lagWidth);

    void Add(size_t count, const CPackedModes& modes, const CPhase& phase, int threads);
    // The curves, each finished on the output times.
    std::vector<std::vector<double>> Curves(int threads);
    bool Binned() const { return m_bBinned; }

private:
    // Runs of entries with the same modes (a wave vector and its mirror image): their starts.
    static std::vector<size_t> SharedModes(size_t count, const CPackedModes& modes);
    // The bins of the receivers r0 .. r1 from the entries' modes, each stencil's weights once for
    // a run of entries (weights times the run's phases summed): those in [lowBin, highBin) added
    // to bins (row lowBin first, `stride` values a row).
    // cells: each mode's floor(|omega| / spacing).
    void Spread(const std::vector<size_t>& runs, const CPackedModes& modes, const long* cells, const CPhase& phase,
                size_t r0, size_t r1, long lowBin, long highBin, double* bins, size_t stride) const;
    void Flush(int threads);

    CReceiverSum m_sum;
    CFrequencyBins m_bins;
    bool m_bBinned;
    int m_nReceivers;
    size_t m_nCapValues;
    long m_nBins = 0;
    std::vector<double> m_weights;  // bins x receivers, receivers fastest
};

// Whether binning is the cheaper synthesis of about `entries` entries (each with a mode or a
// few) at `receivers` receivers of `length` values, with modes up to omegaMost.
bool BinningPays(double entries, int receivers, size_t length, double omegaMost, double lagWidth);

// The lag width of a run's curves: from the load's start to the last output time.
double LagWidth(const CLoadFunction& load, const CTimeGrid& times);

}  // namespace numerics
