// lumdex's input reader ("input.d") against any bytes, then the solver core on what it accepts.

#include <cstdint>
#include <string>

#include "SolverCoreRun.h"
#include "SolverInputChecks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    numerics::CProblem first;
    const std::string error = numerics::ParseCompositeInput(text, "input.d", first);
    if (!error.empty()) {
        fuzzcheck::CheckRefusal(text, "input.d", error);
        return 0;
    }
    fuzzcheck::CheckAccepted(first);

    numerics::CProblem again;
    FUZZ_CHECK(numerics::ParseCompositeInput(text, "input.d", again).empty() && fuzzcheck::SameProblem(first, again),
               "a second reading differs");
    numerics::CProblem padded;
    const std::string longer = text + "\n \n\t\n";
    FUZZ_CHECK(numerics::ParseCompositeInput(longer, "input.d", padded).empty() && fuzzcheck::SameProblem(first, padded),
               "blank lines at the end change the problem");
    fuzzcheck::RunCoreAtSomeOrder(first, [&](int order, numerics::CProblem& p) {
        return numerics::ParseCompositeInput(text, "input.d", p, order);
    });
    return 0;
}
