// A solver's input reader against any bytes, then the solver core on what it accepts. Built once
// per solver (PEMBLAR_FUZZ_FGM 0: lumdex's "input.d", 1: Kavrit's "inputfgm.dat"), each with its
// own corpus; what differs between the two is said once, in the kind below.

#include <cstdint>
#include <string>

#include "SolverCoreRun.h"
#include "SolverInputChecks.h"

namespace {

// What the target needs to know of one solver's input.
struct CInputKind {
    const char* file;
    // Leading bytes of an input that pick the command line's options rather than the file's text.
    size_t optionBytes;
    bool hasTitle;
    // Reads text at the element order given (kAutomaticOrder: chosen per layer) under the options
    // that the leading bytes picked.
    std::string (*parse)(const std::string& text, const uint8_t* options, int order, numerics::CProblem& p);
};

std::string ParseLaminate(const std::string& text, const uint8_t*, int order, numerics::CProblem& p) {
    return numerics::ParseCompositeInput(text, "input.d", p, order);
}

// The graded solver's mixing rule and element count, as its command line would set them.
std::string ParseGraded(const std::string& text, const uint8_t* options, int order, numerics::CProblem& p) {
    numerics::CFgmOptions o;
    o.bMoriTanaka = (options[0] & 1) != 0;
    o.nSublayers = (options[0] >> 1) & 3;  // 0 chooses from the cut-off
    o.nOrder = order;
    return numerics::ParseFgmInput(text, "inputfgm.dat", o, p);
}

constexpr CInputKind kLaminate{"input.d", 0, true, &ParseLaminate};
constexpr CInputKind kGraded{"inputfgm.dat", 1, false, &ParseGraded};
constexpr const CInputKind& kKind = PEMBLAR_FUZZ_FGM ? kGraded : kLaminate;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < kKind.optionBytes)
        return 0;
    const uint8_t* options = data;
    const std::string text(reinterpret_cast<const char*>(data) + kKind.optionBytes, size - kKind.optionBytes);
    const auto parse = [&](const std::string& t, int order, numerics::CProblem& p) {
        return kKind.parse(t, options, order, p);
    };

    numerics::CProblem first;
    const std::string error = parse(text, numerics::kAutomaticOrder, first);
    if (!error.empty()) {
        fuzzcheck::CheckRefusal(text, kKind.file, error);
        return 0;
    }
    fuzzcheck::CheckAccepted(first);
    if (!kKind.hasTitle)
        FUZZ_CHECK(first.strTitle.empty(), std::string(kKind.file) + " has no title");

    numerics::CProblem again;
    FUZZ_CHECK(parse(text, numerics::kAutomaticOrder, again).empty() && fuzzcheck::SameProblem(first, again),
               "a second reading differs");
    numerics::CProblem padded;
    FUZZ_CHECK(parse(text + "\n \n\t\n", numerics::kAutomaticOrder, padded).empty() &&
                   fuzzcheck::SameProblem(first, padded),
               "blank lines at the end change the problem");
    fuzzcheck::RunCoreAtSomeOrder(first, [&](int order, numerics::CProblem& p) { return parse(text, order, p); });
    return 0;
}
