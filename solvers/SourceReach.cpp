#include "SourceReach.h"

#include <Eigen/Dense>
#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <numbers>
#include <tuple>
#include <utility>
#include <vector>

#include "Parallel.h"
#include "SourceNearField.h"

namespace numerics {

namespace {

// Radial steps over the disc and directions per quarter turn of the first grid. At a tone burst's
// band the fastest mode is the extensional one at k -> 0, which the grid finds to 1e-5; above the
// first thickness resonances a higher mode can be faster over a narrow range of k, which the
// grid's secants see only in part: the segments near the fastest are then refined.
constexpr int kSpeedSteps = 24;
constexpr int kSpeedDirectionsPerQuarter = 12;
// The first node beyond k = 0, as a fraction of the radius: the extensional mode's slope at
// k -> 0 without the dispersion a whole step would average in.
constexpr double kSpeedFirstNode = 1e-3;
// A mode's slope at k -> 0 within this share of its largest: the branch is fastest there.
constexpr double kSameAsFirst = 1 - 1e-3;
// Segments refined: each direction's and mode's fastest, where within this share of the fastest
// over the grid, at most this many (the fastest first), each zoomed in this many times on nodes
// spaced by an eighth of the span before.
constexpr double kRefineShare = 0.85;
constexpr size_t kRefineSegments = 12;
constexpr int kRefineLevels = 4;
constexpr int kRefineNodes = 8;
// Modes above omega solved at each node beyond those below it, per block: enough for the
// neighbours' slopes wherever their modes below omega are no more than these; a node whose
// neighbours have more is solved again with as many.
constexpr int kGridSpares = 1;
// The extensional mode at k -> 0 is found to about 1e-5 once its direction is refined; a refined
// segment elsewhere can still fall some per cent short of a narrow peak between the directions.
constexpr double kLowFrequencyMargin = 1.02;
constexpr double kSampledMargin = 1.10;

constexpr double kUnsolved = std::numeric_limits<double>::infinity();

// The frequencies (rad/us, ascending) at kappa of every mode below omega and of the `spares` next
// above it; the rest of the spectrum's places are kUnsolved. Each block's low modes (the banded
// Lanczos solve, or the reductions where it cannot show them complete) are its modes below omega
// and `spares` more, which holds the lowest `spares` above it overall.
Eigen::VectorXd LowFrequencies(const CModalSolver& solver, double kappa, double omega, int spares,
                               CModalSolver::CWorkspace& ws) {
    Eigen::VectorXd out = Eigen::VectorXd::Constant(solver.Size(), kUnsolved);
    Eigen::Index at = 0;
    for (int b = 0; b < solver.BlockCount(); ++b) {
        solver.SolveBlockLow(b, kappa, omega * omega, spares, ws.block, ws);
        for (Eigen::Index j = 0; j < ws.block.omegaSquared.size(); ++j)
            out(at++) = std::sqrt(std::max(0.0, ws.block.omegaSquared(j)));
    }
    std::sort(out.data(), out.data() + at);
    // Beyond those below omega, only the lowest `spares` are sure to be the spectrum's next (a
    // block's spares can lie above another's unsolved modes).
    const Eigen::Index sure = std::min(at, (out.head(at).array() < omega).count() + spares);
    out.segment(sure, at - sure).setConstant(kUnsolved);
    return out;
}

// How many of the frequencies lie below omega; how many are known.
Eigen::Index CountBelow(const Eigen::VectorXd& f, double omega) { return (f.array() < omega).count(); }
Eigen::Index CountKnown(const Eigen::VectorXd& f) { return (f.array() < kUnsolved).count(); }

// The frequencies below omega and at least those up to mode m (LowFrequencies): one more than
// those below omega first, more where mode m lies above them.
Eigen::VectorXd FrequenciesThrough(const CModalSolver& solver, double kappa, double omega, Eigen::Index m,
                                   CModalSolver::CWorkspace& ws) {
    Eigen::VectorXd f = LowFrequencies(solver, kappa, omega, 1, ws);
    if (CountKnown(f) > m) return f;
    return LowFrequencies(solver, kappa, omega, static_cast<int>(m + 1 - CountBelow(f, omega)), ws);
}

struct CPolarFrequencies {
    std::vector<double> radii;
    double step = 0;  // between directions, radians
    int last = 0;     // directions 0 .. last
    bool mirror = false;
    std::vector<std::vector<Eigen::VectorXd>> at;  // [direction][radius]: ascending, every mode
    // The direction j folded back into 0 .. last: about x and y the plane is mirror-symmetric,
    // and a half turn is a period (a turn by pi changes no stiffness).
    int Folded(int j) const {
        if (j >= 0 && j <= last) return j;
        if (mirror) return j < 0 ? -j : 2 * last - j;
        return j < 0 ? j + last : j - last;
    }
};

// The slope of mode m between two nodes, where it lies below omega at either.
double Secant(const Eigen::VectorXd& a, const Eigen::VectorXd& b, Eigen::Index m, double distance, double omega) {
    return std::min(a(m), b(m)) < omega ? std::abs(b(m) - a(m)) / distance : 0.0;
}

// The slope of mode m across the directions at node (j, i): a central difference.
double Across(const CPolarFrequencies& g, int j, size_t i, Eigen::Index m, double omega) {
    if (!(g.radii[i] > 0)) return 0.0;
    const Eigen::VectorXd &line = g.at[static_cast<size_t>(j)][i],
                          &before = g.at[static_cast<size_t>(g.Folded(j - 1))][i],
                          &after = g.at[static_cast<size_t>(g.Folded(j + 1))][i];
    if (std::min({line(m), before(m), after(m)}) >= omega) return 0.0;
    return std::abs(after(m) - before(m)) / (2.0 * g.radii[i] * g.step);
}

struct CSegment {
    double speed = 0, side = 0;
    int j = 0;
    Eigen::Index m = 0;
    size_t i = 0;  // from radii[i] to radii[i + 1]
};

// Each direction's and mode's fastest segment of the grid.
std::vector<CSegment> FastestSegments(const CPolarFrequencies& g, double omega) {
    std::vector<CSegment> out;
    for (int j = 0; j <= g.last; ++j) {
        const std::vector<Eigen::VectorXd>& line = g.at[static_cast<size_t>(j)];
        for (Eigen::Index m = 0; m < line.front().size(); ++m) {
            CSegment best;
            double first = 0;
            for (size_t i = 0; i + 1 < g.radii.size(); ++i) {
                const double along = Secant(line[i], line[i + 1], m, g.radii[i + 1] - g.radii[i], omega);
                const double side = std::max(Across(g, j, i, m, omega), Across(g, j, i + 1, m, omega));
                const double speed = std::hypot(along, side);
                if (i == 0) first = speed;
                if (speed > best.speed) best = {speed, side, j, m, i};
            }
            // A mode as fast at k -> 0 as anywhere (to rounding, or without dispersion) is the
            // low-frequency limit's.
            if (first >= kSameAsFirst * best.speed) best.i = 0;
            if (best.speed > 0) out.push_back(best);
        }
    }
    return out;
}

// The segment's slope along its direction zoomed in on, with the grid's slope across added.
double Refined(const CModalSolver& solver, const CPolarFrequencies& g, const CSegment& s, double omega,
               CModalSolver::CWorkspace& ws) {
    // Never closer to k = 0 than the grid's first node: omega, the square root of a rounded
    // omega^2, has a rounding error there far above the secants' small differences.
    const size_t top = g.radii.size() - 1;
    double from = g.radii[std::max<size_t>(s.i, 2) - 1], to = g.radii[std::min(s.i + 2, top)];
    double fastest = s.speed;
    std::vector<Eigen::VectorXd> f(kRefineNodes + 1);
    for (int level = 0; level < kRefineLevels; ++level) {
        const double h = (to - from) / kRefineNodes;
        for (int q = 0; q <= kRefineNodes; ++q)
            f[static_cast<size_t>(q)] = FrequenciesThrough(solver, from + q * h, omega, s.m, ws);
        int best = 0;
        double bestAlong = -1;
        for (int q = 0; q < kRefineNodes; ++q) {
            const double along = Secant(f[static_cast<size_t>(q)], f[static_cast<size_t>(q) + 1], s.m, h, omega);
            if (along > bestAlong) bestAlong = along, best = q;
        }
        fastest = std::max(fastest, std::hypot(bestAlong, s.side));
        const double a = from + std::max(0, best - 1) * h, b = from + std::min(kRefineNodes, best + 2) * h;
        from = std::max(a, g.radii[1]), to = b;
    }
    return fastest;
}

// The fastest low-frequency segment's speed, |(c, dc/dtheta)| with c = omega / k at the grid's
// first node, zoomed in on over the directions beside it.
double RefinedAcross(CDirectionalSolvers& directions, const CPolarFrequencies& g, const CSegment& s, double omega,
                     CModalSolver::CWorkspace& ws) {
    const double k = g.radii[1];
    const double rest = g.at[static_cast<size_t>(s.j)][0](s.m);  // the mode at k = 0, alike in every direction
    double from = g.step * (s.j - 1), to = g.step * (s.j + 1), fastest = s.speed;
    std::vector<double> c(kRefineNodes + 1);
    for (int level = 0; level < kRefineLevels; ++level) {
        const double h = (to - from) / kRefineNodes;
        for (int q = 0; q <= kRefineNodes; ++q) {
            std::unique_ptr<CModalSolver> own;
            const Eigen::VectorXd f = FrequenciesThrough(directions.At(from + q * h, 0, own), k, omega, s.m, ws);
            c[static_cast<size_t>(q)] = f(s.m) < omega ? std::abs(f(s.m) - rest) / k : 0.0;
        }
        int best = 1;
        double bestSpeed = -1;
        for (int q = 1; q < kRefineNodes; ++q) {
            const double side = (c[static_cast<size_t>(q) + 1] - c[static_cast<size_t>(q) - 1]) / (2 * h);
            const double speed = std::hypot(c[static_cast<size_t>(q)], side);
            if (speed > bestSpeed) bestSpeed = speed, best = q;
        }
        fastest = std::max(fastest, bestSpeed);
        const double a = from + (best - 1) * h, b = from + (best + 1) * h;
        from = a, to = b;
    }
    return fastest;
}

}  // namespace

double FastestInBandSpeed(CDirectionalSolvers& directions, double radius, double omega, bool mirror, int threads) {
    CPolarFrequencies g;
    g.mirror = mirror;
    g.last = mirror ? kSpeedDirectionsPerQuarter : 2 * kSpeedDirectionsPerQuarter;
    g.step = 0.5 * std::numbers::pi / kSpeedDirectionsPerQuarter;
    g.radii = {0.0, kSpeedFirstNode * radius};
    for (int i = 1; i <= kSpeedSteps; ++i) g.radii.push_back(radius * i / kSpeedSteps);
    g.at.assign(static_cast<size_t>(g.last + 1), std::vector<Eigen::VectorXd>(g.radii.size()));
    std::vector<CModalSolver::CWorkspace> spaces(static_cast<size_t>(std::max(1, threads)));
    {
        // At k = 0 the thickness resonances are alike in every direction: solved once, whole.
        std::unique_ptr<CModalSolver> own;
        const Eigen::VectorXd rest = directions.At(0.0, 0, own).Frequencies(0.0, spaces[0]);
        for (std::vector<Eigen::VectorXd>& line : g.at) line[0] = rest;
    }
    const auto solveNodes = [&](const std::vector<std::pair<int, size_t>>& nodes, const std::vector<int>& spares) {
        ParallelFor(nodes.size(), threads, [&](size_t c, int t) {
            const auto [j, i] = nodes[c];
            std::unique_ptr<CModalSolver> own;
            const CModalSolver& solver = directions.At(g.step * j, t, own);
            g.at[static_cast<size_t>(j)][i] = LowFrequencies(solver, g.radii[i], omega, spares[c], spaces[static_cast<size_t>(t)]);
        });
    };
    std::vector<std::pair<int, size_t>> nodes;
    for (int j = 0; j <= g.last; ++j)
        for (size_t i = 1; i < g.radii.size(); ++i) nodes.push_back({j, i});
    solveNodes(nodes, std::vector<int>(nodes.size(), kGridSpares));
    // A slope along a direction takes each mode below omega at either of its nodes, one across
    // at the nodes of three directions each mode below omega at any of them: where a node has
    // fewer known than that, it is solved again with as many (never where its partial solve
    // gave the whole spectrum).
    const auto count = [&](int j, size_t i) { return CountBelow(g.at[static_cast<size_t>(g.Folded(j))][i], omega); };
    std::vector<std::vector<Eigen::Index>> need(g.at.size(), std::vector<Eigen::Index>(g.radii.size(), 0));
    const auto raise = [&](int j, size_t i, Eigen::Index n) {
        Eigen::Index& at = need[static_cast<size_t>(g.Folded(j))][i];
        at = std::max(at, n);
    };
    for (int j = 0; j <= g.last; ++j)
        for (size_t i = 1; i < g.radii.size(); ++i) {
            const Eigen::Index across = std::max({count(j - 1, i), count(j, i), count(j + 1, i)});
            for (int d = -1; d <= 1; ++d) raise(j + d, i, across);
            raise(j, i - 1, count(j, i));
            raise(j, i, count(j, i - 1));
        }
    std::vector<std::pair<int, size_t>> again;
    std::vector<int> spares;
    for (const auto& [j, i] : nodes) {
        const Eigen::VectorXd& f = g.at[static_cast<size_t>(j)][i];
        if (need[static_cast<size_t>(j)][i] > CountKnown(f)) {
            again.push_back({j, i});
            spares.push_back(static_cast<int>(need[static_cast<size_t>(j)][i] - CountBelow(f, omega)));
        }
    }
    solveNodes(again, spares);

    std::vector<CSegment> segments = FastestSegments(g, omega);
    // The low-frequency limit, refined over the directions, with a small margin; every other
    // segment near the fastest refined along its direction, with a larger one.
    const auto lowFrequency = [](const CSegment& s) { return s.i == 0; };
    double fastest = 0;
    const CSegment* low = nullptr;
    for (const CSegment& s : segments) {
        fastest = std::max(fastest, s.speed);
        if (lowFrequency(s) && (!low || s.speed > low->speed)) low = &s;
    }
    const double lowSpeed = low ? kLowFrequencyMargin * RefinedAcross(directions, g, *low, omega, spaces[0]) : 0.0;
    // The fastest first (ties in grid order, so the choice does not depend on the threads).
    std::erase_if(segments, [&](const CSegment& s) { return lowFrequency(s) || s.speed < kRefineShare * fastest; });
    std::stable_sort(segments.begin(), segments.end(),
                     [](const CSegment& a, const CSegment& b) { return a.speed > b.speed; });
    if (segments.size() > kRefineSegments) segments.resize(kRefineSegments);
    std::vector<double> refined(segments.size(), 0.0);
    ParallelFor(segments.size(), threads, [&](size_t c, int t) {
        std::unique_ptr<CModalSolver> own;
        const CModalSolver& solver = directions.At(g.step * segments[c].j, t, own);
        refined[c] = Refined(solver, g, segments[c], omega, spaces[static_cast<size_t>(t)]);
    });
    double sampled = 0;
    for (double r : refined) sampled = std::max(sampled, r);
    return std::max(lowSpeed, kSampledMargin * sampled);
}

void FindDynamicExtent(const CProblem& p, const CSourceGrid& g, CDirectionalSolvers& directions,
                       CSourceRequest& request, int threads) {
    const double top = MakeModeSplit(p.band).dHigh;
    const bool mirror = g.symmetry == ESourceSymmetry::kMirror;
    if (!(request.dDynamicRadius > 0)) request.dDynamicRadius = DynamicDiscRadius(directions, g.dKMax, top, mirror, threads);
    if (request.dDynamicSpeed > 0) return;
    const double speed = FastestInBandSpeed(directions, request.dDynamicRadius, top, mirror, threads);
    // None found (never seen): no bound but the bulk speed's.
    request.dDynamicSpeed = std::isfinite(speed) && speed > 0 ? speed : std::numeric_limits<double>::infinity();
}

}  // namespace numerics
