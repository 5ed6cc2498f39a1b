#include "SolverMain.h"

#include <charconv>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <functional>
#include <iostream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "InputFile.h"
#include "Limits.h"
#include "ResultFile.h"
#include "SolverInput.h"
#include "Transient.h"

namespace numerics {

namespace {

struct CCommandLine {
    bool bDispersion = false;
    bool bTiming = false;
    bool bHelp = false;
    int nModes = 10;
    int nPoints = 1001;
    int nThreads = 0;
    std::vector<double> kappas;
    CFgmOptions fgm;
};

// One command-line option: a flag, a whole count or a number, each with its bounds; the usage
// text is made from the same table. A new option is one more row.
struct COption {
    const char* name;
    const char* value;       // nullptr for a flag
    bool bGradedOnly;
    double dLeast, dMost;    // a value outside is refused
    bool bWhole;             // a count rather than a number
    bool bLeastOpen;         // the least value itself is refused (a positive number)
    std::function<void(CCommandLine&, double)> set;
    const char* help;
};

const std::vector<COption>& Options() {
    static const std::vector<COption> table = {
        {"--points", "N", false, 2, kMaxPoints, true, false, [](CCommandLine& c, double v) { c.nPoints = static_cast<int>(v); },
         "output samples over the time window (default 1001)"},
        {"--threads", "N", false, 1, kMaxThreads, true, false, [](CCommandLine& c, double v) { c.nThreads = static_cast<int>(v); },
         "threads for the eigen-solves and the synthesis (default: all cores)"},
        {"--timing", nullptr, false, 0, 0, false, false, [](CCommandLine& c, double) { c.bTiming = true; },
         "print the wall time of assembly, eigen-solves and synthesis"},
        {"--dispersion", nullptr, false, 0, 0, false, false, [](CCommandLine& c, double) { c.bDispersion = true; },
         "print the lowest --modes frequencies in rad/us at each KAPPA:\n"
         "                  the wavenumber in 1/mm for a plate, the circumferential order for a shell"},
        {"--modes", "N", false, 1, kMaxModes, true, false, [](CCommandLine& c, double v) { c.nModes = static_cast<int>(v); },
         "frequencies per KAPPA for --dispersion (default 10)"},
        {"--sublayers", "N", true, 1, static_cast<double>(kMaxElements), true, false,
         [](CCommandLine& c, double v) { c.fgm.nSublayers = static_cast<int>(v); },
         "elements per layer (default: from the cut-off wavelength)"},
        {"--cutoff", "C", true, kMinCutoff, kMaxCutoff, false, false,
         [](CCommandLine& c, double v) { c.fgm.dCutoffConst = v; }, "the dimensionless cut-off constant (default 3.113646)"},
        {"--mori-tanaka", nullptr, true, 0, 0, false, false, [](CCommandLine& c, double) { c.fgm.bMoriTanaka = true; },
         "mix the two materials by Mori-Tanaka instead of the rule of mixtures"},
        {"--help", nullptr, false, 0, 0, false, false, [](CCommandLine& c, double) { c.bHelp = true; }, "this text"},
    };
    return table;
}

void Usage(ESolver kind, std::ostream& out) {
    const char* name = kind == ESolver::kLaminate ? "lumdex" : "Kavrit";
    const char* input = kind == ESolver::kLaminate ? "input.d" : "inputfgm.dat";
    const char* result = kind == ESolver::kLaminate ? "result.dat" : "resultfgm.dat";
    out << "usage: " << name << " [options]                 reads " << input << ", writes " << result << "\n"
        << "       " << name << " --dispersion [--modes N] [KAPPA ...]\n"
        << "options:\n";
    for (const COption& o : Options()) {
        if (o.bGradedOnly && kind != ESolver::kGraded) continue;
        std::string head = std::string(o.name) + (o.value ? std::string(" ") + o.value : "");
        head.resize(std::max<size_t>(head.size() + 1, 16), ' ');
        out << "  " << head << o.help << "\n";
    }
}

bool ToNumber(const char* text, double& v) {
    const char* end = text + std::strlen(text);
    const auto r = std::from_chars(text, end, v);
    return r.ec == std::errc() && r.ptr == end && std::isfinite(v);
}

// Why the value text does not suit the option, or empty (with the value in v).
std::string OptionValueProblem(const COption& o, const char* text, double& v) {
    std::ostringstream need;
    need << o.name << " needs " << (o.bWhole ? "a whole count" : "a number") << " from " << (o.bLeastOpen ? "above " : "")
         << Num(o.dLeast) << " to " << Num(o.dMost);
    if (!text) return need.str();
    if (!ToNumber(text, v)) return need.str() + ", not \"" + Excerpt(text) + "\"";
    const bool whole = !o.bWhole || v == std::floor(v);
    const bool inside = (o.bLeastOpen ? v > o.dLeast : v >= o.dLeast) && v <= o.dMost;
    if (!inside && whole && v > o.dMost) return need.str() + ": " + Excerpt(text) + " is too large";
    if (!whole || !inside) return need.str() + ", not " + Excerpt(text);
    return {};
}

std::string ParseArguments(ESolver kind, int argc, char** argv, CCommandLine& cl) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const COption* option = nullptr;
        for (const COption& o : Options())
            if (arg == o.name && (!o.bGradedOnly || kind == ESolver::kGraded)) option = &o;
        if (arg == "-h") option = &Options().back();
        if (option) {
            double v = 0;
            if (option->value) {
                const std::string why = OptionValueProblem(*option, i + 1 < argc ? argv[++i] : nullptr, v);
                if (!why.empty()) return why;
            }
            option->set(cl, v);
            continue;
        }
        double kappa = 0;
        if (!cl.bDispersion || !ToNumber(arg.c_str(), kappa)) return "unknown argument \"" + Excerpt(arg) + "\"";
        if (!(std::abs(kappa) <= kMaxKappa))
            return "KAPPA " + Excerpt(arg) + " lies outside " + Num(-kMaxKappa) + " to " + Num(kMaxKappa);
        cl.kappas.push_back(kappa);
    }
    return {};
}

// Empty when every frequency is finite, else what overflowed.
std::string PrintDispersion(const CProblem& p, const CCommandLine& cl) {
    std::vector<double> kappas = cl.kappas;
    if (kappas.empty()) {
        if (p.bShell) {
            for (int n = 0; n <= 10; ++n) kappas.push_back(n);
        } else {
            CWavenumbers grid;
            MakeWavenumbers(p, grid);
            for (int i = 0; i <= 10; ++i) kappas.push_back(grid.dKMax * i / 10.0);
        }
    }
    const auto rows = Dispersion(p.model, kappas, cl.nModes);
    for (size_t i = 0; i < kappas.size(); ++i)
        for (double w : rows[i])
            if (!std::isfinite(w) || !std::isfinite(kappas[i]))
                return "the frequencies at KAPPA = " + Num(kappas[i]) +
                       " overflowed: the input's values are too extreme to compute with";
    std::printf("# %s omega_1 ... omega_%d (rad/us)\n",
                p.bShell ? "circumferential order n," : "wavenumber k (1/mm),", cl.nModes);
    for (size_t i = 0; i < kappas.size(); ++i) {
        std::printf("%.10g", kappas[i]);
        for (double w : rows[i]) std::printf(" %.10g", w);
        std::printf("\n");
    }
    std::fflush(stdout);
    return {};
}

const char* QuantityName(int output) {
    switch (output) {
    case 1: return "displacement U";
    case 2: return "displacement V";
    default: return "displacement W";
    }
}

}  // namespace

int SolverMain(ESolver kind, int argc, char** argv) {
    // Beyond the file-size limit a write then fails with EFBIG ("File too large") and is reported
    // like any failed write, instead of the signal killing the run with a partial temporary file.
    std::signal(SIGXFSZ, SIG_IGN);
    const char* name = kind == ESolver::kLaminate ? "lumdex" : "Kavrit";
    const std::string input = kind == ESolver::kLaminate ? "input.d" : "inputfgm.dat";
    const std::string output = kind == ESolver::kLaminate ? "result.dat" : "resultfgm.dat";
    const auto fail = [&](const std::string& message) {
        std::cerr << name << ": " << message << std::endl;
        return 1;
    };

    CCommandLine cl;
    const std::string argError = ParseArguments(kind, argc, argv, cl);
    if (!argError.empty()) {
        std::cerr << name << ": " << argError << "\n";
        Usage(kind, std::cerr);
        return 2;
    }
    if (cl.bHelp) {
        Usage(kind, std::cout);
        return 0;
    }
    if (!cl.bDispersion) RemoveStaleTemporaries(output);

    std::string text;
    if (const std::string readError = ReadInputFile(input, kMaxInputBytes, text); !readError.empty())
        return fail(readError);
    CProblem problem;
    const std::string parseError = kind == ESolver::kLaminate ? ParseCompositeInput(text, input, problem)
                                                              : ParseFgmInput(text, input, cl.fgm, problem);
    if (!parseError.empty()) return fail(parseError);
    const std::string sizeError = CheckModelSize(problem.model);
    if (!sizeError.empty()) return fail(sizeError);

    if (cl.bDispersion) {
        const std::string error = PrintDispersion(problem, cl);
        return error.empty() ? 0 : fail(error);
    }
    if (problem.load.type == ELoadType::kSampled) {
        const std::string loadError = ReadSampledLoad("ft.dat", problem.load);
        if (!loadError.empty()) return fail(loadError);
    }
    if (const std::string runError = CheckRunSize(problem, cl.nPoints); !runError.empty()) return fail(runError);

    CRunOptions run;
    run.nPoints = cl.nPoints;
    run.nThreads = cl.nThreads > 0 ? cl.nThreads : static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    run.progress = [](int percent) { std::cout << "progress " << percent << "%" << std::endl; };
    run.progress(0);
    const CTransientResult result = SolveTransient(problem, run);
    if (!result.error.empty()) return fail(result.error);
    const std::string curveError = CheckCurveFinite(result.time, result.value, QuantityName(problem.nOutput));
    if (!curveError.empty()) return fail(curveError);

    const std::string writeError =
        WriteFileAtomically(output, FormatResult(problem.nOutput, result.time, result.value));
    if (!writeError.empty()) return fail(writeError);
    run.progress(100);
    if (cl.bTiming) {
        std::printf("unknowns %d, wavenumbers %zu, threads %d\n", result.nUnknowns, result.nWavenumbers,
                    run.nThreads);
        std::printf("assembly %.3f s, eigen-solves %.3f s, synthesis %.3f s\n", result.dAssemblySeconds,
                    result.dEigenSeconds, result.dSynthesisSeconds);
        std::fflush(stdout);
    }
    return 0;
}

}  // namespace numerics
