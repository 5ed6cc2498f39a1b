// The mode atlas of the tone-burst example's dynamic disc against full solves (not a test): for
// node spacings and stencils, its nodes and build time, the wave vectors it leaves to exact solves,
// and the error of its modes at random wave vectors of the disc -- the frequency error times the
// window (a phase at the window's end), the products' error relative to the mode's largest
// product, each weighed by the load's spectrum at the mode's frequency, near the axes apart.
#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdio>
#include <cstdlib>
#include <numeric>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "BenchRun.h"
#include "DirectionalSolvers.h"
#include "ModalSolver.h"
#include "LoadBand.h"
#include "ModeAtlas.h"
#include "PointSource.h"
#include "SourceNearField.h"

using namespace numerics;
using namespace bench;

namespace {

constexpr double kPi = 3.14159265358979323846;

// |F(w)| of the load's linear pieces (trapezoid on a fine subdivision), over its largest value.
struct CSpectrum {
    std::vector<double> t, f;
    double peak = 1;
    explicit CSpectrum(const CLoadFunction& load) {
        for (size_t i = 0; i + 1 < load.times.size(); ++i)
            for (int s = 0; s < 8; ++s) {
                t.push_back(load.times[i] + (load.times[i + 1] - load.times[i]) * s / 8);
                f.push_back(load.values[i] + (load.values[i + 1] - load.values[i]) * s / 8);
            }
        peak = 0;
        for (double w = 0.01; w < 4; w += 0.01) peak = std::max(peak, Raw(w));
    }
    double Raw(double w) const {
        std::complex<double> sum = 0;
        for (size_t i = 0; i + 1 < t.size(); ++i) sum += 0.5 * (t[i + 1] - t[i]) * (f[i] * std::polar(1.0, -w * t[i]) +
                                                                              f[i + 1] * std::polar(1.0, -w * t[i + 1]));
        return std::abs(sum);
    }
    double operator()(double w) const { return Raw(w) / peak; }
};

// An atlas's layout: the centre's ring step, the outer rings' step as a multiple of the marked
// zone's, the spectrum down to which veerings are marked (below it crossings alone), and the
// marked zone's ring step and the directions' step.
struct CLayout {
    double centre, outer, veerings, radial = 0.1, angular = 0.025;
    int past = 1;  // rings past the disc
    CAtlasSettings Settings() const {
        CAtlasSettings s;
        s.dCentreStep = centre;
        s.dOuterStepFactor = outer;
        s.dVeeringSpectrum = veerings;
        s.dRadialStep = radial;
        s.dAngularStep = angular;
        s.nRingsPastDisc = past;
        return s;
    }
};
// The layouts before (even rings, veerings marked as far as crossings; the outer rings closer;
// the stencil's three rings past the disc), the present one, and coarser ones.
constexpr CLayout kLayouts[] = {
    {0.1, 1, 1e-4, 0.1, 0.025, 3},    {0.025, 1, 1e-4, 0.1, 0.025, 3},   {0.025, 3, 1e-4, 0.1, 0.025, 3},
    {0.025, 3, 1e-3, 0.1, 0.025, 3},  {0.025, 4, 1e-3, 0.1, 0.025, 3},   {0.025, 4, 1e-3},
    {0.025, 4, 1e-2},                 {0.025, 5, 1e-3, 0.1, 0.025, 3},   {0.025, 3, 1e-3, 0.125, 0.025, 3},
    {0.025, 4, 1e-3, 0.1, 0.0275, 3}, {0.025, 4, 1e-3, 0.1, 0.03, 3}};

struct CErrors {
    size_t samples = 0, refused = 0, mismatched = 0;
    double phase = 0, product = 0;          // weighed by the spectrum, largest
    double phaseBand = 0, productBand = 0;  // unweighed, modes below the band's edge, largest
};

void Compare(const std::vector<CAtlasMode>& atlas, const std::vector<CAtlasMode>& exact, const CSpectrum& spectrum,
             double window, double edge, CErrors& e) {
    const auto count = [](const std::vector<CAtlasMode>& v, int b) {
        return std::count_if(v.begin(), v.end(), [b](const CAtlasMode& m) { return m.block == b; });
    };
    size_t ia = 0, ie = 0;
    for (int b = 0; b < 8; ++b) {
        const size_t na = static_cast<size_t>(count(atlas, b)), ne = static_cast<size_t>(count(exact, b));
        if (na != ne) ++e.mismatched;  // a mode at the band's top on one side of it
        for (size_t j = 0; j < std::min(na, ne); ++j) {
            const CAtlasMode& a = atlas[ia + j];
            const CAtlasMode& x = exact[ie + j];
            const double w = std::sqrt(std::max(0.0, x.omegaSquared));
            const double phase = std::abs(std::sqrt(std::max(0.0, a.omegaSquared)) - w) * window;
            double largest = 0, diff = 0;
            for (int c = 0; c < 6; ++c) {
                largest = std::max(largest, std::abs(x.products[c]));
                diff = std::max(diff, std::abs(a.products[c] - x.products[c]));
            }
            const double product = largest > 0 ? diff / largest : 0;
            const double s = spectrum(w);
            e.phase = std::max(e.phase, phase * s);
            e.product = std::max(e.product, product * s);
            if (w < edge) {
                e.phaseBand = std::max(e.phaseBand, phase);
                e.productBand = std::max(e.productBand, product);
            }
        }
        ia += na;
        ie += ne;
    }
}

}  // namespace

// The run whole with the atlas against every wave vector solved, on the example with a window
// short enough for the exact run: curves at and near the load and far from it.
void EndToEnd(double window) {
    CProblem burst = ToneBurst();
    burst.dTimeTo = window;
    PlanBand(burst, kAutomaticOrder);
    CSourceRequest request;
    request.receivers = {{0, 0}, {2, 1}, {0.5 * window, 0}, {0, 0.5 * window}, {0.3 * window, 0.3 * window}, {0.9 * window, 0}};
    CRunOptions options;
    options.nThreads = 2;
    request.modes = EModeSource::kExact;
    double t = Cpu();
    const CSourceResult exact = SolvePointSource(burst, request, options);
    const double exactCpu = Cpu() - t;
    if (!exact.error.empty()) {
        std::printf("%s\n", exact.error.c_str());
        return;
    }
    std::printf("window %.0f us: %.3g wave vectors, %.1f s processor with every one solved\n", window,
                exact.grid.dWaveVectors, exactCpu);
    std::printf("%6s %6s %6s %6s %6s %6s %7s %8s %7s | largest difference per receiver, of its peak\n", "centre",
                "outer", "veer", "radial", "angle", "nodes", "marked", "exact", "cpu s");
    for (const CLayout& layout : kLayouts) {
        request.modes = EModeSource::kAtlas;
        request.atlas = layout.Settings();
        t = Cpu();
        const CSourceResult run = SolvePointSource(burst, request, options);
        const double used = Cpu() - t;
        std::printf("%6.3f %6.1f %6.0e %6.3f %6.3f %6zu %7zu %8zu %7.2f |", layout.centre, layout.outer,
                    layout.veerings, layout.radial, layout.angular, run.nAtlasNodes, run.nAtlasMarked, run.nExactVectors, used);
        for (size_t c = 0; c < request.receivers.size(); ++c) {
            double peak = 0, diff = 0;
            for (size_t j = 0; j < exact.curves[c].size(); ++j) {
                peak = std::max(peak, std::abs(exact.curves[c][j]));
                diff = std::max(diff, std::abs(run.curves[c][j] - exact.curves[c][j]));
            }
            std::printf(" %.1e", diff / peak);
        }
        std::printf("\n");
    }
    std::printf("receivers:");
    for (const CPlanePoint& r : request.receivers) std::printf(" (%g, %g)", r.x, r.y);
    std::printf("\n");
}

// `bench_atlas low`: the low-mode solve (Lanczos on banded factors) against the reductions'
// partial solve on the example's blocks, wave numbers 0 to the disc's edge, several directions:
// processor time a block and the largest differences (w^2 in units of the block's scale, top
// products summed over coinciding modes, of their largest).
void LowModes() {
    const CProblem burst = ToneBurst();
    const CModeSplit split = MakeModeSplit(burst.band);
    CDirectionalSolvers directions(burst.model, 1);
    const double limit = split.dHigh * split.dHigh;
    CModalSolver::CWorkspace ws;
    for (int spares : {4, 0}) {
        double below = 0, low = 0, worstValue = 0, worstProduct = 0;
        long long solves = 0;
        const long long fallbacks = ws.lowModes.nFallbacks, steps = ws.lowModes.nSteps;
        for (double th : {0.0, 0.1, 0.4, 0.785, 1.2, 1.5707963}) {
            std::unique_ptr<CModalSolver> own;
            const CModalSolver& solver = directions.At(th, 0, own);
            for (double k = 0.0125; k < 8.2; k += 0.0731) {
                for (int b = 0; b < solver.BlockCount(); ++b) {
                    CModes x, y;
                    double t = Cpu();
                    int nx = 0, ny = 0;
                    for (int r = 0; r < 5; ++r) nx = solver.SolveBlockBelow(b, k, limit, spares, x, ws);
                    below += Cpu() - t;
                    t = Cpu();
                    for (int r = 0; r < 5; ++r) ny = solver.SolveBlockLow(b, k, limit, spares, y, ws);
                    low += Cpu() - t;
                    ++solves;
                    if (nx != ny || x.omegaSquared.size() != y.omegaSquared.size()) {
                        std::printf("mismatch at k %g th %g block %d: %d/%d below, %ld/%ld kept\n", k, th, b, nx, ny,
                                    static_cast<long>(x.omegaSquared.size()), static_cast<long>(y.omegaSquared.size()));
                        continue;
                    }
                    CModes all;
                    solver.SolveBlock(b, k, all, ws);
                    const double scale = all.omegaSquared.cwiseAbs().maxCoeff();
                    for (Eigen::Index j = 0; j < x.omegaSquared.size(); ++j) {
                        worstValue = std::max(worstValue, std::abs(x.omegaSquared(j) - y.omegaSquared(j)) / scale);
                        const double largest = std::max(x.top.col(j).squaredNorm(), 1e-300);
                        // Nearly coinciding neighbours mix: compare their products summed.
                        Eigen::Index end = j + 1;
                        while (end < x.omegaSquared.size() && x.omegaSquared(end) - x.omegaSquared(end - 1) < 1e-9 * scale) ++end;
                        Eigen::Matrix3d a = Eigen::Matrix3d::Zero(), c = Eigen::Matrix3d::Zero();
                        for (Eigen::Index i = j; i < end; ++i) {
                            a += x.top.col(i) * x.top.col(i).transpose();
                            c += y.top.col(i) * y.top.col(i).transpose();
                        }
                        worstProduct = std::max(worstProduct, (a - c).cwiseAbs().maxCoeff() / largest);
                        j = end - 1;
                    }
                }
            }
        }
        std::printf("spares %d: %lld blocks; reductions %.1f us a block, low modes %.1f us (%.2f x); %lld fell back, "
                    "%.1f steps a solve; largest differences: w^2 %.1e of the scale, products %.1e of the mode's\n",
                    spares, solves, 1e6 * below / (5 * solves), 1e6 * low / (5 * solves), below / low,
                    (ws.lowModes.nFallbacks - fallbacks) / 5, static_cast<double>(ws.lowModes.nSteps - steps) / (5 * solves),
                    worstValue, worstProduct);
    }
}

int main(int argc, char** argv) {
    if (argc > 1 && std::string(argv[1]) == "low") {
        LowModes();
        return 0;
    }
    if (argc > 1) {
        EndToEnd(std::atof(argv[1]));
        return 0;
    }
    const CProblem burst = ToneBurst();
    CSourceRequest request;
    request.receivers = {{100, 0}};
    if (const std::string error = CheckSourceRunSize(burst, request, 1001); !error.empty())
        std::printf("(the run's bounds: %s)\n", error.c_str());
    CSourceGrid g;
    MakeSourceGrid(burst, request, g);
    const CModeSplit split = MakeModeSplit(burst.band);
    const int threads = 2;
    CDirectionalSolvers directions(burst.model, threads);
    const double radius = g.dDynamicRadius > 0 ? g.dDynamicRadius
                                                : DynamicDiscRadius(directions, g.dKMax, split.dHigh, true, threads);
    const double window = burst.dTimeTo;
    const CSpectrum spectrum(burst.load);
    std::printf("tone burst: dynamic disc |k| < %.4g 1/mm, ramp %.4g .. %.4g rad/us, window %.0f us, %d unknowns\n",
                radius, split.dLow, split.dHigh, window, burst.model.DofCount());

    // The sample: even in area over the quarter disc, and as many again within 0.05 rad of the axes.
    std::mt19937_64 random(12345);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::vector<std::pair<double, double>> spread, axes;
    for (int i = 0; i < 1500; ++i) spread.push_back({radius * std::sqrt(unit(random)), 0.5 * kPi * unit(random)});
    for (int i = 0; i < 1500; ++i) {
        const double d = 0.05 * unit(random);
        axes.push_back({radius * std::sqrt(unit(random)), i % 2 ? d : 0.5 * kPi - d});
    }
    std::vector<std::vector<CAtlasMode>> exactSpread, exactAxes;
    CModalSolver::CWorkspace ws;
    for (auto* set : {&spread, &axes}) {
        auto& out = set == &spread ? exactSpread : exactAxes;
        for (const auto& [k, th] : *set) {
            std::unique_ptr<CModalSolver> own;
            out.push_back(SolvedAtlasModes(directions.At(th, 0, own), k, split.dHigh, ws));
        }
    }

    const CAtlasMarks marks = AtlasMarks(burst.load, window, split.dHigh, CAtlasSettings{});
    std::printf("crossings marked below %.3g rad/us (spectrum %.0e of its peak), veerings below %.3g (%.0e)\n",
                marks.dCrossings, CAtlasSettings{}.dCrossingSpectrum, marks.dVeerings, CAtlasSettings{}.dVeeringSpectrum);
    std::printf("%6s %6s %6s %6s %6s %6s %7s %7s %6s | %-46s | %-46s\n", "centre", "outer", "veer", "radial", "angle",
                "reach", "nodes", "cpu s",
                "marked", "spread: refused, phase*F, prod*F, phase, prod (in band)", "axes: refused, phase*F, prod*F, phase, prod");
    for (const CLayout& layout : kLayouts) {
        const CAtlasSettings s = layout.Settings();
        const CAtlasMarks at = AtlasMarks(burst.load, window, split.dHigh, s);
        const double cpu = Cpu();
        const double marked = DynamicDiscRadius(directions, radius, at.dCrossings, true, threads);
        const CModeAtlas atlas(directions, radius, marked, 0.5 * kPi, split.dHigh, at, s, threads);
        const double built = Cpu() - cpu;
        CErrors e[2];
        std::vector<CAtlasMode> found;
        double findCpu = 0;
        for (int set = 0; set < 2; ++set) {
            const auto& vectors = set == 0 ? spread : axes;
            const auto& exact = set == 0 ? exactSpread : exactAxes;
            for (size_t i = 0; i < vectors.size(); ++i) {
                const double t = Cpu();
                const bool ok = atlas.Find(vectors[i].first, vectors[i].second, found);
                findCpu += Cpu() - t;
                ++e[set].samples;
                if (!ok) {
                    ++e[set].refused;
                    continue;
                }
                Compare(found, exact[i], spectrum, window, split.dLow, e[set]);
            }
        }
        std::printf("%6.3f %6.1f %6.0e %6.3f %6.3f %6.3f %7zu %7.2f %6zu |", layout.centre, layout.outer, layout.veerings,
                    layout.radial, layout.angular, marked,
                    atlas.Grid().NodeCount(), built,
                    atlas.MarkedNodes());
        for (const CErrors& x : e)
            std::printf(" %5.1f%% %8.1e %8.1e %8.1e %8.1e |", 100.0 * x.refused / x.samples, x.phase, x.product,
                        x.phaseBand, x.productBand);
        std::printf(" %.2f us a lookup, %zu mismatched\n", 1e6 * findCpu / (e[0].samples + e[1].samples),
                    e[0].mismatched + e[1].mismatched);
    }
    return 0;
}
