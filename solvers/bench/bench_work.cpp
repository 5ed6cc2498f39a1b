// The work estimate against the measured processor time (not a test): runs of every kind the
// estimate counts -- banded and dense blocks, symmetric stacks and a stack that does not split,
// the static sums of a band-limited load, many output points, many receivers -- each on one
// thread, the estimate in seconds (units / kWorkUnitsPerSecond) beside the time it took. The
// ratio should stay near 1 (within a factor of about 2) for the bound to mean what Limits.h says.
// Argument: repeats (default 3).
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "BenchRun.h"
#include "PointSource.h"
#include "RunWork.h"
#include "SourceWork.h"
#include "SolverInput.h"
#include "Transient.h"

using namespace numerics;

namespace {

using namespace bench;

struct CCase {
    const char* name;
    std::string angles;  // of the two materials
    int sublayers;
    int order;
    const char* loadLines;  // load, direction and output, window, receiver
    int points = kDefaultPoints;
    int receivers = 0;
    bool burst = false;
};

std::string Input(const CCase& c) {
    const std::string s = std::to_string(c.sublayers) + " ";
    return "work\n4 2 3.113646\n1 0.25\n2 0.25\n2 0.25\n1 0.25\n" + c.angles + "1.6\n1.6\n" + s + s + s + s +
           "\n181 10.3 7.17 0.28 0.4\n181 10.3 7.17 0.28 0.4\n1\n" + c.loadLines;
}

// The help page's tone burst: a 5-cycle Hann burst at 0.2 MHz, 40 samples a period.
void AddBurst(CProblem& p) {
    for (int i = 0; i <= 200; ++i) {
        const double t = 0.125 * i, pi = 3.14159265358979323846;
        p.load.times.push_back(t);
        p.load.values.push_back(0.5 * (1 - std::cos(2 * pi * t / 25)) * std::sin(2 * pi * 0.2 * t));
    }
}

// Point sources: the eigen-solving part of the estimate (SourceWork.h) against the processor time
// of the run on one thread, at few output points so that the eigen-solves (the searches and the
// near field included) are nearly all of it.
void ComparePointSources(int repeats) {
    constexpr int kPoints = 101;
    struct CPointCase {
        const char* name;
        std::string angles;
        const char* loadLines;
        bool burst;
        double dimConst;
        int sublayers = 1;
        int order = 2;
        double receiver = 0;  // x of the receiver; 0: the input's
    };
    const CPointCase cases[] = {
        {"[0/90/90/0], step, Z as W, 0..4 us", "0\n90\n", "1 3.14\n3 3\n0 4\n10\n", false, 3.113646},
        {"[30/-30/-30/30], step, X as U, 0..3 us", "30\n-30\n", "1 3.14\n1 1\n0 3\n10\n", false, 3.113646},
        {"[0/90/90/0], tone burst split, 0..30 us", "0\n90\n", "4 0\n3 3\n0 30\n20\n", true, 3.113646},
        {"[30/-30/-30/30], tone burst split, 0..30 us", "30\n-30\n", "4 0\n3 3\n0 30\n20\n", true, 3.113646},
        {"[0/90/90/0], tone burst, single lattice, 0..30 us", "0\n90\n", "4 0\n3 3\n0 30\n20\n", true, 1.5},
        {"[0/90/90/0], 4 sublayers, tone burst, 0..12 us", "0\n90\n", "4 0\n3 3\n0 12\n10\n", true, 3.113646,
         4},
        {"the tone burst example at (100, 0), automatic order", "0\n90\n", "4 0\n3 3\n0 150\n100\n", true, 3.113646, 4,
         kAutomaticOrder, 100},
    };
    std::printf("\npoint source (one receiver) | wave vectors (share with modes) | "
                "estimate: searches, near field, lattice | estimate | processor time | measured / estimate\n");
    for (const CPointCase& c : cases) {
        CCase line{c.name, c.angles, c.sublayers, c.order, c.loadLines};
        std::string text = Input(line);
        text.replace(text.find("3.113646"), 8, std::to_string(c.dimConst));
        CProblem p = Parse(text, c.order);
        if (c.burst) AddBurst(p);
        PlanBand(p, c.order);
        CSourceRequest request;
        request.receivers = {{c.receiver > 0 ? c.receiver : p.dReceiverX, 0.0}};
        request.bSingleLattice = c.dimConst < 2;
        if (const std::string error = CheckSourceRunSize(p, request, kPoints); !error.empty()) {
            std::printf("%s: %s\n", c.name, error.c_str());
            continue;
        }
        CSourceGrid g;
        MakeSourceGrid(p, request, g);
        const CSourceWork work = EstimateSourceWork(p, g, request);
        double best = 1e300;
        for (int r = 0; r < repeats; ++r) {
            CRunOptions options;
            options.nThreads = 1;
            options.nPoints = kPoints;
            const double cpu = Cpu();
            const CSourceResult result = SolvePointSource(p, request, options);
            best = std::min(best, Cpu() - cpu);
        }
        const double estimate = work.Solves() / kWorkUnitsPerSecond;
        std::printf("%-50s | %8.0f (%.2f) | %.3f s, %.3f s, %.3f s | %.3f s | %.3f s | %.2f\n", c.name, work.dVectors,
                    work.dModalShare, work.dSearch / kWorkUnitsPerSecond, work.dNear / kWorkUnitsPerSecond,
                    work.dEigen / kWorkUnitsPerSecond, estimate, best, best / estimate);
    }
}

}  // namespace

int main(int argc, char** argv) {
    const int repeats = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    const char* step = "1 3.14\n3 3\n0 5\n10\n";
    const char* stepLong = "1 3.14\n3 3\n0 20\n10\n";
    const char* burst = "4 0\n3 3\n0 150\n100\n";
    const CCase cases[] = {
        {"[0/90/90/0], 8 sublayers, order 2, step", "0\n90\n", 8, 2, stepLong},
        {"[0/90/90/0], 32 sublayers, order 2, step", "0\n90\n", 32, 2, step},
        {"[0/90/90/0], 8 sublayers, automatic, step", "0\n90\n", 8, kAutomaticOrder, step},
        {"[0/90/90/0], 1 sublayer, order 12 (dense blocks)", "0\n90\n", 1, 12, stepLong},
        {"[0/90/90/0], 4 sublayers, order 16", "0\n90\n", 4, 16, step},
        {"[0/45/45/0], 4 sublayers, order 6 (one block)", "0\n45\n", 4, 6, step},
        {"[0/90/90/0], 1 sublayer, order 2, 20001 points", "0\n90\n", 1, 2, stepLong, 20001},
        {"[0/90/90/0], impulse, X load, U output, automatic", "0\n90\n", 2, kAutomaticOrder, "2 0\n1 1\n0 5\n10\n"},
        {"tone burst, automatic (band-limited)", "0\n90\n", 4, kAutomaticOrder, burst, kDefaultPoints, 0, true},
        {"tone burst, 101 receivers", "0\n90\n", 4, kAutomaticOrder, burst, kDefaultPoints, 101, true},
        {"[0/90/90/0], order 2, step, 2000 receivers", "0\n90\n", 4, 2, stepLong, kDefaultPoints, 2000},
    };
    std::printf("run | unknowns | wavenumbers (with modes: estimated, measured) | estimate: eigen, synthesis, "
                "receivers | estimate | processor time | measured / estimate\n");
    double lowest = 1e300, highest = 0;
    for (const CCase& c : cases) {
        CProblem p = Parse(Input(c), c.order);
        if (c.burst) AddBurst(p);
        PlanBand(p, c.order);
        PlanBroadbandCutoff(p, c.order, c.points);
        std::vector<double> receivers;
        for (int r = 0; r < c.receivers; ++r) receivers.push_back(p.dReceiverX * (0.5 + 0.5 * r / (c.receivers - 1)));
        CWavenumbers grid;
        MakeWavenumbers(p, grid);
        const CRunWork work = EstimateRunWork(p, grid, c.points, c.receivers);
        CTimed best;
        for (int r = 0; r < repeats; ++r) {
            CRunOptions options;
            options.nPoints = c.points;
            options.nThreads = 1;
            const double cpu = Cpu();
            CTransientResult result = SolveAtReceivers(p, options, c.receivers ? &receivers : nullptr);
            const double used = Cpu() - cpu;
            if (r == 0 || used < best.dCpu) best.dCpu = used, best.result = std::move(result);
        }
        const double estimate = work.Total() / kWorkUnitsPerSecond;
        const double ratio = best.dCpu / estimate;
        lowest = std::min(lowest, ratio);
        highest = std::max(highest, ratio);
        std::printf("%-50s | %4d | %6zu (%6.0f, %6zu) | %.3f s, %.3f s, %.3f s | %.3f s | %.3f s | %.2f\n", c.name,
                    work.nUnknowns, grid.kappa.size(), work.dModalWavenumbers, best.result.nModalWavenumbers,
                    work.dEigen / kWorkUnitsPerSecond, work.dSynthesis / kWorkUnitsPerSecond,
                    work.dReceivers / kWorkUnitsPerSecond, estimate, best.dCpu, ratio);
    }
    std::printf("measured / estimated processor time from %.2f to %.2f (target: within 0.5 to 2); the bound, %.3g "
                "units, is about %.0f minutes of processor time\n",
                lowest, highest, kMaxRunWork, kMaxRunWork / kWorkUnitsPerSecond / 60);
    ComparePointSources(repeats);
    return 0;
}
