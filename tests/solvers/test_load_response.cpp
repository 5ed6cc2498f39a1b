// Each load type's closed-form modal response against a direct quadrature of the Duhamel
// integral, and the many-mode summation (with its fast recurrences) against the point forms.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "LoadResponse.h"
#include "SolverInput.h"
#include "Transient.h"

using namespace numerics;

namespace {

// integral_a^b f(tau) sin(w (t - tau)) / w dtau by composite Gauss-Legendre (5 points).
double Duhamel(const std::function<double(double)>& f, double w, double t, double a, double b, int panels = 400) {
    static const double x[5] = {-0.9061798459386640, -0.5384693101056831, 0.0, 0.5384693101056831, 0.9061798459386640};
    static const double g[5] = {0.2369268850561891, 0.4786286704993665, 0.5688888888888889, 0.4786286704993665, 0.2369268850561891};
    double sum = 0;
    const double h = (b - a) / panels;
    for (int p = 0; p < panels; ++p)
        for (int i = 0; i < 5; ++i) {
            const double tau = a + (p + 0.5) * h + 0.5 * h * x[i];
            const double kernel = w == 0 ? (t - tau) : std::sin(w * (t - tau)) / w;
            sum += 0.5 * h * g[i] * f(tau) * kernel;
        }
    return sum;
}
double Duhamel(const std::function<double(double)>& f, double w, double t) { return Duhamel(f, w, t, 0, t); }

const double kOmegas[] = {0.0, 1e-9, 1e-3, 0.3, 2.5, 2.5 + 1e-8, 2.5 - 3e-4, 7.1};

}  // namespace

TEST(LoadResponse, ClosedFormsAreTheDuhamelIntegral) {
    const double big = 2.5, t = 3.7;
    for (double w : kOmegas) {
        SCOPED_TRACE(testing::Message() << "omega " << w);
        CLoadFunction load;
        load.dOmega = big;
        load.type = ELoadType::kStep;
        EXPECT_NEAR(ModalResponse(load, w, t), Duhamel([](double) { return 1.0; }, w, t), 1e-10);
        load.type = ELoadType::kImpulse;
        EXPECT_NEAR(ModalResponse(load, w, t), w == 0 ? t : std::sin(w * t) / w, 1e-12);
        load.type = ELoadType::kCosine;
        EXPECT_NEAR(ModalResponse(load, w, t), Duhamel([&](double s) { return std::cos(big * s); }, w, t), 1e-10);
        load.type = ELoadType::kSine;
        EXPECT_NEAR(ModalResponse(load, w, t), Duhamel([&](double s) { return std::sin(big * s); }, w, t), 1e-10);
        load.dOmega = -big;  // sin is odd in the frequency
        EXPECT_NEAR(ModalResponse(load, w, t), -Duhamel([&](double s) { return std::sin(big * s); }, w, t), 1e-10);
        // A sampled triangle from 0.5 to 2.5 us, zero outside.
        load.type = ELoadType::kSampled;
        load.times = {0.5, 1.0, 2.5};
        load.values = {0.4, 1.0, -0.2};
        const auto triangle = [&](double s) {
            if (s < 0.5 || s >= 2.5) return 0.0;
            if (s < 1.0) return 0.4 + (s - 0.5) * 1.2;
            return 1.0 - (s - 1.0) * 0.8;
        };
        EXPECT_NEAR(ModalResponse(load, w, t),
                    Duhamel(triangle, w, t, 0.5, 1.0) + Duhamel(triangle, w, t, 1.0, 2.5), 1e-11);
    }
    CLoadFunction load;
    EXPECT_EQ(ModalResponse(load, 1.0, -1.0), 0.0);  // at rest before the load
}

TEST(LoadResponse, SummedModesEqualTheirPointForms) {
    CTimeGrid grid{-0.5, 0.01, 601};  // starts before the load
    std::vector<double> omega(std::begin(kOmegas), std::end(kOmegas));
    for (double w = 0.05; w < 60; w *= 1.37) omega.push_back(w);
    std::vector<double> coeff;
    for (size_t i = 0; i < omega.size(); ++i) coeff.push_back(1.0 + 0.1 * i);
    for (int type = 1; type <= 5; ++type) {
        SCOPED_TRACE(testing::Message() << "type " << type);
        CLoadFunction load;
        load.type = static_cast<ELoadType>(type);
        load.dOmega = 2.5;
        load.times = {0.0, 0.333, 1.0, 4.0};
        load.values = {1.0, 0.5, -1.0, 0.25};
        CSampledPlan plan(load, grid);
        std::vector<double> out(grid.nPoints, 0.0);
        AccumulateModes(load, grid, &plan, omega.data(), coeff.data(), omega.size(), out.data());
        for (int j = 0; j < grid.nPoints; ++j) {
            double expected = 0;
            for (size_t p = 0; p < omega.size(); ++p) expected += coeff[p] * ModalResponse(load, omega[p], grid.At(j));
            ASSERT_NEAR(out[j], expected, 1e-9 * (1 + std::abs(expected))) << "t " << grid.At(j);
            if (grid.At(j) <= 0) {
                ASSERT_EQ(out[j], 0.0);
            }
        }
    }
}

namespace {

// Relative L2 distance of a fast superposition from each mode's exact piece-by-piece response.
double FastAgainstExact(const CLoadFunction& load, const CTimeGrid& grid, double omegaResolved,
                        const std::vector<double>& omega, const std::vector<double>& coeff,
                        ESampledPath path = ESampledPath::kCheapest) {
    const CSampledPlan fast(load, grid, omegaResolved, path);
    EXPECT_TRUE(fast.Fast());
    if (path != ESampledPath::kCheapest) {
        EXPECT_EQ(fast.Path(), path);
    }
    std::vector<double> buffer(fast.BufferLength(), 0.0), out;
    // Two blocks, as the solver sums them: the fine grids add up before Finish.
    const size_t half = omega.size() / 2;
    AccumulateModes(load, grid, &fast, omega.data(), coeff.data(), half, buffer.data());
    AccumulateModes(load, grid, &fast, omega.data() + half, coeff.data() + half, omega.size() - half, buffer.data());
    fast.Finish(buffer, out);
    const CSampledPlan exact(load, grid);
    EXPECT_FALSE(exact.Fast());
    std::vector<double> reference(grid.nPoints, 0.0);
    AccumulateModes(load, grid, &exact, omega.data(), coeff.data(), omega.size(), reference.data());
    double diff = 0, norm = 0;
    for (int j = 0; j < grid.nPoints; ++j) {
        diff += (out[j] - reference[j]) * (out[j] - reference[j]);
        norm += reference[j] * reference[j];
    }
    return std::sqrt(diff / norm);
}

}  // namespace

TEST(LoadResponse, SampledLoadSuperposedFromRampResponsesMatchesTheExactRecursion) {
    // Modes up to three times the resolved frequency, weighted like a plate's (about 1 / omega).
    const double resolved = 40.0;
    std::vector<double> omega = {0.0, 1e-6, 0.02};
    for (double w = 0.1; w < 3 * resolved; w *= 1.09) omega.push_back(w);
    std::vector<double> coeff;
    for (size_t i = 0; i < omega.size(); ++i) coeff.push_back((1.0 + 0.3 * std::sin(1.7 * i)) / (1.0 + omega[i]));
    CTimeGrid grid{-0.5, 0.02, 251};  // starts before the load, ends after it
    CLoadFunction load;
    load.type = ELoadType::kSampled;
    // A smooth pulse with ragged samples, off the output grid, jumping at both ends.
    for (int i = 0; i <= 300; ++i) {
        const double t = -0.2 + 3.0 * i / 300.0 + 0.003 * std::sin(7.0 * i);
        load.times.push_back(t);
        load.values.push_back(0.3 + std::exp(-4 * (t - 1) * (t - 1)) + 0.02 * std::cos(13.0 * i));
    }
    // Each fast path on its own, and the one the plan picks.
    const ESampledPath paths[] = {ESampledPath::kCheapest, ESampledPath::kLagGrid, ESampledPath::kBreakpoints};
    for (ESampledPath path : paths) {
        SCOPED_TRACE(static_cast<int>(path));
        grid = CTimeGrid{-0.5, 0.02, 251};
        EXPECT_LT(FastAgainstExact(load, grid, resolved, omega, coeff, path), 1e-8);
        // A window that begins long after the load started.
        grid = CTimeGrid{2.5, 0.01, 101};
        EXPECT_LT(FastAgainstExact(load, grid, resolved, omega, coeff, path), 1e-8);
    }
    // Samples exactly on output times (they act from that output on), evenly spaced as a
    // generated burst's are, so the breakpoints turn their phases by the series.
    CLoadFunction even;
    even.type = ELoadType::kSampled;
    for (int i = 0; i <= 200; ++i) {
        even.times.push_back(0.01 * i);
        even.values.push_back(std::sin(0.09 * i) * std::sin(0.015 * i));
    }
    for (ESampledPath path : paths) {
        SCOPED_TRACE(static_cast<int>(path));
        EXPECT_LT(FastAgainstExact(even, CTimeGrid{0.0, 0.02, 201}, resolved, omega, coeff, path), 1e-8);
        // A two-sample load inside one step.
        CLoadFunction pair;
        pair.type = ELoadType::kSampled;
        pair.times = {0.0031, 0.0092};
        pair.values = {1.0, -2.0};
        EXPECT_LT(FastAgainstExact(pair, CTimeGrid{0.0, 0.05, 41}, resolved, omega, coeff, path), 1e-8);
    }
}

TEST(LoadResponse, SampledLoadRunsEqualTheExactRecursionAndTheStepLoad) {
    // A two-layer plate, W under a Z load: the whole run, fast against exact.
    CProblem p;
    ASSERT_EQ(ParseCompositeInput("t\n2 2 3.113646\n1 0.5\n2 0.5\n0\n45\n8\n1.6\n2 2\n200 200 80 0.25 0.25\n"
                                  "140 10 5 0.3 0.45\n1\n4 0\n3 3\n0 2\n1\n",
                                  "input.d", p, kQuadraticOrder),
              "");
    for (int i = 0; i <= 200; ++i) {
        const double t = 0.01 * i * i / 100.0;  // ever longer pieces from 0 to 4 us
        p.load.times.push_back(t);
        p.load.values.push_back(std::sin(3 * t) + 0.5 * t);
    }
    CRunOptions options;
    options.nPoints = 101;
    const CTransientResult fast = SolveTransient(p, options);
    options.bExactSampledLoad = true;
    const CTransientResult exact = SolveTransient(p, options);
    ASSERT_EQ(fast.value.size(), exact.value.size());
    double diff = 0, norm = 0;
    for (size_t j = 0; j < fast.value.size(); ++j) {
        diff += (fast.value[j] - exact.value[j]) * (fast.value[j] - exact.value[j]);
        norm += exact.value[j] * exact.value[j];
    }
    EXPECT_LT(std::sqrt(diff / norm), 1e-8);
    EXPECT_GT(norm, 0);

    // A load of 1 from 0 on, for longer than the window, is the step load.
    p.load.times = {0.0, 50.0};
    p.load.values = {1.0, 1.0};
    options.bExactSampledLoad = false;
    const CTransientResult held = SolveTransient(p, options);
    CProblem stepped = p;
    stepped.load.type = ELoadType::kStep;
    const CTransientResult step = SolveTransient(stepped, options);
    double peak = 0;
    for (double v : step.value) peak = std::max(peak, std::abs(v));
    ASSERT_GT(peak, 0);
    for (size_t j = 0; j < step.value.size(); ++j) EXPECT_NEAR(held.value[j], step.value[j], 1e-10 * peak);
}
