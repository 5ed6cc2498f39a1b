#pragma once
// What the benchmarks share: a parsed problem, the best of a few timed runs (wall and processor
// time) and the relative L2 distance of two curves.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "SolverInput.h"
#include "Transient.h"

namespace bench {

using Clock = std::chrono::steady_clock;

inline double Wall(Clock::time_point from) { return std::chrono::duration<double>(Clock::now() - from).count(); }
inline double Cpu() { return static_cast<double>(std::clock()) / CLOCKS_PER_SEC; }

inline numerics::CProblem Parse(const std::string& text, int order = numerics::kQuadraticOrder) {
    numerics::CProblem problem;
    const std::string error = numerics::ParseCompositeInput(text, "bench", problem, order);
    if (!error.empty()) {
        std::fprintf(stderr, "%s\n", error.c_str());
        std::exit(1);
    }
    return problem;
}

struct CTimed {
    numerics::CTransientResult result;
    double dWall = 1e300, dCpu = 0;
};

// The fastest of `repeats` runs.
inline CTimed Run(const numerics::CProblem& problem, int threads, int repeats,
                  const std::vector<double>* receivers = nullptr) {
    CTimed best;
    for (int r = 0; r < repeats; ++r) {
        numerics::CRunOptions options;
        options.nThreads = threads;
        const double cpu = Cpu();
        const auto start = Clock::now();
        numerics::CTransientResult result = numerics::SolveAtReceivers(problem, options, receivers);
        const double wall = Wall(start);
        if (wall < best.dWall) {
            best.dWall = wall;
            best.dCpu = Cpu() - cpu;
            best.result = std::move(result);
        }
    }
    return best;
}

inline double RelativeL2(const std::vector<double>& a, const std::vector<double>& b) {
    double diff = 0, norm = 0;
    for (size_t i = 0; i < b.size(); ++i) {
        diff += (a[i] - b[i]) * (a[i] - b[i]);
        norm += b[i] * b[i];
    }
    return std::sqrt(diff / norm);
}

}  // namespace bench
