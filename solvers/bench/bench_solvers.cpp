// Timed runs of the solvers' core (not a test), printed as ratios:
//  1. the standard case -- a cross-ply [0/90/90/0] carbon/epoxy plate, 0.25 mm plies of
//     8 sublayers each, a Z step load read as W at 10 mm, 0..20 us -- solved whole (assembly,
//     eigen part, synthesis) on one thread, against a plain dense LAPACK loop (dsyevd,
//     eigenvalues only) over the same mirror-split standard-form matrices in the same run;
//  2. the same plate at 2, 4, 8, 16, 32 sublayers per ply, 1 and 2 threads, and how the eigen
//     part per wavenumber grows with the unknowns from 8 to 32 sublayers;
//  3. two threads against one;
//  4. 200 receiving points from one set of eigen-solves against one point;
//  5. the automatic element order on the standard case against quadratic elements of as many
//     sublayers as it takes them to be as accurate (both against a converged curve).
//  6. the help page's tone-burst example (a [0/90/90/0] plate of 4 sublayers a ply, a 5-cycle
//     Hann burst at 0.2 MHz read as W at 100 mm over 0..150 us) at the defaults -- the band of
//     the burst, the modes near it, the rest quasi-static -- against the standard case at
//     --order 2 on the same threads, and a 101-receiver B-scan of it against one receiver.
//  7. the same example as a point source: a 201 x 201 wave field over 200 mm x 200 mm at 100
//     times, and one receiver's curve at 100 mm, against the standard case at --order 2 and the
//     line-load run. Where the run is beyond the bounds, the wave vectors it would need and the
//     measured cost of their eigen-solves (a sample of them, timed) instead.
//  8. dispersion in depth: 360 directions of the standard case's plate (--order 2, 10 lines) at
//     1 MHz against the standard case at --order 2 on the same threads; and the mode shape a
//     click on a line shows, for a plate of about 1000 unknowns, against one frame (1/60 s).
// Sections 1 to 4 use quadratic elements, as the banded core's own measure.
// Each figure is the best of `repeats` runs (first argument, default 3); a second argument
// "order" runs section 5 alone, "band" section 6, "point" section 7, "depth" section 8. Wall time
// and processor time are both printed: on a machine busy with other work only the processor time
// is steady, and two threads only shrink the wall time when a second core is free.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include <Eigen/Dense>

#include "BandedModes.h"
#include "BenchRun.h"
#include "DirectionalSolvers.h"
#include "Directions.h"
#include "LoadBand.h"
#include "ModalSolver.h"
#include "ModeAtlas.h"
#include "ModeShape.h"
#include "ModeShapeRun.h"
#include "PointSource.h"
#include "SourceNearField.h"
#include "SolverInput.h"
#include "Transient.h"

extern "C" {
void dsyevd_(const char* jobz, const char* uplo, const int* n, double* a, const int* lda, double* w, double* work,
             const int* lwork, int* iwork, const int* liwork, int* info);
}

using namespace numerics;

namespace {

using namespace bench;

std::string StandardInput(int sublayers) {
    const std::string s = std::to_string(sublayers);
    return "cross-ply [0/90/90/0]\n"
           "4    2    3.113646\n"
           "1    0.2500\n2    0.2500\n2    0.2500\n1    0.2500\n"
           "0.0000\n90.0000\n"
           "1.6000\n1.6000\n" +
           s + " " + s + " " + s + " " + s +
           " \n"
           "181.0000  10.3000  7.1700  0.2800  0.4000\n"
           "181.0000  10.3000  7.1700  0.2800  0.4000\n"
           "1 \n"
           "1    3.1400\n"
           "3    3\n"
           "0.00    20.00\n"
           "10.0000\n";
}

// The mirror-split standard-form matrices as a dense solver sees them (the symmetric and the
// antisymmetric half, each L^-1 K_i L^-T), and the values-only dsyevd loop over every
// wavenumber of the run.
struct CDenseHalf {
    Eigen::MatrixXd a1, a2, a3;
};

std::vector<CDenseHalf> DenseHalves(const CThicknessModel& model) {
    const CSafeMatrices m = Assemble(model);
    const int n = static_cast<int>(m.M.rows()), nodes = n / 3, middle = (nodes - 1) / 2;
    const double r = std::sqrt(0.5);
    std::vector<Eigen::VectorXd> even, odd;
    const auto unit = [&](int dof) {
        Eigen::VectorXd v = Eigen::VectorXd::Zero(n);
        v(dof) = 1.0;
        return v;
    };
    even.push_back(unit(3 * middle));
    even.push_back(unit(3 * middle + 1));
    odd.push_back(unit(3 * middle + 2));
    for (int i = middle - 1; i >= 0; --i)
        for (int c = 0; c < 3; ++c) {
            const double sign = c == 2 ? -1.0 : 1.0;
            const int j = nodes - 1 - i;
            even.push_back(r * (unit(3 * i + c) + sign * unit(3 * j + c)));
            odd.push_back(r * (unit(3 * i + c) - sign * unit(3 * j + c)));
        }
    std::vector<CDenseHalf> halves;
    for (const auto* basis : {&even, &odd}) {
        Eigen::MatrixXd t(n, basis->size());
        for (size_t c = 0; c < basis->size(); ++c) t.col(c) = (*basis)[c];
        const Eigen::LLT<Eigen::MatrixXd> llt(t.transpose() * m.M * t);
        const auto standard = [&](const Eigen::MatrixXd& k) {
            const Eigen::MatrixXd x = llt.matrixL().solve(t.transpose() * k * t);
            const Eigen::MatrixXd a = llt.matrixL().solve(x.transpose());
            return Eigen::MatrixXd(0.5 * (a + a.transpose()));
        };
        halves.push_back({standard(m.K1), standard(m.K2), standard(m.K3)});
    }
    return halves;
}

double DenseLoop(const std::vector<CDenseHalf>& halves, const std::vector<double>& kappas, int repeats,
                 double& cpuOut) {
    double best = 1e300;
    for (int rep = 0; rep < repeats; ++rep) {
        const double cpu = Cpu();
        const auto start = Clock::now();
        for (const CDenseHalf& h : halves) {
            const int n = static_cast<int>(h.a1.rows());
            int lwork = -1, liwork = -1, info = 0, iw = 0;
            double w0 = 0;
            Eigen::MatrixXd a = h.a3;
            Eigen::VectorXd values(n);
            dsyevd_("N", "L", &n, a.data(), &n, values.data(), &w0, &lwork, &iw, &liwork, &info);
            lwork = static_cast<int>(w0);
            liwork = std::max(1, iw);
            std::vector<double> work(lwork);
            std::vector<int> iwork(liwork);
            for (double k : kappas) {
                a = (k * k) * h.a1 + k * h.a2 + h.a3;
                dsyevd_("N", "L", &n, a.data(), &n, values.data(), work.data(), &lwork, iwork.data(), &liwork,
                        &info);
            }
        }
        const double wall = Wall(start);
        if (wall < best) {
            best = wall;
            cpuOut = Cpu() - cpu;
        }
    }
    return best;
}

std::vector<double> Kappas(const CProblem& problem) {
    CWavenumbers grid;
    MakeWavenumbers(problem, grid);
    return grid.kappa;
}

double Total(const CTimed& t) {
    return t.result.dAssemblySeconds + t.result.dEigenSeconds + t.result.dSynthesisSeconds;
}

// 5. The automatic order against quadratic elements at the same accuracy, up to the most
// sublayers the input takes (500 in all).
constexpr int kMostSublayers = 125;
void CompareAutomaticOrder(int repeats) {
    const CTimed reference = Run(Parse(StandardInput(4), 16), 2, 1);  // order 16, 4 sublayers per ply
    const CProblem automatic = Parse(StandardInput(8), kAutomaticOrder);
    const CTimed a = Run(automatic, 1, repeats);
    const double errorAuto = RelativeL2(a.result.value, reference.result.value);
    std::printf("\nautomatic order (standard case, 8 sublayers per ply, orders");
    for (int p : automatic.layerOrders) std::printf(" %d", p);
    std::printf("): %d unknowns, %.3f s, relative L2 error %.2e against order 16 at 4 sublayers per ply\n",
                a.result.nUnknowns, Total(a), errorAuto);
    std::printf("quadratic elements, sublayers per ply | unknowns | time (1 thread) | relative L2 error\n");
    double quadraticTime = 0;
    int reached = 0;
    for (int sublayers : {8, 16, 32, 64, kMostSublayers}) {
        const CTimed q = Run(Parse(StandardInput(sublayers)), 1, sublayers >= 64 ? 1 : repeats);
        const double error = RelativeL2(q.result.value, reference.result.value);
        std::printf("%3d | %4d | %.3f s | %.2e\n", sublayers, q.result.nUnknowns, Total(q), error);
        quadraticTime = Total(q);
        if (error <= errorAuto) {
            reached = sublayers;
            break;
        }
    }
    if (reached)
        std::printf("automatic order / quadratic elements at the same accuracy (%d sublayers per ply): %.2fx the "
                    "time (target <= 1)\n",
                    reached, Total(a) / quadraticTime);
    else
        std::printf("quadratic elements did not reach the automatic order's accuracy at %d sublayers per ply, the "
                    "most the input takes; the automatic order takes %.2fx their time there (target <= 1)\n",
                    kMostSublayers, Total(a) / quadraticTime);
}

// 6. The band-limited tone burst (ToneBurst in BenchRun.h).
void CompareBandLimited(int repeats) {
    const int threads = 2;
    const CTimed standard = Run(Parse(StandardInput(8)), threads, repeats);
    const CProblem burst = ToneBurst();
    const CTimed one = Run(burst, threads, repeats);
    std::vector<double> scan;
    for (int i = 0; i < 101; ++i) scan.push_back(50.0 + i);
    const CTimed many = Run(burst, threads, repeats, &scan);
    std::printf("\ntone burst at the defaults (orders");
    for (int p : burst.layerOrders) std::printf(" %d", p);
    std::printf(", band to %.3g rad/us, modes up to %.3g): %d unknowns, %zu wavenumbers (%zu with modes), %.3f s "
                "wall, %.3f s processor, %d threads\n",
                burst.band.dEdge, burst.band.dModeCutoff, one.result.nUnknowns, one.result.nWavenumbers,
                one.result.nModalWavenumbers, one.dWall, one.dCpu, threads);
    std::printf("standard case, --order 2, %d threads: %.3f s wall, %.3f s processor\n", threads, standard.dWall,
                standard.dCpu);
    std::printf("tone burst / standard case --order 2: %.2fx the wall time, %.2fx the processor time (target <= 3)\n",
                one.dWall / standard.dWall, one.dCpu / standard.dCpu);
    std::printf("101-receiver B-scan (50 to 150 mm) / one receiver: %.2fx the wall time, %.2fx the processor time "
                "(target <= 2)\n",
                many.dWall / one.dWall, many.dCpu / one.dCpu);
}

// 7. The point source. A run the bounds take is timed whole; one they refuse is measured by its
// parts: the band-limited split's near field solved whole, the mode atlas of its dynamic disc
// built whole, and a sample of the disc's wave vectors (even in area) each found as the run would:
// from the atlas, or solved where the atlas leaves it (the check for a mode below the ramp's top,
// the modes where there is one).
struct CSampledCost {
    size_t nSamples = 0, nModal = 0, nExact = 0, nNodes = 0, nMarked = 0;
    double dAtlas = 0;                          // processor seconds to build the atlas
    double dLookup = 0, dCheck = 0, dModal = 0;  // per-vector solvers and checks, modes, lookups
    double PerVector() const { return (dLookup + dCheck + dModal) / nSamples; }
};
CSampledCost SampleDynamicCost(const CProblem& p, const CSourceGrid& g, size_t samples, int threads) {
    CDirectionalSolvers directions(p.model, threads);
    CModalSolver::CWorkspace ws;
    CModes modes;
    const CModeSplit split = MakeModeSplit(p.band);
    const double top = split.dHigh, limit = top * top;
    CSampledCost cost;
    cost.nSamples = samples;
    const CAtlasSettings settings;
    double t = Cpu();
    const CAtlasMarks marks = AtlasMarks(p.load, p.dTimeTo, top, settings);
    const std::unique_ptr<CModeAtlas> atlas =
        DynamicDiscAtlas(directions, g.dDynamicRadius, g.symmetry == ESourceSymmetry::kMirror, top, marks,
                         static_cast<size_t>(g.dWaveVectors - g.dNearVectors), EModeSource::kChosen, settings, threads);
    cost.dAtlas = Cpu() - t;
    if (atlas) cost.nNodes = atlas->Grid().NodeCount(), cost.nMarked = atlas->MarkedNodes();
    std::vector<CAtlasMode> found;
    for (size_t i = 0; i < samples; ++i) {
        // Even in area: the radius as the square root of a uniform fraction.
        const double k = g.dDynamicRadius * std::sqrt((i + 0.5) / samples);
        // Directions spread over the quarter by the golden ratio, as the lattice spreads them.
        const double theta = std::fmod(0.6180339887498949 * i, 1.0) * 0.5 * 3.14159265358979323846;
        t = Cpu();
        const bool known = atlas && atlas->Find(k, theta, found, ProductsWeighed(p.nOutput - 1, p.nLoadDir - 1));
        cost.dLookup += Cpu() - t;
        if (known) continue;
        ++cost.nExact;
        t = Cpu();
        std::unique_ptr<CModalSolver> own;
        const CModalSolver& solver = directions.At(theta, 0, own);  // as the run does per wave vector
        const bool none = solver.AllModesAbove(k, limit, ws);
        cost.dCheck += Cpu() - t;
        if (none) continue;
        t = Cpu();
        solver.Solve(k, modes, ws);
        cost.dModal += Cpu() - t;
        ++cost.nModal;
    }
    return cost;
}

void ComparePointSource(int repeats) {
    const int threads = 2;
    const CTimed standard = Run(Parse(StandardInput(8)), threads, repeats);
    const CProblem burst = ToneBurst();
    const CTimed line = Run(burst, threads, repeats);
    std::printf("\npoint source, the tone-burst example (standard case --order 2: %.3f s wall, %.3f s processor; "
                "line load: %.3f s wall, %.3f s processor; %d threads)\n",
                standard.dWall, standard.dCpu, line.dWall, line.dCpu, threads);
    CSourceRequest field, receiver;
    field.field = {-100, 100, -100, 100, 1.5, 150, 201, 201, 100};
    receiver.receivers = {{100, 0}};
    for (auto [name, request, reference, target] :
         {std::tuple{"201 x 201 field at 100 times", field, standard, 60.0},
          std::tuple{"one receiver at (100, 0)", receiver, line, 10.0}}) {
        // lumdex checks the run's size first, finding the split's disc and reach there; the whole
        // run's figures count that check.
        double cpu = Cpu();
        const auto checkStart = Clock::now();
        const std::string sizeError = CheckSourceRunSize(burst, request, 1001);
        const double planned = Cpu() - cpu, plannedWall = Wall(checkStart);
        CSourceGrid g;
        const std::string gridError = MakeSourceGrid(burst, request, g);
        std::printf("%s: period %.0f x %.0f mm, %.3g wave vectors at most (%.3g terms); the split's disc |k| < %.3g of "
                    "%.3g 1/mm, found in %.3f s\n",
                    name, g.dPeriodX, g.dPeriodY, g.dWaveVectors, g.dEntries, g.dDynamicRadius, g.dKMax, planned);
        // The parts first; the run whole only where they project it within 100 times the reference.
        CDirectionalSolvers directions(burst.model, threads);
        CNearField near;
        cpu = Cpu();
        const std::string nearError =
            g.bSplit ? SolveNearField(burst, g, MakeModeSplit(burst.band), directions, threads, near) : "";
        const double nearCpu = Cpu() - cpu;
        const CSampledCost c = SampleDynamicCost(burst, g, 20000, threads);
        const double dynamicVectors = g.dWaveVectors - g.dNearVectors;
        const double projected = planned + nearCpu + c.dAtlas + c.PerVector() * dynamicVectors;
        std::printf("  mode atlas: %zu nodes (%zu marked) in %.3f s processor, %.1f us a node; of %zu sampled vectors "
                    "%zu solved exactly; %.2f us a vector (lookups %.2f, exact solves %.2f)\n",
                    c.nNodes, c.nMarked, c.dAtlas, c.nNodes ? 1e6 * c.dAtlas / c.nNodes : 0.0, c.nSamples, c.nExact,
                    1e6 * c.PerVector(), 1e6 * c.dLookup / c.nSamples, 1e6 * (c.dCheck + c.dModal) / c.nSamples);
        std::printf("  near field: period %.0f mm, %zu wave vectors, %.3f s processor%s%s\n", near.dPeriod, near.nVectors,
                    nearCpu, nearError.empty() ? "" : "; ", nearError.c_str());
        std::printf("  projected: %.3g wave vectors in the disc, %.1f s processor, %.1fx the reference (target <= %.0f)\n",
                    dynamicVectors, projected, projected / reference.dCpu, target);
        if (gridError.empty() && sizeError.empty() && projected < 100 * reference.dCpu) {
            CRunOptions options;
            options.nThreads = threads;
            cpu = Cpu();
            const auto start = Clock::now();
            const CSourceResult r = SolvePointSource(burst, request, options);
            const double wall = plannedWall + Wall(start), used = planned + Cpu() - cpu;
            if (!r.error.empty()) std::printf("  failed: %s\n", r.error.c_str());
            std::printf("  whole, with the size check: %.3f s wall, %.3f s processor (eigen-solves %.3f s wall of which the atlas %.3f s, "
                        "synthesis %.3f s; %zu vectors solved exactly): %.1fx / %.1fx the reference (target <= %.0f)\n",
                        wall, used, r.dEigenSeconds, r.dAtlasSeconds, r.dSynthesisSeconds, r.nExactVectors,
                        wall / reference.dWall, used / reference.dCpu, target);
            continue;
        }
        if (!gridError.empty() || !sizeError.empty())
            std::printf("  refused: %s\n", (gridError.empty() ? sizeError : gridError).c_str());
        else
            std::printf("  accepted, but projected beyond 100 times the reference: measured by its parts\n");
    }
}

// 8. Directions and the mode shape of a click.
void CompareDispersionInDepth(int repeats) {
    const int threads = 2;
    const CProblem standard = Parse(StandardInput(8));
    const CTimed run = Run(standard, threads, repeats);
    CDirectionalRequest request;
    request.dOmega = 2 * 3.14159265358979323846;  // 1 MHz on the 1 mm plate
    request.nDirections = 360;
    request.nModes = 10;
    request.nThreads = threads;
    double best = 1e300, bestCpu = 0;
    size_t lines = 0;
    for (int r = 0; r < repeats; ++r) {
        const double cpu = Cpu();
        const auto start = Clock::now();
        const CDirectionalCurves curves = TraceDirections(standard.model, request);
        const double wall = Wall(start);
        if (!curves.error.empty()) std::printf("directions failed: %s\n", curves.error.c_str());
        if (wall < best) best = wall, bestCpu = Cpu() - cpu, lines = curves.lines.size();
    }
    std::printf("\n360 directions at 1 MHz, standard case --order 2 (%d unknowns, %zu lines), %d threads: %.3f s "
                "wall, %.3f s processor\n",
                standard.model.DofCount(), lines, threads, best, bestCpu);
    std::printf("directions / standard case --order 2: %.2fx the wall time, %.2fx the processor time (target <= 10)\n",
                best / run.dWall, bestCpu / run.dCpu);

    // A click: the mode at a known point of a line, found by shift-and-invert within its family,
    // and its profiles (what the dispersion window's panel does; the banded matrices are the
    // window's, made once).
    const CProblem big = Parse(StandardInput(42));
    const CBandedModes banded(big.model);
    const CBandedModes::CProjection family = [](Eigen::VectorXd& x) { ProjectFamily(x, "A", true, true); };
    CBandedMode a0;
    banded.ModeNear(2.0, 0.0, &family, nullptr, a0);  // the lowest antisymmetric mode at k = 2/mm: A0
    double click = 1e300;
    for (int r = 0; r < std::max(3, repeats); ++r) {
        const auto start = Clock::now();
        CBandedMode mode;
        const bool found = ModeVectorNear(banded, 2.0, a0.dOmega, &family, mode);
        const CModeShape shape = EvaluateModeShape(big.model, big.layerPlans, 2.0, mode.dOmega, mode.phi,
                                                   DefaultShapeSamples(big.model));
        click = std::min(click, Wall(start));
        if (!found || shape.samples.empty()) std::printf("the mode shape was not found\n");
    }
    std::printf("mode shape of a click, %d unknowns: %.4f s, %.2f of a frame at 60 Hz (target <= 1)\n",
                big.model.DofCount(), click, click * 60);
}

}  // namespace

int main(int argc, char** argv) {
    const int repeats = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    if (argc > 2 && std::string(argv[2]) == "order") {  // section 5 alone
        CompareAutomaticOrder(repeats);
        return 0;
    }
    if (argc > 2 && std::string(argv[2]) == "band") {  // section 6 alone
        CompareBandLimited(repeats);
        return 0;
    }
    if (argc > 2 && std::string(argv[2]) == "point") {  // section 7 alone
        ComparePointSource(repeats);
        return 0;
    }
    if (argc > 2 && std::string(argv[2]) == "depth") {  // section 8 alone
        CompareDispersionInDepth(repeats);
        return 0;
    }

    // 1. The standard case against the dense loop.
    const CProblem standard = Parse(StandardInput(8));
    const CTimed one = Run(standard, 1, repeats);
    double denseCpu = 0;
    const double dense = DenseLoop(DenseHalves(standard.model), Kappas(standard), repeats, denseCpu);
    const double whole = one.result.dAssemblySeconds + one.result.dEigenSeconds + one.result.dSynthesisSeconds;
    std::printf("standard case: %d unknowns, %zu wavenumbers, %zu points, 1 thread\n", one.result.nUnknowns,
                one.result.nWavenumbers, one.result.time.size());
    std::printf("  whole run %.3f s (assembly %.3f, eigen part %.3f, synthesis %.3f; processor %.3f s)\n", whole,
                one.result.dAssemblySeconds, one.result.dEigenSeconds, one.result.dSynthesisSeconds, one.dCpu);
    std::printf("  dense dsyevd values-only loop over the mirror halves %.3f s (processor %.3f s)\n", dense, denseCpu);
    std::printf("  ratio whole run / dense loop: %.2f (processor time %.2f; target <= 1.0)\n", whole / dense,
                one.dCpu / denseCpu);

    // 2. Growth with the sublayers, 1 and 2 threads.
    std::printf("\nsublayers per ply | unknowns | wavenumbers | 1 thread: total, eigen, processor | "
                "2 threads: total, eigen, processor\n");
    struct CRow {
        int sublayers, unknowns;
        double eigen1, total1, cpu1, total2, cpu2;
    };
    std::vector<CRow> rows;
    for (int sublayers : {2, 4, 8, 16, 32}) {
        const CProblem p = Parse(StandardInput(sublayers));
        const CTimed t1 = Run(p, 1, repeats);
        const CTimed t2 = Run(p, 2, repeats);
        const double total1 = t1.result.dAssemblySeconds + t1.result.dEigenSeconds + t1.result.dSynthesisSeconds;
        const double total2 = t2.result.dAssemblySeconds + t2.result.dEigenSeconds + t2.result.dSynthesisSeconds;
        std::printf("%2d | %4d | %zu | %.3f s, %.3f s, %.3f s | %.3f s, %.3f s, %.3f s\n", sublayers,
                    t1.result.nUnknowns, t1.result.nWavenumbers, total1, t1.result.dEigenSeconds, t1.dCpu, total2,
                    t2.result.dEigenSeconds, t2.dCpu);
        rows.push_back({sublayers, t1.result.nUnknowns, t1.result.dEigenSeconds, total1, t1.dCpu, total2, t2.dCpu});
    }
    const CRow& r8 = rows[2];
    const CRow& r32 = rows[4];
    const double exponent = std::log(r32.eigen1 / r8.eigen1) / std::log(double(r32.unknowns) / r8.unknowns);
    std::printf("eigen part per wavenumber from 8 to 32 sublayers grows like n^%.2f (target <= 2.2); "
                "the whole run costs %.2fx (target <= 6)\n",
                exponent, r32.total1 / r8.total1);

    // 3. Threads.
    std::printf("2 threads against 1 (standard case): %.2fx faster in wall time (target >= 1.8); "
                "processor time 1 thread %.3f s, 2 threads %.3f s\n",
                r8.total1 / r8.total2, r8.cpu1, r8.cpu2);

    // 4. Receivers: 200 points from 0 to the input's 10 mm (the same wavenumbers).
    std::vector<double> receivers;
    for (int i = 0; i < 200; ++i) receivers.push_back(10.0 * i / 199);
    const CTimed many = Run(standard, 1, repeats, &receivers);
    std::printf("200 receivers against 1 (standard case, 1 thread): %.2fx the time (target <= 3); "
                "processor time %.3f s against %.3f s\n",
                many.dWall / one.dWall, many.dCpu, one.dCpu);

    CompareAutomaticOrder(repeats);
    CompareBandLimited(repeats);
    ComparePointSource(repeats);
    CompareDispersionInDepth(repeats);
    return 0;
}
