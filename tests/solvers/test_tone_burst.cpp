// A Hann tone burst made by the "Sampled load..." code and run as load type 4: its transient is
// the convolution of the impulse response with the burst, and the packet arrives at the
// group velocity of the dispersion curves at the burst's centre frequency.

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "DispersionCurves.h"
#include "SampledLoadFiles.h"
#include "SolverInput.h"
#include "SolverRunner.h"

using namespace solvertest;

namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kCentre = 0.2, kCycles = 5, kDistance = 40, kStep = 0.025;  // MHz, -, mm, us

// 1 mm plate, shear speed 1 mm/us, Poisson ratio 0.25; a Z line load read as W, where A0 leads.
CLaminate Plate(int loadType) {
    CLaminate lam;
    lam.materials = {Isotropic(2.5, 0.25, 1.0)};
    lam.layers = {{1, 1.0, 6}};
    lam.nLoadType = loadType;
    lam.dTimeTo = 70;
    lam.dReceiverX = kDistance;
    return lam;
}

CCurve RunPlate(const CLaminate& lam, const std::string& ft = "") {
    CTempDir dir;
    dir.Write("input.d", lam.Text());
    if (!ft.empty()) dir.Write("ft.dat", ft);
    const CRun run = RunSolver(LUMDEX_PATH, {"--order", "2", "--points", "2801"}, dir.Path());
    EXPECT_EQ(run.nExit, 0) << run.strErr;
    return ReadCurve(dir.Read("result.dat"));
}

// The burst written out here from its definition, apart from the code under test.
double Burst(double t) {
    const double duration = kCycles / kCentre;
    if (t < 0 || t > duration) return 0;
    return 0.5 * (1 - std::cos(2 * kPi * t / duration)) * std::sin(2 * kPi * kCentre * t);
}

// The envelope by demodulation at the centre frequency, averaged over one period.
std::vector<double> Envelope(const std::vector<double>& u) {
    const int period = static_cast<int>(std::lround(1 / (kCentre * kStep)));
    std::vector<double> env(u.size(), 0);
    for (size_t i = period / 2; i + period / 2 < u.size(); ++i) {
        double c = 0, s = 0;
        for (size_t j = i - period / 2; j < i + period / 2; ++j) {
            const double phase = 2 * kPi * kCentre * j * kStep;
            c += u[j] * std::cos(phase);
            s += u[j] * std::sin(phase);
        }
        env[i] = 2 * std::hypot(c, s) / period;
    }
    return env;
}

}  // namespace

TEST(ToneBurst, IsTheImpulseResponseConvolvedWithTheBurst) {
    CSampledLoad load;
    load.m_shape = ELoadShape::ToneBurst;
    load.m_dFrequency = kCentre;
    load.m_dCycles = kCycles;
    load.m_dInterval = kStep;  // on the output grid, so the test's sum sees the same samples
    const CCurve burst = RunPlate(Plate(4), FormatLoadSamples(SampleLoad(load)));
    const CCurve impulse = RunPlate(Plate(2));
    ASSERT_EQ(burst.u.size(), 2801u);
    ASSERT_EQ(impulse.u.size(), 2801u);

    // u(t) = integral f(tau) h(t - tau) dtau; f is 0 with its slope at both ends, so the plain
    // sum over the grid is the trapezoid rule.
    double peak = 0, worst = 0;
    std::vector<double> convolved(burst.u.size(), 0);
    for (size_t i = 0; i < burst.u.size(); ++i) {
        for (size_t j = 0; j <= i; ++j) convolved[i] += Burst(j * kStep) * impulse.u[i - j] * kStep;
        peak = std::max(peak, std::abs(burst.u[i]));
        worst = std::max(worst, std::abs(convolved[i] - burst.u[i]));
    }
    EXPECT_GT(peak, 0);
    EXPECT_LT(worst, 5e-4 * peak) << "peak " << peak;

    // The envelope peaks when the burst's middle has travelled at A0's group velocity.
    numerics::CProblem problem;
    ASSERT_EQ(numerics::ParseCompositeInput(Plate(2).Text(), "input.d", problem, numerics::kQuadraticOrder), "");
    numerics::CDispersionRequest request;
    request.range = numerics::EDispersionRange::kFrequency;
    const double omega = 2 * kPi * kCentre;
    request.dFrom = 0.8 * omega;
    request.dTo = 1.2 * omega;
    request.nPoints = 400;
    request.nModes = 1;
    const auto curves = numerics::TraceDispersion(problem.model, request);
    ASSERT_EQ(curves.lines.size(), 1u);
    ASSERT_EQ(curves.lines[0].strName, "A0");
    double group = 0, nearest = 1e9;
    for (const auto& p : curves.lines[0].points)
        if (std::abs(p.dOmega - omega) < nearest) nearest = std::abs(p.dOmega - omega), group = p.dGroup;
    ASSERT_LT(nearest, 0.01 * omega);

    const std::vector<double> env = Envelope(burst.u);
    const size_t top = std::max_element(env.begin(), env.end()) - env.begin();
    const double arrival = top * kStep - 0.5 * kCycles / kCentre;
    const double expected = kDistance / group;
    EXPECT_NEAR(arrival, expected, 0.02 * expected) << "group velocity " << group;
}
