// Broadband loads at the automatic order (not a test): the default projects (one sublayer per
// layer, an X step read as U at 2 mm over 0..10 us; isotropic and cross-ply) against --order 2 on
// the same stack and against a converged curve, and the cost and accuracy of each choice of mode
// cutoff and sublayers, one thread. Argument: repeats (default 3).
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

#include "BenchRun.h"
#include "SolverInput.h"
#include "Transient.h"

using namespace numerics;

namespace {

using namespace bench;

struct CStack {
    const char* name;
    std::string plies;  // materials, layers: every line up to the sublayers
    std::string constants;
    int layers;
};

std::string Input(const CStack& s, int sublayers) {
    std::string text = "bench\n" + s.plies;
    for (int i = 0; i < s.layers; ++i) text += std::to_string(sublayers) + " ";
    return text + "\n" + s.constants + "1\n1    3.1400\n1    1\n0.00    10.00\n2.0000\n";
}

void Row(const char* what, const CProblem& p, const CTimed& t, const std::vector<double>& reference) {
    std::printf("%-44s | %5d", what, p.layerOrders.front());
    std::printf(" | %4d | %5zu (%5zu) | %.4f s | %.4f s | %.2e\n", t.result.nUnknowns, t.result.nWavenumbers,
                t.result.nModalWavenumbers, t.dWall, t.dCpu, RelativeL2(t.result.value, reference));
}

}  // namespace

int main(int argc, char** argv) {
    const int repeats = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    const CStack stacks[] = {
        {"isotropic", "1    1    3.113646\n1    1.0000\n0.0000\n2.7000\n", "70.0000  70.0000  26.3158  0.3300  0.3300\n",
         1},
        {"cross-ply", "4    2    3.113646\n1    0.2500\n2    0.2500\n2    0.2500\n1    0.2500\n0.0000\n90.0000\n1.6000\n1.6000\n",
         "181.0000  10.3000  7.1700  0.2800  0.4000\n181.0000  10.3000  7.1700  0.2800  0.4000\n", 4}};
    for (const CStack& s : stacks) {
        const bool iso = s.layers == 1;
        const CTimed reference = Run(Parse(Input(s, iso ? 4 : 2), iso ? 32 : 24), 1, 1);
        const auto& ref = reference.result.value;
        std::printf("\n%s, errors against %d sublayers of order %d\n", s.name, iso ? 4 : 2, iso ? 32 : 24);
        std::printf("%-44s | order | unknowns | wavenumbers (with modes) | wall | processor | relative L2\n", "run");
        const CProblem every = Parse(Input(s, 1), kAutomaticOrder);
        const CTimed everyRun = Run(every, 1, repeats);
        Row("automatic, every mode (--every-mode)", every, everyRun, ref);
        CProblem automatic = every;
        PlanBroadbandCutoff(automatic, kAutomaticOrder, kDefaultPoints);
        const CTimed autoRun = Run(automatic, 1, repeats);
        Row("automatic (the default)", automatic, autoRun, ref);
        const CProblem quadratic = Parse(Input(s, 1), 2);
        const CTimed quadRun = Run(quadratic, 1, repeats);
        Row("--order 2", quadratic, quadRun, ref);
        // The choices the rule weighs: the frequency the modes are synthesised to (and the order
        // chosen for it), and more elements of lower order.
        for (int sub : {1, 2, 4}) {
            for (double cutoff : {60.0, 130.0, 200.0, 314.0}) {
                CProblem p = Parse(Input(s, sub), kAutomaticOrder);
                p.band.dModeCutoff = cutoff;
                FitModelToBand(p, kAutomaticOrder);
                char what[64];
                std::snprintf(what, sizeof what, "%d sublayers a layer, modes to %.0f rad/us", sub, cutoff);
                Row(what, p, Run(p, 1, repeats), ref);
            }
        }
        std::printf("%s: default / --order 2: %.1fx the wall time, %.1fx the processor time (target <= 1.5); "
                    "default / every mode: %.2fx the processor time\n",
                    s.name, autoRun.dWall / quadRun.dWall, autoRun.dCpu / quadRun.dCpu, autoRun.dCpu / everyRun.dCpu);
    }
    return 0;
}
