#include "SourceNearField.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <memory>
#include <numbers>
#include <sstream>
#include <utility>

#include "ModalSolver.h"
#include "NearFieldTable.h"
#include "Parallel.h"
#include "SourceTerms.h"

namespace numerics {

namespace {

constexpr double kPi = std::numbers::pi;
// Directions sampled for the disc's radius, the scan's steps down from the cut-off, bisections.
constexpr int kDiscDirections = 96;
constexpr int kDiscScanSteps = 64;
constexpr int kDiscBisections = 24;
constexpr double kDiscMargin = 1.03;

// The highest of the scan's steps down from kMax at which some mode lies below omega (0 where
// none does but k = 0, at which the rigid motions do).
int HighestModalStep(const CModalSolver& solver, double kMax, double omegaSquared, CModalSolver::CWorkspace& ws) {
    const double step = kMax / kDiscScanSteps;
    for (int i = kDiscScanSteps; i > 0; --i)
        if (!solver.AllModesAbove(i * step, omegaSquared, ws)) return i;
    return 0;
}

// The last k with a mode below omega between below and above, where one lies below omega at below
// and none at above: bisected.
double BisectedModalWavenumber(const CModalSolver& solver, double below, double above, double omegaSquared,
                               CModalSolver::CWorkspace& ws) {
    for (int b = 0; b < kDiscBisections; ++b) {
        const double mid = 0.5 * (below + above);
        (solver.AllModesAbove(mid, omegaSquared, ws) ? above : below) = mid;
    }
    return above;
}

// The largest |s| and |s2| over points at the given radii, in directions over half a turn (the
// field of the opposite point is the same or its negative).
std::pair<double, double> LargestOnRings(const CNearField& f, std::initializer_list<double> radii) {
    double most = 0, mostSecond = 0;
    constexpr int kDirections = 32;
    for (double r : radii)
        for (int d = 0; d < (r > 0 ? kDirections : 1); ++d) {
            const double phi = kPi * d / kDirections;
            double s = 0, s2 = 0;
            f.At(r * std::cos(phi), r * std::sin(phi), s, s2);
            most = std::max(most, std::abs(s));
            mostSecond = std::max(mostSecond, std::abs(s2));
        }
    return {most, mostSecond};
}

// The largest |f| and |f''| of the load, which the near field's s and s2 multiply: on a grid of
// half the shortest piece of a sampled load (at most a million points), where every hat of f''
// (LoadBand.h) is seen at its peak or within a quarter of it.
std::pair<double, double> LoadSize(const CLoadFunction& load, double until) {
    CTimeGrid grid;
    if (load.type == ELoadType::kSampled && load.times.size() >= 2) {
        double shortest = load.times.back() - load.times.front();
        for (size_t i = 1; i < load.times.size(); ++i)
            if (load.times[i] > load.times[i - 1]) shortest = std::min(shortest, load.times[i] - load.times[i - 1]);
        grid.dFrom = load.times.front();
        const double span = std::max(load.times.back(), until) - grid.dFrom;
        grid.dStep = std::max(0.5 * shortest, span / 1e6);
        grid.nPoints = static_cast<int>(std::ceil(span / grid.dStep)) + 1;
    } else {
        grid.nPoints = 1001;
        grid.dStep = std::max(until, 1e-9) / 1000;
    }
    const CQuasiStaticLoad q = QuasiStaticLoad(load, grid);
    double value = 0, curvature = 0;
    for (double v : q.value) value = std::max(value, std::abs(v));
    for (double c : q.curvature) curvature = std::max(curvature, std::abs(c));
    return {value, curvature};
}

// The largest quasi-static response |f| |s| + |f''| |s2| the near field can give on a ring.
double LargestResponseOnRing(const CNearField& f, double radius, std::pair<double, double> load) {
    double most = 0;
    constexpr int kDirections = 32;
    for (int d = 0; d < kDirections; ++d) {
        const double phi = kPi * d / kDirections;
        double s = 0, s2 = 0;
        f.At(radius * std::cos(phi), radius * std::sin(phi), s, s2);
        most = std::max(most, load.first * std::abs(s) + load.second * std::abs(s2));
    }
    return most;
}

}  // namespace

double CModeSplit::Dynamic(double omega) const {
    if (omega <= dLow) return 1.0;
    if (omega >= dHigh) return 0.0;
    // The smooth step e^(-1/x) / (e^(-1/x) + e^(-1/(1-x))): every derivative vanishes at both ends.
    const double x = (omega - dLow) / (dHigh - dLow);
    const double up = std::exp(-1.0 / x), down = std::exp(-1.0 / (1.0 - x));
    return down / (up + down);
}

CModeSplit MakeModeSplit(const CLoadBand& band) {
    CModeSplit s;
    if (!band.Limited()) return s;
    s.dLow = band.dEdge;
    s.dHigh = band.dModeCutoff;
    return s;
}

double DynamicDiscRadius(CDirectionalSolvers& directions, double kMax, double omega, bool mirror, int threads) {
    const double span = mirror ? 0.5 * kPi : kPi;
    const int count = mirror ? kDiscDirections + 1 : kDiscDirections;  // a quarter: both of its ends
    const auto along = [&](size_t j, int t, std::unique_ptr<CModalSolver>& own) -> const CModalSolver& {
        return directions.At(span * static_cast<double>(j) / kDiscDirections, t, own);
    };
    std::vector<int> highest(static_cast<size_t>(count));
    std::vector<CModalSolver::CWorkspace> spaces(static_cast<size_t>(threads));
    ParallelFor(static_cast<size_t>(count), threads, [&](size_t j, int t) {
        std::unique_ptr<CModalSolver> own;
        highest[j] = HighestModalStep(along(j, t, own), kMax, omega * omega, spaces[static_cast<size_t>(t)]);
    });
    // A direction whose modal step is below the highest ends within that step's start. Those of
    // the highest step are bisected one after another (the same on any number of threads): the
    // first within the step, each further one only where a mode still lies below omega at the
    // largest so far, from there.
    const int top = *std::max_element(highest.begin(), highest.end());
    const double step = kMax / kDiscScanSteps;
    if (top >= kDiscScanSteps) return kMax;
    double largest = 0;
    for (size_t j = 0; j < highest.size(); ++j) {
        if (highest[j] != top) continue;
        std::unique_ptr<CModalSolver> own;
        const CModalSolver& solver = along(j, 0, own);
        if (largest > 0 && solver.AllModesAbove(largest, omega * omega, spaces[0])) continue;
        largest = BisectedModalWavenumber(solver, largest > 0 ? largest : top * step, (top + 1) * step,
                                          omega * omega, spaces[0]);
    }
    return std::min(kMax, kDiscMargin * largest);
}

void CNearField::At(double x, double y, double& s, double& s2) const {
    s = s2 = 0;
    if (!bWhole && (std::abs(x) >= 0.5 * dPeriod || std::abs(y) >= 0.5 * dPeriod)) return;
    for (size_t e = 0; e < m.size(); ++e) {
        const std::complex<double> phase = std::polar(1.0, dk * (m[e] * x + n[e] * y));
        s += (value[e] * phase).real();
        s2 += (second[e] * phase).real();
    }
}

void CNearField::OnGrid(const CFieldRequest& f, std::vector<double>& s, std::vector<double>& s2) const {
    const size_t nx = static_cast<size_t>(f.nX), ny = static_cast<size_t>(f.nY);
    s.assign(nx * ny, 0.0);
    s2.assign(nx * ny, 0.0);
    const auto inside = [&](double v) { return bWhole || std::abs(v) < 0.5 * dPeriod; };
    // Separably: per lattice row, the sum over its columns at every x, then over the rows at every y.
    long nLow = 0, nHigh = 0;
    for (long v : n) nLow = std::min(nLow, v), nHigh = std::max(nHigh, v);
    const size_t rows = static_cast<size_t>(nHigh - nLow + 1);
    std::vector<std::complex<double>> rowValue(rows * nx), rowSecond(rows * nx);
    for (size_t e = 0; e < m.size(); ++e) {
        const size_t row = static_cast<size_t>(n[e] - nLow);
        for (size_t i = 0; i < nx; ++i) {
            if (!inside(f.X(static_cast<int>(i)))) continue;
            const std::complex<double> phase = std::polar(1.0, dk * m[e] * f.X(static_cast<int>(i)));
            rowValue[row * nx + i] += value[e] * phase;
            rowSecond[row * nx + i] += second[e] * phase;
        }
    }
    for (size_t j = 0; j < ny; ++j) {
        const double y = f.Y(static_cast<int>(j));
        if (!inside(y)) continue;
        for (size_t row = 0; row < rows; ++row) {
            const std::complex<double> phase = std::polar(1.0, dk * (static_cast<long>(row) + nLow) * y);
            for (size_t i = 0; i < nx; ++i) {
                s[j * nx + i] += (rowValue[row * nx + i] * phase).real();
                s2[j * nx + i] += (rowSecond[row * nx + i] * phase).real();
            }
        }
    }
}

std::string SolveNearField(const CProblem& p, const CSourceGrid& g, const CModeSplit& split,
                           CDirectionalSolvers& directions, int threads, CNearField& out, ENearSums how) {
    const int a = p.nOutput - 1, b = p.nLoadDir - 1;
    const double phaseSign = ((a == 2) == (b == 2)) ? 0.0 : (a == 2 ? -1.0 : 1.0);
    // The transform's factor of a pair of opposite wave vectors: cos (1) or sin (-i phaseSign).
    const std::complex<double> kind = phaseSign == 0.0 ? std::complex<double>(1, 0) : std::complex<double>(0, -phaseSign);
    const bool mirror = g.symmetry == ESourceSymmetry::kMirror;
    const double h = p.model.Thickness(), largest = std::min(g.dPeriodX, g.dPeriodY);
    double period = kNearFieldPeriods * h;
    std::vector<CModalSolver::CWorkspace> spaces(static_cast<size_t>(threads));
    // Beyond the dynamic disc every mode lies above the ramp and the sums are the static
    // flexibility, smooth in the wave vector: there a table serves every period alike (the
    // vectors of the first period are the fewest). Within the disc the modes crossing the ramp
    // make them change steeply: every vector is solved.
    const double inner = std::min(g.dDynamicRadius, g.dKMax);
    const CNearTableLayout layout = NearTableLayout(h, mirror);
    const double firstDk = 2.0 * kPi / std::min(period, largest);
    const size_t outside = LatticeVectors(firstDk, firstDk, g.dKMax, mirror).size() -
                           LatticeVectors(firstDk, firstDk, inner, mirror).size();
    const bool tabled = inner < g.dKMax && (how == ENearSums::kTable ||
                                            (how == ENearSums::kCheapest && NearTableNodes(layout) < outside));
    const std::pair<double, double> load = LoadSize(p.load, p.dTimeTo);
    std::unique_ptr<CNearFieldTable> table;
    if (tabled) table = std::make_unique<CNearFieldTable>(directions, inner, g.dKMax, split, mirror, layout, threads);
    for (int attempt = 0; attempt <= kNearFieldDoublings; ++attempt, period *= 2) {
        out = CNearField{};
        out.bWhole = period >= largest;
        out.dPeriod = std::min(period, largest);
        out.dk = 2.0 * kPi / out.dPeriod;
        const std::vector<std::pair<long, long>> solved = LatticeVectors(out.dk, out.dk, g.dKMax, mirror);
        std::vector<CNearSums> sums(solved.size());
        ParallelFor(solved.size(), threads, [&](size_t e, int t) {
            const long m = solved[e].first, n = solved[e].second;
            const double k = out.dk * std::hypot(double(m), double(n)), theta = LatticeDirection(m, n, out.dk, out.dk);
            if (table && k >= inner) {
                table->At(k, theta, sums[e]);
                return;
            }
            std::unique_ptr<CModalSolver> own;
            NearSums(directions.At(theta, t, own), k, split, sums[e], spaces[static_cast<size_t>(t)]);
        });
        out.nSolved = solved.size();
        if (table) {
            out.nSolved = table->Nodes();
            for (const auto& [m, n] : solved) out.nSolved += out.dk * std::hypot(double(m), double(n)) < inner ? 1 : 0;
        }
        out.nVectors = solved.size();
        const double cell = 1.0 / (out.dPeriod * out.dPeriod);
        std::vector<CTerm> terms;
        for (size_t e = 0; e < solved.size(); ++e) {
            const long m = solved[e].first, n = solved[e].second;
            terms.clear();
            AddLatticeTerms(m, n, out.dk, out.dk, mirror, a, b, cell * Taper(out.dk * std::hypot(double(m), double(n)), g.dKMax),
                            terms);
            for (const CTerm& t : terms) {
                const double pair = (t.m == 0 && t.n == 0) ? 1.0 : 2.0;  // the conjugate wave vector
                out.m.push_back(t.m);
                out.n.push_back(t.n);
                out.value.push_back(pair * t.scale * t.weight.cwiseProduct(sums[e].flexibility).sum() * kind);
                out.second.push_back(pair * t.scale * t.weight.cwiseProduct(sums[e].second).sum() * kind);
            }
        }
        if (out.bWhole) return {};
        // The wrap-around: the response the field can give on the cell's edge against the larger
        // of its two parts' peaks near the load (s2 alone, far smaller than s once multiplied by
        // the load's f'', need not decay as far).
        const auto peak = LargestOnRings(out, {0.0, h / 4, h / 2, h, 2 * h, 4 * h});
        const double scale = std::max(load.first * peak.first, load.second * peak.second);
        if (LargestResponseOnRing(out, 0.5 * out.dPeriod, load) <= kNearFieldTolerance * scale) return {};
    }
    std::ostringstream msg;
    msg.precision(3);
    msg << "the quasi-static field of the load does not decay within " << out.dPeriod / 2 << " mm";
    return msg.str();
}

}  // namespace numerics
