// The pieces of a band-limited run: the band a sampled load carries (against its spectrum found
// by quadrature, apart from the code), the quasi-static time functions, and the static sums of
// the modal solver (banded Cholesky solves) against a dense solve of the whole model.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <numbers>

#include "LoadBand.h"
#include "ModalSolver.h"
#include "SolverInput.h"

using namespace numerics;

namespace {

constexpr double kPi = std::numbers::pi;

// A 5-cycle Hann burst at 0.2 MHz sampled `perPeriod` times a period.
CLoadFunction Burst(int perPeriod) {
    CLoadFunction load;
    load.type = ELoadType::kSampled;
    const int count = 5 * perPeriod;
    for (int i = 0; i <= count; ++i) {
        const double t = 25.0 * i / count;
        load.times.push_back(t);
        load.values.push_back(0.5 * (1 - std::cos(2 * kPi * t / 25)) * std::sin(2 * kPi * 0.2 * t));
    }
    return load;
}

// |F(w)| of the linear pieces by Simpson's rule on each piece (exact for the linear part up to
// the phase's curvature; 64 panels a piece are far finer than the phase turns).
double Spectrum(const CLoadFunction& load, double w) {
    std::complex<double> sum = 0;
    for (size_t i = 0; i + 1 < load.times.size(); ++i) {
        const double a = load.times[i], b = load.times[i + 1];
        const int panels = 64;
        const double h = (b - a) / panels;
        for (int k = 0; k <= panels; ++k) {
            const double t = a + k * h;
            const double f = load.values[i] + (load.values[i + 1] - load.values[i]) * (t - a) / (b - a);
            const double weight = (k == 0 || k == panels) ? 1 : (k % 2 ? 4 : 2);
            sum += weight * h / 3 * f * std::polar(1.0, -w * t);
        }
    }
    return std::abs(sum);
}

}  // namespace

TEST(LoadBand, TheBurstsBandEndsWhereItsSpectrumFallsBelowTheFraction) {
    const CLoadFunction load = Burst(40);
    const double edge = SampledLoadBandEdge(load, 150, 180);
    // The Hann window's side lobes fall like 1 / w^3: 1e-5 of the peak near 7 rad/us.
    EXPECT_GT(edge, 5.0);
    EXPECT_LT(edge, 10.0);
    double peak = 0;
    for (double w = 0.05; w < 4; w += 0.01) peak = std::max(peak, Spectrum(load, w));
    double above = 0, below = 0;
    for (double w = edge; w < 20; w += 0.01) above = std::max(above, Spectrum(load, w));
    for (double w = 0.8 * edge; w < edge; w += 0.01) below = std::max(below, Spectrum(load, w));
    EXPECT_LT(above, kLoadBandFraction * peak);
    EXPECT_GT(below, 0.5 * kLoadBandFraction * peak);

    const CLoadBand band = PlanLoadBand(load, 150, 180);
    EXPECT_TRUE(band.Limited());
    EXPECT_DOUBLE_EQ(band.dModeCutoff, kModeCutoffFactor * edge);
    // Outputs that end within the burst see it cut off: no band.
    EXPECT_FALSE(PlanLoadBand(load, 12.5, 180).Limited());
}

TEST(LoadBand, LoadsThatExciteEveryFrequencyHaveNoBand) {
    const double ceiling = 180;
    // A jump at the first sample (a step) and a triangle of three samples, which its samples do
    // not resolve: every frequency up to the ceiling.
    CLoadFunction step;
    step.type = ELoadType::kSampled;
    step.times = {0, 1, 2};
    step.values = {1, 1, 1};
    EXPECT_EQ(SampledLoadBandEdge(step, 10, ceiling), ceiling);
    CLoadFunction triangle;
    triangle.type = ELoadType::kSampled;
    triangle.times = {0, 1, 2};
    triangle.values = {0, 1, 0};
    EXPECT_EQ(SampledLoadBandEdge(triangle, 10, ceiling), ceiling);
    // A burst sampled too coarsely for its frequency, and one with noise on every sample.
    EXPECT_EQ(SampledLoadBandEdge(Burst(3), 150, ceiling), ceiling);
    CLoadFunction noisy = Burst(40);
    for (size_t i = 0; i < noisy.values.size(); ++i) noisy.values[i] += 1e-3 * std::sin(977.0 * i);
    EXPECT_EQ(SampledLoadBandEdge(noisy, 150, ceiling), ceiling);
    // Other load types are never limited.
    CLoadFunction cosine;
    cosine.type = ELoadType::kCosine;
    cosine.dOmega = 1;
    EXPECT_FALSE(PlanLoadBand(cosine, 10, ceiling).Limited());
}

TEST(LoadBand, ASmoothStepIsCarriedByTheBandOfItsRise) {
    // A rise over 10 us whose rate is a Hann pulse, then held to the end: the rate's spectrum
    // falls like 1 / w^3, to 1e-5 near 16 rad/us. The same rise with a kink in its rate (a
    // raised cosine, rate falling only like 1 / w^2) is not band-limited at the fraction.
    const auto rise = [](bool smooth) {
        CLoadFunction load;
        load.type = ELoadType::kSampled;
        for (int i = 0; i <= 800; ++i) {
            const double t = 0.05 * i, s = std::min(t, 10.0) / 10;
            load.times.push_back(t);
            load.values.push_back(smooth ? s - std::sin(2 * kPi * s) / (2 * kPi) : 0.5 * (1 - std::cos(kPi * s)));
        }
        return load;
    };
    const double edge = SampledLoadBandEdge(rise(true), 40, 180);
    EXPECT_GT(edge, 8.0);
    EXPECT_LT(edge, 30.0);
    EXPECT_EQ(SampledLoadBandEdge(rise(false), 40, 180), 180);
}

TEST(LoadBand, QuasiStaticLoadIsTheLoadAndItsCurvature) {
    // Samples of sin(t) every 0.05: the hats give f'' = -sin t to about (0.05)^2 / 12.
    CLoadFunction load;
    load.type = ELoadType::kSampled;
    for (int i = 0; i <= 200; ++i) {
        load.times.push_back(0.05 * i);
        load.values.push_back(std::sin(0.05 * i));
    }
    CTimeGrid grid;
    grid.dFrom = -1;
    grid.dStep = 0.0371;
    grid.nPoints = 400;
    const CQuasiStaticLoad q = QuasiStaticLoad(load, grid);
    for (int j = 0; j < grid.nPoints; ++j) {
        const double t = grid.At(j);
        if (t < 0 || t >= 10) {
            EXPECT_EQ(q.value[j], 0.0);
            continue;
        }
        EXPECT_NEAR(q.value[j], std::sin(t), 0.05 * 0.05 / 8 * 1.01);  // linear interpolation
        if (t > 0.1 && t < 9.9) {
            EXPECT_NEAR(q.curvature[j], -std::sin(t), 2e-3) << t;
        }
    }
}

TEST(ModalSolver, StaticSumsAreTheDenseFlexibility) {
    // An off-axis laminate (no split) and a cross-ply one (mirror and SH splits), order 3.
    for (const char* angles : {"30.0000\n0.0000\n", "0.0000\n90.0000\n"}) {
        SCOPED_TRACE(angles);
        const std::string text = std::string("t\n3    2    3.113646\n1    0.3000\n2    0.4000\n1    0.3000\n") +
                                 angles +
                                 "1.6000\n1.9000\n2 2 2\n181.0000  10.3000  7.1700  0.2800  0.4000\n"
                                 "70.0000  70.0000  26.0000  0.3300  0.3300\n1 \n1    3.1400\n3    3\n0.00    10.00\n2.0000\n";
        CProblem p;
        ASSERT_EQ(ParseCompositeInput(text, "input.d", p, 3), "");
        const CModalSolver solver(AssembleBands(p.model));
        const CSafeMatrices m = Assemble(p.model);
        const int n = static_cast<int>(m.M.rows());
        CModalSolver::CWorkspace ws;
        for (double kappa : {0.7, 4.0}) {
            const Eigen::MatrixXd k = kappa * kappa * m.K1 + kappa * m.K2 + m.K3;
            const Eigen::LDLT<Eigen::MatrixXd> ldlt(k);
            const double lowest = solver.Frequencies(kappa, ws)(0);
            for (auto [a, b] : {std::pair{2, 2}, std::pair{0, 2}, std::pair{0, 0}}) {
                const Eigen::VectorXd xa = ldlt.solve(Eigen::VectorXd::Unit(n, n - 3 + a));
                const Eigen::VectorXd xb = ldlt.solve(Eigen::VectorXd::Unit(n, n - 3 + b));
                const double flex = xb(n - 3 + a), second = xa.dot(m.M * xb);
                double f = 0, s = 0;
                ASSERT_TRUE(solver.StaticProducts(kappa, 0.5 * lowest * lowest, a, b, f, s, ws));
                EXPECT_NEAR(f, flex, 1e-9 * std::abs(flex)) << kappa << " " << a << b;
                EXPECT_NEAR(s, second, 1e-8 * std::abs(second)) << kappa << " " << a << b;
                // A shift above the lowest mode: its modes must be solved for.
                EXPECT_FALSE(solver.StaticProducts(kappa, 1.01 * lowest * lowest, a, b, f, s, ws));
            }
        }
    }
}
