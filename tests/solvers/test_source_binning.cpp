// Modes synthesised through bins of frequency against the plain sum of every mode's curve: the
// stencil's interpolation of exp(i omega s), the binned receivers for a sampled burst (through the
// plan a run makes) and a step load, near zero frequency and far above, on one and two threads,
// and the fall-back to the plain sum when the bins outgrow their memory.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <numbers>
#include <random>

#include "LoadResponse.h"
#include "SourceBinning.h"
#include "Synthesis.h"

using namespace numerics;

namespace {

constexpr double kPi = std::numbers::pi;

// A 5-cycle Hann burst at 0.2 MHz, 40 samples a period (the help page's tone burst).
CLoadFunction Burst() {
    CLoadFunction load;
    load.type = ELoadType::kSampled;
    for (int i = 0; i <= 200; ++i) {
        const double t = 0.125 * i;
        load.times.push_back(t);
        load.values.push_back(0.5 * (1 - std::cos(2 * kPi * t / 25)) * std::sin(2 * kPi * 0.2 * t));
    }
    return load;
}

// Entries of a few modes each, frequencies spread up to omegaMost (some at and near zero), with
// coefficients of both signs; and a phase per entry and receiver.
struct CEntries {
    CPackedModes modes;
    std::vector<std::vector<double>> phase;  // [entry][receiver]
};
CEntries MakeEntries(size_t count, int receivers, double omegaMost, unsigned seed) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    CEntries out;
    out.modes.offset.push_back(0);
    for (size_t e = 0; e < count; ++e) {
        const size_t modes = 1 + e % 4;
        for (size_t j = 0; j < modes; ++j) {
            const double w = e < 3 ? 1e-4 * static_cast<double>(e * j) : omegaMost * unit(random);
            out.modes.omega.push_back(w);
            out.modes.coeff.push_back((unit(random) - 0.5) / (1 + w));
        }
        out.modes.modeCount.push_back(modes);
        out.modes.offset.push_back(out.modes.omega.size());
        std::vector<double> at;
        for (int r = 0; r < receivers; ++r) at.push_back(std::cos(0.37 * static_cast<double>(e) * (r + 1) + r));
        out.phase.push_back(at);
    }
    return out;
}

struct CSummed {
    std::vector<std::vector<double>> curves;
    bool bBinned = false;
};
// The entries added in two batches (as a run adds them).
// A sampled load's plan: every mode carried exactly (resolved 0), or the fast path a run takes.
CSummed Sum(const CLoadFunction& load, const CTimeGrid& times, const CEntries& entries, int receivers, bool binned,
            int threads, const CEntries* late = nullptr, double resolved = 0) {
    std::unique_ptr<CSampledPlan> plan;
    if (load.type == ELoadType::kSampled) plan = std::make_unique<CSampledPlan>(load, times, resolved);
    const size_t length = plan ? plan->BufferLength() : static_cast<size_t>(times.nPoints);
    CBinnedReceiverSum sum(load, times, plan.get(), length, receivers, binned, LagWidth(load, times));
    const size_t half = entries.modes.modeCount.size() / 2;
    CPackedModes first = entries.modes, second;
    first.modeCount.resize(half);
    first.offset.resize(half + 1);
    second.offset.push_back(0);
    for (size_t e = half; e < entries.modes.modeCount.size(); ++e) {
        for (size_t j = entries.modes.offset[e]; j < entries.modes.offset[e + 1]; ++j) {
            second.omega.push_back(entries.modes.omega[j]);
            second.coeff.push_back(entries.modes.coeff[j]);
        }
        second.modeCount.push_back(entries.modes.modeCount[e]);
        second.offset.push_back(second.omega.size());
    }
    sum.Add(half, first, [&](size_t e, int r) { return entries.phase[e][static_cast<size_t>(r)]; }, threads);
    sum.Add(entries.modes.modeCount.size() - half, second,
            [&](size_t e, int r) { return entries.phase[half + e][static_cast<size_t>(r)]; }, threads);
    if (late)
        sum.Add(late->modes.modeCount.size(), late->modes,
                [&](size_t e, int r) { return late->phase[e][static_cast<size_t>(r)]; }, threads);
    CSummed out;
    out.bBinned = sum.Binned();
    out.curves = sum.Curves(threads);
    return out;
}

// The largest difference of two sets of curves over the largest value of the first.
double RelativeDifference(const std::vector<std::vector<double>>& a, const std::vector<std::vector<double>>& b) {
    double peak = 0, most = 0;
    for (size_t r = 0; r < a.size(); ++r)
        for (size_t j = 0; j < a[r].size(); ++j) {
            peak = std::max(peak, std::abs(a[r][j]));
            most = std::max(most, std::abs(a[r][j] - b[r][j]));
        }
    return most / peak;
}

}  // namespace

// The stencil carries exp(i omega s) for every lag up to the width within 2e-10 (its bound at
// delta T = 0.35), at zero and near it (folded bins) and far up; and it is exact at the bins.
TEST(SourceBinning, StencilInterpolatesEveryLagOfTheWidth) {
    const double width = 150;
    const CFrequencyBins bins(width);
    double worst = 0;
    for (double omega : {0.0, 0.4 * bins.Spacing(), 3.3 * bins.Spacing(), 5.5 * bins.Spacing(), 1.0, 7.77, 11.6}) {
        double w[kBinTaps];
        const long first = bins.Weights(omega, w);
        ASSERT_GE(first, 0);
        for (double s = 0; s <= width; s += width / 40) {
            // q is even in omega: the cosine of the lag (the sine part needs its 1/omega, below).
            double sum = 0;
            for (int i = 0; i < kBinTaps; ++i) sum += w[i] * std::cos(bins.Omega(first + i) * s);
            worst = std::max(worst, std::abs(sum - std::cos(omega * s)));
        }
    }
    EXPECT_LT(worst, 2e-10);
    double w[kBinTaps];
    const long first = bins.Weights(bins.Omega(40), w);
    for (int i = 0; i < kBinTaps; ++i) EXPECT_EQ(w[i], first + i == 40 ? 1.0 : 0.0);
}

// Binned receivers equal the plain sum: a sampled burst at 1001 times over 150 us, and a step load
// over 20 us, 300 entries of one to four modes at 5 receivers. With every mode carried exactly
// over the burst's pieces the difference is the stencil's alone: measured 3e-11 and 3e-12 of the
// peak (the bound of one mode, 2e-10, holds for the sum: its errors are those of a synthesis of
// the error function, no larger than the sum itself). Through the run's fast plan for the burst
// 1.2e-8: that plan's own closed forms lose about that to cancellation at the lowest frequencies
// (1.6e-8 of a mode at 0.003 rad/us), differently at a bin than at a mode.
TEST(SourceBinning, BinnedReceiversAreThePlainSum) {
    const CLoadFunction burst = Burst();
    CLoadFunction step;
    step.type = ELoadType::kStep;
    struct CCase {
        const CLoadFunction* load;
        CTimeGrid times;
        double omegaMost, resolved, tolerance;
    };
    for (const CCase& c : {CCase{&burst, {0, 0.15, 1001}, 11.6, 0, 2e-10}, CCase{&burst, {0, 0.15, 1001}, 11.6, 15, 1e-7},
                           CCase{&step, {0, 0.02, 1001}, 40.0, 0, 2e-10}}) {
        const CEntries entries = MakeEntries(300, 5, c.omegaMost, 7);
        const CSummed plain = Sum(*c.load, c.times, entries, 5, false, 2, nullptr, c.resolved);
        const CSummed binned = Sum(*c.load, c.times, entries, 5, true, 2, nullptr, c.resolved);
        EXPECT_FALSE(plain.bBinned);
        EXPECT_TRUE(binned.bBinned);
        EXPECT_LT(RelativeDifference(plain.curves, binned.curves), c.tolerance) << c.omegaMost << " " << c.resolved;
        // The same bytes on one thread and two.
        EXPECT_EQ(Sum(*c.load, c.times, entries, 5, true, 1, nullptr, c.resolved).curves, binned.curves);
    }
}

// Entries in runs that share their modes (a wave vector and its mirror image: the same
// frequencies, other coefficients and phases; runs of one to six, longer than the sum takes at
// once) are spread once for the run: still the plain sum, for one receiver (its bins in ranges,
// one thread's each) and for 70 (two blocks of receivers), and the same bytes on one thread and two.
TEST(SourceBinning, EntriesSharingTheirModesAreThePlainSum) {
    const CLoadFunction burst = Burst();
    const CTimeGrid times{0, 0.15, 1001};
    for (int receivers : {1, 70}) {
        CEntries entries = MakeEntries(240, receivers, 11.6, 9);
        CEntries shared;
        shared.modes.offset.push_back(0);
        std::mt19937 random(4);
        for (size_t e = 0; e < 240; ++e)
            for (size_t copy = 0; copy <= e % 6; ++copy) {
                for (size_t j = entries.modes.offset[e]; j < entries.modes.offset[e + 1]; ++j) {
                    shared.modes.omega.push_back(entries.modes.omega[j]);
                    shared.modes.coeff.push_back(entries.modes.coeff[j] * (1.0 - 0.3 * static_cast<double>(copy)));
                }
                shared.modes.modeCount.push_back(entries.modes.modeCount[e]);
                shared.modes.offset.push_back(shared.modes.omega.size());
                std::vector<double> at = entries.phase[e];
                for (double& x : at) x = std::sin(x + static_cast<double>(copy));
                shared.phase.push_back(at);
            }
        const CSummed plain = Sum(burst, times, shared, receivers, false, 2);
        const CSummed binned = Sum(burst, times, shared, receivers, true, 2);
        ASSERT_TRUE(binned.bBinned);
        EXPECT_LT(RelativeDifference(plain.curves, binned.curves), 2e-10) << receivers << " receivers";
        EXPECT_EQ(Sum(burst, times, shared, receivers, true, 1).curves, binned.curves) << receivers << " receivers";
    }
}

// A mode far above the bins' memory (10^5 rad/us over 150 us: some 3e7 bins) has what was
// binned synthesised and the rest summed plainly: the curves are still the plain sum's.
TEST(SourceBinning, BinsBeyondTheirMemoryFallBackToThePlainSum) {
    const CLoadFunction burst = Burst();
    const CTimeGrid times{0, 0.15, 1001};
    const CEntries entries = MakeEntries(60, 2, 11.6, 3);
    CEntries late = MakeEntries(4, 2, 11.6, 5);
    late.modes.omega.back() = 1e5;
    const CSummed plain = Sum(burst, times, entries, 2, false, 2, &late);
    const CSummed binned = Sum(burst, times, entries, 2, true, 2, &late);
    EXPECT_FALSE(binned.bBinned);
    EXPECT_LT(RelativeDifference(plain.curves, binned.curves), 2e-10);
}

// Binning is chosen where entries outnumber the bins by far, never where the bins x receivers
// would outgrow the curves themselves.
TEST(SourceBinning, BinningPaysOnlyForManyEntries) {
    EXPECT_TRUE(BinningPays(1e7, 1, 1001, 11.6, 150));
    EXPECT_FALSE(BinningPays(2000, 1, 1001, 11.6, 150));
    EXPECT_FALSE(BinningPays(1e7, 10000, 1001, 1e4, 150));
}
