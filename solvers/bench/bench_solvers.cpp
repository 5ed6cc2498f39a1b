// The reference problem: a cross-ply [0/90/90/0] carbon/epoxy plate, 0.125 mm plies of
// 8 sublayers each, a Z step load read as W at 2 mm, window 0..20 us. Prints the best of
// three runs for 1 and 2 threads, split into assembly, eigen-solves and synthesis (wall time),
// with the processor time of all threads: on a busy machine the wall times of 2 threads only
// shrink when a second core is free.
#include <algorithm>
#include <ctime>
#include <cstdio>
#include <string>

#include "SolverInput.h"
#include "Transient.h"

using namespace numerics;

int main(int argc, char** argv) {
    const int repeats = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    const std::string input =
        "cross-ply [0/90/90/0]\n"
        "4    2    3.113646\n"
        "1    0.1250\n2    0.1250\n2    0.1250\n1    0.1250\n"
        "0.0000\n90.0000\n"
        "1.6000\n1.6000\n"
        "8 8 8 8 \n"
        "181.0000  10.3000  7.1700  0.2800  0.4000\n"
        "181.0000  10.3000  7.1700  0.2800  0.4000\n"
        "1 \n"
        "1    3.1400\n"
        "3    3\n"
        "0.00    20.00\n"
        "2.0000\n";
    CProblem problem;
    const std::string error = ParseCompositeInput(input, "bench", problem);
    if (!error.empty()) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    for (int threads : {1, 2}) {
        CTransientResult best;
        double bestTotal = 1e300, bestCpu = 0;
        for (int r = 0; r < repeats; ++r) {
            CRunOptions options;
            options.nThreads = threads;
            const std::clock_t cpuStart = std::clock();
            CTransientResult result = SolveTransient(problem, options);
            const double cpu = static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
            const double total = result.dAssemblySeconds + result.dEigenSeconds + result.dSynthesisSeconds;
            if (total < bestTotal) {
                bestTotal = total;
                bestCpu = cpu;
                best = std::move(result);
            }
        }
        std::printf("threads %d: %d unknowns, %zu wavenumbers, %zu points: assembly %.3f s, eigen-solves %.3f s, "
                    "synthesis %.3f s, total %.3f s (processor time %.3f s)\n",
                    threads, best.nUnknowns, best.nWavenumbers, best.time.size(), best.dAssemblySeconds,
                    best.dEigenSeconds, best.dSynthesisSeconds, bestTotal, bestCpu);
    }
    return 0;
}
