// The point source far from the load, against the dispersion code's energy velocity: a narrow
// burst's A0 packet travels along each ray at the energy velocity of the wave vector whose energy
// flows along that ray (mode shapes, a separate computation), and its amplitude falls like
// 1 / sqrt(r).
//
// Both are read at the burst's centre frequency from the spectra of the received packets: the
// phase of U(r2) / U(r1) grows with frequency by (r2 - r1) / c_g, so its slope there gives the
// group (energy) velocity along the ray whatever the packet's shape; and the stationary phase
// of the wave-vector integral gives |U(r)| sqrt(r) constant. What is left is the near field,
// O(1 / (k r)^2) in the slope at these distances (k r near 30).
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstdio>
#include <numbers>
#include <string>
#include <vector>

#include "SolverRunner.h"

using namespace solvertest;

namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kCentre = 0.2;                    // MHz
constexpr double kSigma = 0.8 / kCentre;           // the Gaussian envelope's width, us
constexpr double kMiddle = 3.5 / kCentre;          // its centre: both ends at a zero of the sine
constexpr double kNear = 25, kFar = 35;            // mm along each ray

// A Gaussian-windowed sine of 40 samples a period, from 0 to 2 kMiddle: its spectrum falls to the
// band-limited path's fraction within about twice the centre frequency.
std::string Burst() {
    std::string text;
    const double step = 1 / (40 * kCentre);
    for (int i = 0; i * step <= 2 * kMiddle + 1e-9; ++i) {
        const double t = i * step, s = t - kMiddle;
        char line[80];
        std::snprintf(line, sizeof line, "%.10g %.10g\n", t,
                      std::exp(-0.5 * s * s / (kSigma * kSigma)) * std::sin(2 * kPi * kCentre * s));
        text += line;
    }
    return text;
}

// 1 mm carbon/epoxy plates of four plies (one quadratic element each, the mode shapes taken on
// the same model). A low cut-off constant keeps the lattice of wave vectors small; it spreads
// the load, and its taper, real and even, changes neither a mode's phase slope nor its fall with
// distance, though it weighs the slower, shorter A0 down against S0.
CLaminate Plies(const std::vector<double>& angles, double window) {
    CLaminate lam;
    for (double a : angles) lam.materials.push_back({140, 10, 5, 0.3, 0.45, a, 1.6});
    for (int i = 0; i < static_cast<int>(angles.size()); ++i) lam.layers.push_back({i + 1, 0.25, 1});
    lam.dDimConst = 0.5;
    lam.nLoadType = 4;
    lam.dTimeTo = window;
    return lam;
}

struct CRay {
    double dAngle;  // of the ray, from x
    double dSpeed;  // the energy velocity's magnitude, mm/us
};

// The A0 mode of the plies turned by -theta at the burst's frequency: its energy velocity (along
// and across the wave vector) gives the ray it travels on and its speed there.
CRay EnergyRay(const std::vector<double>& angles, double thetaDegrees) {
    std::vector<double> turned;
    for (double a : angles) turned.push_back(a - thetaDegrees);
    CTempDir dir;
    dir.Write("input.d", Plies(turned, 10).Text());
    const CRun run = RunSolver(LUMDEX_PATH, {"--order", "2", "--mode-shape", "A0", "--at-frequency", "0.2", "--samples", "3"},
                               dir.Path());
    EXPECT_EQ(run.nExit, 0) << run.strErr;
    const size_t at = run.strOut.find("energy velocity ");
    double along = 0, across = 0;
    if (at == std::string::npos || std::sscanf(run.strOut.c_str() + at, "energy velocity %lf %lf", &along, &across) != 2)
        ADD_FAILURE() << run.strOut;
    return {thetaDegrees * kPi / 180 + std::atan2(across, along), std::hypot(along, across)};
}

// Where a packet is read: from dFrom to dTo times kMiddle after its expected arrival. It must
// leave the faster S0 out and hold the whole A0 packet, which its dispersion spreads with distance.
struct CGate {
    double dFrom = 0.1, dTo = 2.2;
};

// The spectrum of the packet within the gate.
std::complex<double> Spectrum(const CCurve& c, double frequency, double arrival, CGate gate) {
    const double from = arrival + gate.dFrom * kMiddle, to = arrival + gate.dTo * kMiddle;
    std::complex<double> sum = 0;
    for (size_t j = 0; j < c.t.size(); ++j)
        if (c.t[j] >= from && c.t[j] <= to) sum += c.u[j] * std::polar(1.0, -2 * kPi * frequency * c.t[j]);
    return sum;
}

struct CMeasured {
    double dSpeed;      // (r2 - r1) over the phase slope at the centre
    double dAmplitude;  // |U(r2)| sqrt(r2) over |U(r1)| sqrt(r1)
};
CMeasured Measure(const CCurve& near, double rNear, const CCurve& far, double rFar, double speed, CGate gate = {}) {
    // Either side of the centre, close enough that the phase difference stays below pi.
    const double df = 0.004;  // MHz
    std::complex<double> ratio[2];
    for (int side = 0; side < 2; ++side) {
        const double f = kCentre + (side ? df : -df);
        ratio[side] = Spectrum(far, f, rFar / speed, gate) * std::conj(Spectrum(near, f, rNear / speed, gate));
    }
    const double delay = -std::arg(ratio[1] * std::conj(ratio[0])) / (2 * kPi * 2 * df);
    const double amplitude = std::abs(Spectrum(far, kCentre, rFar / speed, gate)) * std::sqrt(rFar) /
                             (std::abs(Spectrum(near, kCentre, rNear / speed, gate)) * std::sqrt(rNear));
    return {(rFar - rNear) / delay, amplitude};
}

std::string Point(double x, double y) {
    char line[80];
    std::snprintf(line, sizeof line, "%.10g %.10g\n", x, y);
    return line;
}

// The point source (Z load read as W) at the receivers, one curve each.
std::vector<CCurve> RunReceivers(const CLaminate& lam, const std::string& xy, size_t count) {
    CTempDir dir;
    dir.Write("input.d", lam.Text());
    dir.Write("ft.dat", Burst());
    dir.Write("xy.txt", xy);
    const int points = static_cast<int>(lam.dTimeTo / 0.5) + 1;
    const CRun run = RunSolver(LUMDEX_PATH,
                               {"--order", "2", "--point-source", "--receivers-xy", "xy.txt", "--points",
                                std::to_string(points), "--threads", "2"},
                               dir.Path());
    EXPECT_EQ(run.nExit, 0) << run.strErr;
    std::vector<CCurve> curves;
    for (size_t i = 1; i <= count && run.nExit == 0; ++i) {
        char name[48];
        std::snprintf(name, sizeof name, "result_r%04zu.dat", i);
        curves.push_back(ReadCurve(dir.Read(name)));
    }
    return curves;
}

// Two receivers on each ray, at the distances near and far from the load; the speed along each
// measured. The window ends after the slowest ray's far gate.
struct CReceivers {
    double dNear = kNear, dFar = kFar;
    CGate gate;
};
std::vector<CMeasured> RunRays(const std::vector<double>& angles, const std::vector<CRay>& rays, CReceivers at) {
    double slowest = rays.front().dSpeed;
    std::string xy;
    for (const CRay& r : rays) {
        slowest = std::min(slowest, r.dSpeed);
        for (double d : {at.dNear, at.dFar}) xy += Point(d * std::cos(r.dAngle), d * std::sin(r.dAngle));
    }
    const double window = at.dFar / slowest + at.gate.dTo * kMiddle + 2;
    const std::vector<CCurve> c = RunReceivers(Plies(angles, window), xy, 2 * rays.size());
    std::vector<CMeasured> out;
    for (size_t i = 0; i < rays.size() && c.size() == 2 * rays.size(); ++i)
        out.push_back(Measure(c[2 * i], at.dNear, c[2 * i + 1], at.dFar, rays[i].dSpeed, at.gate));
    return out;
}

// The packet's speed along each ray within 1 % of the energy velocity; with amplitudeTolerance,
// |U| sqrt(r) constant within it as well.
void ExpectSpeeds(const std::vector<double>& stack, const std::vector<double>& thetas, CReceivers at = {},
                  double amplitudeTolerance = 0) {
    std::vector<CRay> rays;
    for (double theta : thetas) rays.push_back(EnergyRay(stack, theta));
    const std::vector<CMeasured> measured = RunRays(stack, rays, at);
    ASSERT_EQ(measured.size(), rays.size());
    for (size_t i = 0; i < rays.size(); ++i) {
        const double ray = rays[i].dAngle * 180 / kPi;
        EXPECT_NEAR(measured[i].dSpeed / rays[i].dSpeed, 1.0, 0.01) << "ray at " << ray;
        if (amplitudeTolerance > 0) {
            EXPECT_NEAR(measured[i].dAmplitude, 1.0, amplitudeTolerance) << "ray at " << ray;
        }
    }
}

}  // namespace

// An isotropic plate (the axisymmetric synthesis), at 40, 60 and 80 mm along x and 60 mm along
// y: A0's spectral amplitude times sqrt(r) stays constant within 1 % (measured 6e-4) and the
// packet travels at the group velocity within 0.2 % (measured 3e-4). At the default cut-off
// constant: the taper must not weigh S0 against A0 (k h near 2 here) in the gate.
TEST(PointSourceFarField, IsotropicA0FallsLikeOneOverRootDistance) {
    CLaminate lam;
    lam.materials = {Isotropic(2.5, 0.25, 1.0)};
    lam.layers = {{1, 1.0, 4}};
    lam.nLoadType = 4;
    lam.dTimeTo = 10;
    CTempDir modeDir;
    modeDir.Write("input.d", lam.Text());
    const CRun mode = RunSolver(LUMDEX_PATH, {"--order", "2", "--mode-shape", "A0", "--at-frequency", "0.2", "--samples", "3"},
                                modeDir.Path());
    ASSERT_EQ(mode.nExit, 0) << mode.strErr;
    double speed = 0;
    const size_t at = mode.strOut.find("energy velocity ");
    ASSERT_NE(at, std::string::npos);
    ASSERT_EQ(std::sscanf(mode.strOut.c_str() + at, "energy velocity %lf", &speed), 1);
    lam.dTimeTo = 80 / speed + 2 * kMiddle + 12;
    const std::vector<CCurve> c = RunReceivers(lam, Point(40, 0) + Point(60, 0) + Point(80, 0) + Point(0, 60), 4);
    ASSERT_EQ(c.size(), 4u);
    for (const auto& [i, r] : {std::pair{1, 60.0}, {2, 80.0}, {3, 60.0}}) {
        const CMeasured m = Measure(c[0], 40, c[static_cast<size_t>(i)], r, speed);
        EXPECT_NEAR(m.dAmplitude, 1.0, 0.01) << "receiver " << i;
        EXPECT_NEAR(m.dSpeed / speed, 1.0, 0.002) << "receiver " << i;
    }
}

// [0/90/90/0]: the A0 front is not a circle (the outer plies stiffen bending along x) and the
// energy of an oblique wave vector flows towards x (a wave vector at 30 degrees carries it along
// 13). Wave vectors at 0, 30, 60 and 90 degrees give their rays; the packet's speed along each
// is the energy velocity within 1 % (measured 2e-4, 0.53 %, 0.11 %, 0.15 %).
TEST(PointSourceFarField, CrossPlyFrontsTravelAtTheEnergyVelocity) {
    EXPECT_NEAR(EnergyRay({0, 90, 90, 0}, 30).dAngle * 180 / kPi, 13.04, 0.05);  // the skew itself
    ExpectSpeeds({0, 90, 90, 0}, {0, 30, 60, 90});
}

// [0]4: along the fibres and on the ray of a wave vector at 50 degrees (21 degrees: the energy
// hugs the fibres). Measured 0.11 % and 0.11 %.
TEST(PointSourceFarField, UnidirectionalFrontsTravelAtTheEnergyVelocity) {
    ExpectSpeeds({0, 0, 0, 0}, {0, 50});
}

// [0]4 towards the transverse direction: wave vectors at 70 and 90 degrees (rays at 53 and 90).
// There the plate's S0, its W a tenth of A0's peak (the large transverse Poisson ratio), runs at
// about 2.5 mm/us, not twice A0's 1.3 to 1.4, and lasts some 25 us: at 25 to 70 mm it lies in
// A0's gate (errors up to 2.5 %). At 80 and 120 mm S0 has fallen below 3e-3 of A0's peak where the
// gate opens, but A0, spread by its dispersion, lasts some 60 us there: the gate runs to 70 us past
// the arrival (closing at 38 us, as above, it cuts the packet at a third of its peak: 1.1 % and
// 1.3 %).
// The speed within 1 % (measured 0.16 % and 0.10 %, the same within 0.1 % for gates opening
// later or closing later); |U| sqrt(r) within 2 % (measured 0.1 % and 0.5 %: the next term of the
// stationary phase is O(1 / (k r)), k r near 110).
TEST(PointSourceFarField, UnidirectionalTransverseFrontsTravelAtTheEnergyVelocity) {
    ExpectSpeeds({0, 0, 0, 0}, {70, 90}, {.dNear = 80, .dFar = 120, .gate = {.dFrom = 0.1, .dTo = 4}}, 0.02);
}
