#include "Directions.h"

#include <cmath>
#include <cstdio>
#include <functional>
#include <limits>
#include <memory>
#include <numbers>

#include "BandedModes.h"
#include "DispersionCurves.h"
#include "ModeParts.h"
#include "ModeShape.h"
#include "Parallel.h"
#include "Stiffness.h"
#include "Transient.h"

namespace numerics {

namespace {

constexpr double kPi = std::numbers::pi;
// The overlap a step must keep (as a line of the dispersion curves keeps it), and the halvings
// of a direction step before a line is given up.
constexpr double kKeptOverlap = 0.9;
constexpr int kMostHalvings = 6;

// One mode at one direction: its wavenumber and mass-normalised eigenvector.
struct CState {
    double dKappa = 0;
    Eigen::VectorXd phi;
};

// The plate along one direction: its turned model and banded matrices.
struct CDirection {
    double dTheta = 0;
    CThicknessModel model;
    std::unique_ptr<CBandedModes> banded;
    explicit CDirection(const CThicknessModel& base, double theta)
        : dTheta(theta), model(TurnedModel(base, theta)), banded(std::make_unique<CBandedModes>(model)) {}
};

// The mode of `from` at the direction's omega: Newton steps on omega(k) - omega with the exact
// slope, each mode found by shift-and-invert from the one before, until the frequency is omega
// to 1e-11 (or stops improving within 1e-8, the rounding of a mode at low frequency). False
// where it does not settle or the mode found is not the one followed.
bool Follow(const CDirection& d, double omega, const CState& from, CState& to) {
    double kappa = from.dKappa, best = std::numeric_limits<double>::infinity();
    Eigen::VectorXd phi = from.phi;
    for (int it = 0; it < 20; ++it) {
        CBandedMode m;
        if (!d.banded->ModeNear(kappa, omega * omega, nullptr, &phi, m)) return false;
        phi = m.phi;
        const double error = std::abs(m.dOmega - omega);
        const bool settled = error <= 1e-11 * omega || (error >= 0.5 * best && error <= 1e-8 * omega);
        if (settled) {
            const Eigen::VectorXd mPhi = CBandedModes::Times(d.banded->Matrices().M, phi);
            if (std::abs(from.phi.dot(mPhi)) < kKeptOverlap) return false;
            to.dKappa = kappa;
            to.phi = std::move(phi);
            return true;
        }
        if (it > 0 && error >= 0.5 * best) return false;
        best = error;
        if (!(std::abs(m.dSlope) > 0)) return false;
        kappa -= (m.dOmega - omega) / m.dSlope;
        if (!(kappa > 0) || !std::isfinite(kappa)) return false;
    }
    return false;
}

double Overlap(const CDirection& d, const Eigen::VectorXd& a, const Eigen::VectorXd& b) {
    return std::abs(a.dot(CBandedModes::Times(d.banded->Matrices().M, b)));
}

// The lines of one step that landed on one mode (equal wavenumbers, overlapping vectors): of
// each such pair, the one that kept less of its own mode before.
std::vector<size_t> Doubled(const CDirection& d, const std::vector<CState>& from, const std::vector<CState>& to,
                            const std::vector<char>& settled) {
    std::vector<size_t> out;
    for (size_t i = 0; i < to.size(); ++i)
        for (size_t j = i + 1; j < to.size() && settled[i]; ++j)
            if (settled[j] && std::abs(to[i].dKappa - to[j].dKappa) <= 1e-6 * to[i].dKappa &&
                Overlap(d, to[i].phi, to[j].phi) >= 0.5)
                out.push_back(Overlap(d, from[i].phi, to[i].phi) < Overlap(d, from[j].phi, to[j].phi) ? i : j);
    return out;
}

// Every live line from direction a to b. Where a line does not settle, or two land on one mode
// (near-degenerate lines mixing as the stack turns), the step is halved for all of them; at the
// last halving such lines end there.
void StepAll(const CThicknessModel& base, double omega, double thetaA, const CDirection& b, int depth, int threads,
             std::vector<CState>& states, std::vector<char>& alive) {
    std::vector<CState> next(states.size());
    std::vector<char> settled(states.size(), 0);
    ParallelFor(states.size(), threads, [&](size_t l, int) {
        if (alive[l]) settled[l] = Follow(b, omega, states[l], next[l]);
    });
    const std::vector<size_t> doubled = Doubled(b, states, next, settled);
    bool clean = doubled.empty();
    for (size_t l = 0; l < states.size(); ++l) clean = clean && (!alive[l] || settled[l]);
    if (clean || depth >= kMostHalvings) {
        for (size_t l : doubled) settled[l] = 0;
        for (size_t l = 0; l < states.size(); ++l) {
            if (!settled[l]) alive[l] = 0;  // the line ends here (it leaves the frequency, or cannot be told apart)
            if (alive[l]) states[l] = std::move(next[l]);
        }
        return;
    }
    const CDirection middle(base, 0.5 * (thetaA + b.dTheta));
    StepAll(base, omega, thetaA, middle, depth + 1, threads, states, alive);
    StepAll(base, omega, middle.dTheta, b, depth + 1, threads, states, alive);
}

bool Finite(const CDirectionalPoint& p) {
    for (double v : {p.dKappa, p.dPhase, p.dSlowness, p.dEnergyAlong, p.dEnergyAcross, p.dSkew})
        if (!std::isfinite(v)) return false;
    return true;
}

CDirectionalPoint MakePoint(const CDirection& d, double omega, const CState& s) {
    const CEnergyFlow flow = EnergyFlow(d.model, s.dKappa, omega, s.phi);
    CDirectionalPoint p;
    p.dAngle = d.dTheta;
    p.dKappa = s.dKappa;
    p.dPhase = omega / s.dKappa;
    p.dSlowness = s.dKappa / omega;
    p.dEnergyAlong = flow.dVelocityX;
    p.dEnergyAcross = flow.dVelocityY;
    p.dSkew = std::atan2(flow.dVelocityY, flow.dVelocityX);
    return p;
}

// How many modes have their cut-off (their frequency at k = 0) below omega: the modes that
// propagate at omega in every direction.
int ModesBelow(const CThicknessModel& model, double omega) {
    const int n = model.DofCount();
    for (int count = 16;; count *= 2) {
        const std::vector<double> lowest = Dispersion(model, {0.0}, std::min(count, n))[0];
        int below = 0;
        for (double w : lowest) below += !(w >= omega) ? 1 : 0;  // the rigid motions may round to NaN
        if (below < static_cast<int>(lowest.size()) || count >= n) return std::max(1, below);
    }
}

// The modes at theta = 0, named as the dispersion curves name them; a line that meets omega
// twice (a backward wave) gives two, the second named with a prime.
std::string StartModes(const CThicknessModel& model, const CDirectionalRequest& r, const CDirection& first,
                       std::vector<CDirectionalLine>& lines, std::vector<CState>& states) {
    CDispersionRequest range;
    range.range = EDispersionRange::kFrequency;
    range.dFrom = r.dOmega;
    range.dTo = r.dOmega * (1 + 1e-6);
    range.nPoints = 1;
    range.nModes = r.bEveryMode ? ModesBelow(model, r.dOmega) : r.nModes;
    range.nThreads = r.nThreads;
    range.bEnergy = false;
    const CDispersionCurves curves = TraceDispersion(model, range);
    if (!curves.error.empty()) return curves.error;
    const CModelParts split = MakeParts(Assemble(model), true);
    for (const CModeLine& line : curves.lines)
        for (size_t i = 0; i < line.points.size(); ++i) {
            const CModePoint& p = line.points[i];
            CBandedMode mode;
            if (!ModeVector(*first.banded, split.parts[static_cast<size_t>(line.nPart)], p.dKappa, p.dOmega, mode))
                return "the mode " + line.strName + " could not be found again at direction 0";
            states.push_back({p.dKappa, std::move(mode.phi)});
            const CDirectionalPoint start = MakePoint(first, r.dOmega, states.back());
            if (!Finite(start)) return "the energy of mode " + line.strName + " at direction 0 is not finite";
            lines.push_back({i == 0 ? line.strName : line.strName + "'", {start}});
        }
    return {};
}

}  // namespace

CThicknessModel TurnedModel(const CThicknessModel& model, double theta) {
    CThicknessModel turned = model;
    if (theta != 0)
        for (CElement& e : turned.elements)
            for (Voigt& c : e.stiffness) c = TurnAboutZ(c, -theta);
    return turned;
}

std::string CheckDirectionalRequest(const CThicknessModel& model, const CDirectionalRequest& r) {
    if (model.bShell) return "directions belong to a plate: a shell's wave runs around it or along it";
    if (!(r.dOmega > 0) || !std::isfinite(r.dOmega)) return "the frequency of the directions must lie above zero";
    if (r.nDirections < 1 || r.nDirections > kMaxDirections)
        return "the number of directions must be from 1 to " + std::to_string(kMaxDirections);
    if (r.nModes < 1) return "the number of modes must be 1 or more";
    return {};
}

CDirectionalCurves TraceDirections(const CThicknessModel& model, const CDirectionalRequest& r) {
    CDirectionalCurves out;
    out.dOmega = r.dOmega;
    out.error = CheckDirectionalRequest(model, r);
    if (!out.error.empty()) return out;
    const int n = r.nDirections;
    // theta + pi is theta's problem: with an even count the second half is the first again.
    const int solved = n % 2 == 0 ? n / 2 : n;
    const auto angle = [n](int i) { return 2 * kPi * i / n; };
    std::vector<CState> states;
    {
        const CDirection first(model, 0.0);
        out.error = StartModes(model, r, first, out.lines, states);
        if (!out.error.empty()) return out;
    }
    std::vector<char> alive(states.size(), 1);
    for (int i = 1; i < solved; ++i) {
        const CDirection d(model, angle(i));
        StepAll(model, r.dOmega, angle(i - 1), d, 0, std::max(1, r.nThreads), states, alive);
        std::vector<CDirectionalPoint> points(states.size());
        ParallelFor(states.size(), std::max(1, r.nThreads), [&](size_t l, int) {
            if (alive[l]) points[l] = MakePoint(d, r.dOmega, states[l]);
        });
        for (size_t l = 0; l < states.size(); ++l) {
            if (alive[l] && !Finite(points[l])) alive[l] = 0;
            if (alive[l]) out.lines[l].points.push_back(points[l]);
        }
    }
    if (solved < n)
        for (CDirectionalLine& line : out.lines) {
            const size_t half = line.points.size();
            // Only a line followed all the way round its half turn is the same in the other half.
            if (half != static_cast<size_t>(solved)) continue;
            for (size_t i = 0; i < half; ++i) {
                CDirectionalPoint p = line.points[i];
                p.dAngle = angle(static_cast<int>(i) + solved);
                line.points.push_back(p);
            }
        }
    return out;
}

std::string FormatDirections(const CDirectionalCurves& curves) {
    char buffer[400];
    std::snprintf(buffer, sizeof buffer, "# directions of the plate at frequency %.10g MHz\n",
                  curves.dOmega / (2 * kPi));
    std::string text = buffer;
    text += "# mode angle(deg) wavenumber(1/mm) phase_velocity(mm/us) slowness(us/mm) energy_velocity_along(mm/us) "
            "energy_velocity_across(mm/us) energy_speed(mm/us) skew(deg) ray_angle(deg)\n";
    for (const CDirectionalLine& line : curves.lines)
        for (const CDirectionalPoint& p : line.points) {
            const double degrees = 180 / kPi, skew = p.dSkew * degrees;
            double ray = std::fmod(p.dAngle * degrees + skew, 360.0);
            if (ray < 0) ray += 360;
            std::snprintf(buffer, sizeof buffer, "%s %.10g %.10g %.10g %.10g %.10g %.10g %.10g %.10g %.10g\n",
                          line.strName.c_str(), p.dAngle * degrees, p.dKappa, p.dPhase, p.dSlowness, p.dEnergyAlong,
                          p.dEnergyAcross + 0.0, std::hypot(p.dEnergyAlong, p.dEnergyAcross), skew + 0.0, ray + 0.0);
            text += buffer;
        }
    return text;
}

}  // namespace numerics
