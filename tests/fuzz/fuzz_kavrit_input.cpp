// Kavrit's input reader ("inputfgm.dat") against any bytes, under the mixing rule and element
// count the first byte picks (as the command line would), then the solver core on what it accepts.

#include <cstdint>
#include <string>

#include "SolverCoreRun.h"
#include "SolverInputChecks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    numerics::CFgmOptions options;
    options.bMoriTanaka = (data[0] & 1) != 0;
    options.nSublayers = (data[0] >> 1) & 3;  // 0 chooses from the cut-off
    const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);

    numerics::CProblem first;
    const std::string error = numerics::ParseFgmInput(text, "inputfgm.dat", options, first);
    if (!error.empty()) {
        fuzzcheck::CheckRefusal(text, "inputfgm.dat", error);
        return 0;
    }
    fuzzcheck::CheckAccepted(first);
    FUZZ_CHECK(first.strTitle.empty(), "the graded input has no title");

    numerics::CProblem again;
    FUZZ_CHECK(numerics::ParseFgmInput(text, "inputfgm.dat", options, again).empty() &&
                   fuzzcheck::SameProblem(first, again),
               "a second reading differs");
    numerics::CProblem padded;
    const std::string longer = text + "\n \n\t\n";
    FUZZ_CHECK(numerics::ParseFgmInput(longer, "inputfgm.dat", options, padded).empty() &&
                   fuzzcheck::SameProblem(first, padded),
               "blank lines at the end change the problem");
    fuzzcheck::RunCoreAtSomeOrder(first, [&](int order, numerics::CProblem& p) {
        numerics::CFgmOptions fixed = options;
        fixed.nOrder = order;
        return numerics::ParseFgmInput(text, "inputfgm.dat", fixed, p);
    });
    return 0;
}
