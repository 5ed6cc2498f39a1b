#include "SourceBinning.h"

#include <algorithm>
#include <cmath>

#include "Parallel.h"

namespace numerics {

namespace {

// Receivers per block of the binned sum (each block one thread's, summed in entry order).
constexpr int kBinReceiverBlock = 64;
// Entries at most in a run sharing their modes' weights.
constexpr size_t kSharedEntries = 4;
// A single block of receivers has its bins in this many ranges, each one thread's (the ranges
// fixed, so each bin is summed in entry order on any number of threads).
constexpr long kBinRanges = 8;
// Bins x receivers held at least may reach this many values before they are synthesised.
constexpr size_t kMinBinCapValues = size_t(1) << 23;

}  // namespace

CFrequencyBins::CFrequencyBins(double lagWidth) : m_dSpacing(kBinSpacingLag / std::max(lagWidth, 1e-9)) {
    for (int i = 0; i < kBinTaps; ++i) {
        double product = 1;
        for (int j = 0; j < kBinTaps; ++j)
            if (j != i) product *= static_cast<double>(i - j);
        m_denominator[i] = 1.0 / product;
    }
}

long CFrequencyBins::BinsUpTo(double omega) const {
    return static_cast<long>(std::floor(std::abs(omega) / m_dSpacing)) + kBinTaps / 2 + 1;
}

long CFrequencyBins::FirstBin(double omega) const {
    return std::max(0L, static_cast<long>(std::floor(std::abs(omega) / m_dSpacing)) - kBinTaps / 2 + 1);
}

long CFrequencyBins::Weights(double omega, double* weights) const {
    const double x = std::abs(omega) / m_dSpacing;
    const long first = static_cast<long>(std::floor(x)) - kBinTaps / 2 + 1;
    const double u = x - static_cast<double>(first);  // in [taps/2 - 1, taps/2)
    // L_i(u) = prod_{j != i} (u - j) / (i - j), by products from both ends (no division, exact at
    // the nodes).
    double before[kBinTaps], after[kBinTaps];
    before[0] = 1;
    for (int i = 1; i < kBinTaps; ++i) before[i] = before[i - 1] * (u - (i - 1));
    after[kBinTaps - 1] = 1;
    for (int i = kBinTaps - 2; i >= 0; --i) after[i] = after[i + 1] * (u - (i + 1));
    if (first >= 0) {
        for (int i = 0; i < kBinTaps; ++i) weights[i] = before[i] * after[i] * m_denominator[i];
        return first;
    }
    // Near zero: q is even in omega, so a bin at -b is the bin at b.
    std::fill(weights, weights + kBinTaps, 0.0);
    for (int i = 0; i < kBinTaps; ++i) weights[std::labs(first + i)] += before[i] * after[i] * m_denominator[i];
    return 0;
}

double LagWidth(const CLoadFunction& load, const CTimeGrid& times) {
    const double start = load.type == ELoadType::kSampled && !load.times.empty() ? load.times.front() : 0.0;
    return std::max(times.Last() - start, std::max(times.dStep, 1e-6));
}

bool BinningPays(double entries, int receivers, size_t length, double omegaMost, double lagWidth) {
    const double r = receivers, l = static_cast<double>(length);
    const double bins = CFrequencyBins(lagWidth).BinsUpTo(omegaMost);
    if (!(bins * r <= std::max(static_cast<double>(kMinBinCapValues), r * l))) return false;
    // One mode per entry, the least that entries have: the direct sum makes its curve and adds it
    // to every receiver; the binned one spreads it at every receiver and synthesises the bins.
    const double direct = entries * l * (1 + r);
    const double binned = entries * r * (1 + kBinTaps) + bins * l * (1 + r);
    return binned < 0.5 * direct;
}

CBinnedReceiverSum::CBinnedReceiverSum(const CLoadFunction& load, const CTimeGrid& times, const CSampledPlan* plan,
                                       size_t length, int receivers, bool binned, double lagWidth)
    : m_sum(load, times, plan, length, receivers),
      m_bins(lagWidth),
      m_bBinned(binned),
      m_nReceivers(receivers),
      m_nCapValues(std::max(kMinBinCapValues, static_cast<size_t>(receivers) * length)) {}

std::vector<size_t> CBinnedReceiverSum::SharedModes(size_t count, const CPackedModes& modes) {
    std::vector<size_t> starts;
    for (size_t e = 0; e < count; ++e) {
        const size_t run = starts.empty() ? 0 : starts.back();
        const size_t n = modes.modeCount[run];
        const bool same = !starts.empty() && e - run < kSharedEntries && modes.modeCount[e] == n &&
                          std::equal(&modes.omega[modes.offset[e]], &modes.omega[modes.offset[e]] + n, &modes.omega[modes.offset[run]]);
        if (!same) starts.push_back(e);
    }
    starts.push_back(count);
    return starts;
}

void CBinnedReceiverSum::Spread(const std::vector<size_t>& runs, const CPackedModes& modes, const long* cells,
                                const CPhase& phase, size_t r0, size_t r1, long lowBin, long highBin, double* bins,
                                size_t stride) const {
    double at[kSharedEntries][kBinReceiverBlock], amplitude[kBinReceiverBlock], w[kBinTaps];
    for (size_t q = 0; q + 1 < runs.size(); ++q) {
        const size_t e0 = runs[q], e1 = runs[q + 1], n = modes.modeCount[e0];
        bool phased = false;
        for (size_t j = 0; j < n; ++j) {
            const double omega = modes.omega[modes.offset[e0] + j];
            // The stencil's bins, from the mode's cell (BinsUpTo and FirstBin without a division).
            const long cell = cells[modes.offset[e0] + j];
            if (cell + kBinTaps / 2 + 1 <= lowBin || cell - kBinTaps / 2 + 1 >= highBin) continue;
            if (!phased)
                for (size_t e = e0; e < e1; ++e)
                    for (size_t r = r0; r < r1; ++r) at[e - e0][r - r0] = phase(e, static_cast<int>(r));
            phased = true;
            for (size_t r = r0; r < r1; ++r) {
                double a = 0;
                for (size_t e = e0; e < e1; ++e) a += modes.coeff[modes.offset[e] + j] * at[e - e0][r - r0];
                amplitude[r - r0] = a;
            }
            const long first = m_bins.Weights(omega, w);
            for (int i = 0; i < kBinTaps; ++i) {
                const long b = first + i;
                if (b < lowBin || b >= highBin) continue;
                double* row = bins + static_cast<size_t>(b) * stride;
                for (size_t r = r0; r < r1; ++r) row[r] += w[i] * amplitude[r - r0];
            }
        }
    }
}

void CBinnedReceiverSum::Add(size_t count, const CPackedModes& modes, const CPhase& phase, int threads) {
    if (!m_bBinned) {
        m_sum.Add(count, modes, phase, threads);
        return;
    }
    double most = 0;
    for (size_t e = 0; e < count; ++e)
        for (size_t j = modes.offset[e]; j < modes.offset[e] + modes.modeCount[e]; ++j) most = std::max(most, std::abs(modes.omega[j]));
    // A stencil folded at zero spans the first kBinTaps bins.
    const long needed = std::max({m_nBins, m_bins.BinsUpTo(most), static_cast<long>(kBinTaps)});
    const size_t receivers = static_cast<size_t>(m_nReceivers);
    if (static_cast<size_t>(needed) * receivers > m_nCapValues) {
        // More bins than memory allows: what is binned so far is synthesised, the rest goes direct.
        Flush(threads);
        m_bBinned = false;
        m_weights.clear();
        m_weights.shrink_to_fit();
        m_sum.Add(count, modes, phase, threads);
        return;
    }
    if (needed > m_nBins) {
        m_weights.resize(static_cast<size_t>(needed) * receivers, 0.0);
        m_nBins = needed;
    }
    const std::vector<size_t> runs = SharedModes(count, modes);
    // Each mode's cell of bins, floor(|omega| / spacing), once for the bin ranges below.
    const size_t total = modes.omega.size();
    std::vector<long> cells(total);
    ParallelFor((total + 4095) / 4096, threads, [&](size_t chunk, int) {
        for (size_t j = chunk * 4096; j < std::min(total, chunk * 4096 + 4096); ++j)
            cells[j] = static_cast<long>(std::floor(std::abs(modes.omega[j]) / m_bins.Spacing()));
    });
    const size_t blocks = (receivers + kBinReceiverBlock - 1) / kBinReceiverBlock;
    if (blocks > 1) {
        ParallelFor(blocks, threads, [&](size_t block, int) {
            const size_t r0 = block * kBinReceiverBlock, r1 = std::min(receivers, r0 + kBinReceiverBlock);
            Spread(runs, modes, cells.data(), phase, r0, r1, 0, m_nBins, m_weights.data(), receivers);
        });
        return;
    }
    // One block of receivers (one receiver, often): the phases once, then the bins by ranges.
    std::vector<double> phases(count * receivers);
    ParallelFor((count + 1023) / 1024, threads, [&](size_t chunk, int) {
        for (size_t e = chunk * 1024; e < std::min(count, chunk * 1024 + 1024); ++e)
            for (size_t r = 0; r < receivers; ++r) phases[e * receivers + r] = phase(e, static_cast<int>(r));
    });
    const CPhase tabled = [&](size_t e, int r) { return phases[e * receivers + static_cast<size_t>(r)]; };
    const long width = (m_nBins + kBinRanges - 1) / kBinRanges;
    ParallelFor(static_cast<size_t>(kBinRanges), threads, [&](size_t range, int) {
        const long low = static_cast<long>(range) * width;
        Spread(runs, modes, cells.data(), tabled, 0, receivers, low, std::min(m_nBins, low + width), m_weights.data(),
               receivers);
    });
}

void CBinnedReceiverSum::Flush(int threads) {
    if (m_nBins == 0) return;
    const size_t receivers = static_cast<size_t>(m_nReceivers);
    CPackedModes bins;
    bins.offset.push_back(0);
    for (long b = 0; b < m_nBins; ++b) {
        const double* row = &m_weights[static_cast<size_t>(b) * receivers];
        const bool used = std::any_of(row, row + receivers, [](double v) { return v != 0.0; });
        if (used) {
            bins.omega.push_back(m_bins.Omega(b));
            bins.coeff.push_back(1.0);
        }
        bins.modeCount.push_back(used ? 1 : 0);
        bins.offset.push_back(bins.omega.size());
    }
    m_sum.Add(static_cast<size_t>(m_nBins), bins, [&](size_t b, int r) { return m_weights[b * receivers + static_cast<size_t>(r)]; },
              threads);
    std::fill(m_weights.begin(), m_weights.end(), 0.0);
}

std::vector<std::vector<double>> CBinnedReceiverSum::Curves(int threads) {
    if (m_bBinned) Flush(threads);
    return m_sum.Curves();
}

}  // namespace numerics
