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

// The help page's tone-burst example: a 1 mm [0/90/90/0] carbon/epoxy plate under a 5-cycle Hann
// burst at 0.2 MHz sampled 40 times a period, Z load read as W, window 0 .. 150 us.
inline numerics::CProblem ToneBurst() {
    numerics::CProblem p;
    const std::string text =
        "crossply\n4 2 3.113646\n1 0.25\n2 0.25\n2 0.25\n1 0.25\n0\n90\n1.6\n1.6\n4 4 4 4\n"
        "140 10 5 0.3 0.45\n140 10 5 0.3 0.45\n1\n4 0\n3 3\n0 150\n100\n";
    if (const std::string error = numerics::ParseCompositeInput(text, "bench", p); !error.empty()) {
        std::fprintf(stderr, "%s\n", error.c_str());
        std::exit(1);
    }
    for (int i = 0; i <= 200; ++i) {  // 40 samples a period, as the "Sampled load..." form makes them
        const double t = 0.125 * i, pi = 3.14159265358979323846;
        p.load.times.push_back(t);
        p.load.values.push_back(0.5 * (1 - std::cos(2 * pi * t / 25)) * std::sin(2 * pi * 0.2 * t));
    }
    numerics::PlanBand(p, numerics::kAutomaticOrder);
    return p;
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
