// A sampled load of a million samples against the step load, on the reference problem of
// bench_solvers (a [0/90/90/0] carbon/epoxy plate, 195 unknowns, 0..20 us): prints the wall
// times and their ratio, and the piece-by-piece recursion on ten thousand samples for scale.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <string>

#include "SolverInput.h"
#include "Transient.h"

using namespace numerics;

namespace {

double Run(const CProblem& problem, bool exact, CTransientResult* out = nullptr) {
    CRunOptions options;
    options.nThreads = 1;
    options.bExactSampledLoad = exact;
    const auto start = std::chrono::steady_clock::now();
    CTransientResult result = SolveTransient(problem, options);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (!result.error.empty()) std::fprintf(stderr, "%s\n", result.error.c_str());
    if (out) *out = std::move(result);
    return seconds;
}

// A smooth burst with noise on it, sampled at `count` times over 0..20 us.
void Samples(CProblem& p, int count) {
    p.load.type = ELoadType::kSampled;
    p.load.times.clear();
    p.load.values.clear();
    for (int i = 0; i < count; ++i) {
        const double t = 20.0 * i / (count - 1);
        p.load.times.push_back(t);
        p.load.values.push_back(std::sin(2.0 * t) * std::exp(-0.5 * (t - 3) * (t - 3)) + 1e-3 * std::sin(977.0 * i));
    }
}

}  // namespace

int main() {
    const std::string input =
        "cross-ply [0/90/90/0]\n4    2    3.113646\n1    0.1250\n2    0.1250\n2    0.1250\n1    0.1250\n"
        "0.0000\n90.0000\n1.6000\n1.6000\n8 8 8 8 \n181.0000  10.3000  7.1700  0.2800  0.4000\n"
        "181.0000  10.3000  7.1700  0.2800  0.4000\n1 \n1    3.1400\n3    3\n0.00    20.00\n2.0000\n";
    CProblem problem;
    const std::string error = ParseCompositeInput(input, "bench", problem);
    if (!error.empty()) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    const double step = Run(problem, false);
    CProblem sampled = problem;
    Samples(sampled, 1000000);
    CTransientResult fast;
    const double million = Run(sampled, false, &fast);
    std::printf("step load: %.3f s; sampled load of 1000000 samples: %.3f s; ratio %.2f (1 thread)\n", step, million,
                million / step);

    // The piece-by-piece recursion, whose cost grows with samples x modes x wavenumbers.
    Samples(sampled, 10000);
    CTransientResult a, b;
    const double exact = Run(sampled, true, &a);
    const double quick = Run(sampled, false, &b);
    double diff = 0, norm = 0;
    for (size_t j = 0; j < a.value.size(); ++j) {
        diff += (a.value[j] - b.value[j]) * (a.value[j] - b.value[j]);
        norm += a.value[j] * a.value[j];
    }
    std::printf("10000 samples: recursion %.3f s, superposition %.3f s, relative L2 difference %.2e\n", exact, quick,
                std::sqrt(diff / norm));
    return 0;
}
