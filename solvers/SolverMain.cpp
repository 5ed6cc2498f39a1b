#include "SolverMain.h"

#include <charconv>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <iostream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "DispersionCurves.h"
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
    // --dispersion over a range (--wavenumbers, --frequencies, --fd) and where its table goes.
    bool bCurves = false;
    bool bPerThickness = false;  // --fd: the frequency range is frequency times thickness
    CDispersionRequest curves;
    std::string strCurvesFile;
};

void Usage(ESolver kind, std::ostream& out) {
    const char* name = kind == ESolver::kLaminate ? "lumdex" : "Kavrit";
    const char* input = kind == ESolver::kLaminate ? "input.d" : "inputfgm.dat";
    const char* result = kind == ESolver::kLaminate ? "result.dat" : "resultfgm.dat";
    out << "usage: " << name << " [options]                 reads " << input << ", writes " << result << "\n"
        << "       " << name << " --dispersion [--modes N] [KAPPA ...]\n"
        << "options:\n"
        << "  --points N      output samples over the time window (default 1001)\n"
        << "  --threads N     threads for the eigen-solves and the synthesis (default: all cores)\n"
        << "  --timing        print the wall time of assembly, eigen-solves and synthesis\n"
        << "  --dispersion    print the lowest N (default 10) frequencies in rad/us at each KAPPA:\n"
        << "                  the wavenumber in 1/mm for a plate, the circumferential order for a shell\n"
        << "       " << name << " --dispersion RANGE [--modes N] [--output FILE]\n"
        << "  --wavenumbers K0 K1 N   N wavenumbers from K0 to K1 (1/mm; orders for a shell)\n"
        << "  --frequencies F0 F1 N   the frequencies F0 to F1 (MHz) over N wavenumbers\n"
        << "  --fd FD0 FD1 N          frequency times thickness FD0 to FD1 (MHz mm) over N wavenumbers\n"
        << "                  every mode traced as one line: frequency, wavenumber, phase and group velocity\n"
        << "  --output FILE   write that table to FILE (atomically) instead of standard output\n";
    if (kind == ESolver::kGraded)
        out << "  --sublayers N   elements per layer (default: from the cut-off wavelength)\n"
            << "  --cutoff C      the dimensionless cut-off constant (default 3.113646)\n"
            << "  --mori-tanaka   mix the two materials by Mori-Tanaka instead of the rule of mixtures\n";
}

bool ToNumber(const char* text, double& v) {
    const char* end = text + std::strlen(text);
    const auto r = std::from_chars(text, end, v);
    return r.ec == std::errc() && r.ptr == end;
}

bool ToCount(const char* text, int& v, int least) {
    double d = 0;
    if (!ToNumber(text, d) || d < least || d > 1e7 || d != static_cast<int>(d)) return false;
    v = static_cast<int>(d);
    return true;
}

// The dispersion range options; "-" when `arg` is none of them, empty when it was read.
std::string ParseCurvesArgument(const std::string& arg, int argc, char** argv, int& i, CCommandLine& cl) {
    const bool wavenumbers = arg == "--wavenumbers", frequencies = arg == "--frequencies", fd = arg == "--fd";
    if (arg == "--output") {
        if (i + 1 >= argc || !*argv[i + 1]) return "--output needs a file name";
        cl.strCurvesFile = argv[++i];
        return {};
    }
    if (!wavenumbers && !frequencies && !fd) return "-";
    double from = 0, to = 0;
    int points = 0;
    if (i + 3 >= argc || !ToNumber(argv[i + 1], from) || !ToNumber(argv[i + 2], to) ||
        !ToCount(argv[i + 3], points, 1))
        return arg + " needs a start, an end and a number of points";
    i += 3;
    cl.bCurves = true;
    cl.bPerThickness = fd;
    cl.curves.range = wavenumbers ? EDispersionRange::kWavenumber : EDispersionRange::kFrequency;
    const double scale = wavenumbers ? 1.0 : 2.0 * 3.14159265358979323846;  // MHz -> rad/us
    cl.curves.dFrom = from * scale;
    cl.curves.dTo = to * scale;
    cl.curves.nPoints = points;
    return {};
}

std::string ParseArguments(ESolver kind, int argc, char** argv, CCommandLine& cl) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        const auto count = [&](int& target, int least) {
            return hasValue && ToCount(argv[++i], target, least);
        };
        if (arg == "--help" || arg == "-h") cl.bHelp = true;
        else if (arg == "--dispersion") cl.bDispersion = true;
        else if (arg == "--timing") cl.bTiming = true;
        else if (const std::string e = ParseCurvesArgument(arg, argc, argv, i, cl); e != "-") {
            if (!e.empty()) return e;
        } else if (arg == "--modes") { if (!count(cl.nModes, 1)) return "--modes needs a count of 1 or more"; }
        else if (arg == "--points") { if (!count(cl.nPoints, 2)) return "--points needs a count of 2 or more"; }
        else if (arg == "--threads") { if (!count(cl.nThreads, 1)) return "--threads needs a count of 1 or more"; }
        else if (kind == ESolver::kGraded && arg == "--sublayers") {
            if (!count(cl.fgm.nSublayers, 1)) return "--sublayers needs a count of 1 or more";
        } else if (kind == ESolver::kGraded && arg == "--cutoff") {
            if (!hasValue || !ToNumber(argv[++i], cl.fgm.dCutoffConst) || !(cl.fgm.dCutoffConst > 0))
                return "--cutoff needs a positive number";
        } else if (kind == ESolver::kGraded && arg == "--mori-tanaka") cl.fgm.bMoriTanaka = true;
        else {
            double kappa = 0;
            if (!cl.bDispersion || !ToNumber(arg.c_str(), kappa)) return "unknown argument \"" + arg + "\"";
            cl.kappas.push_back(kappa);
        }
    }
    return {};
}

bool ReadWholeFile(const std::string& path, std::string& text) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream all;
    all << in.rdbuf();
    text = all.str();
    return true;
}

void PrintDispersion(const CProblem& p, const CCommandLine& cl) {
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
    std::printf("# %s omega_1 ... omega_%d (rad/us)\n",
                p.bShell ? "circumferential order n," : "wavenumber k (1/mm),", cl.nModes);
    for (size_t i = 0; i < kappas.size(); ++i) {
        std::printf("%.10g", kappas[i]);
        for (double w : rows[i]) std::printf(" %.10g", w);
        std::printf("\n");
    }
    std::fflush(stdout);
}

template <class Fail>
int WriteDispersionCurves(const CProblem& p, CCommandLine cl, const Fail& fail) {
    if (cl.bPerThickness) {
        const double h = p.model.Thickness();
        cl.curves.dFrom /= h;
        cl.curves.dTo /= h;
    }
    cl.curves.nModes = cl.nModes;
    // Progress lines only when the table goes to a file: standard output is then free for them.
    std::function<void(int)> progress;
    if (!cl.strCurvesFile.empty()) {
        progress = [](int percent) { std::cout << "progress " << percent << "%" << std::endl; };
        progress(0);
    }
    const CDispersionCurves curves = TraceDispersion(p.model, cl.curves, progress);
    if (!curves.error.empty()) return fail(curves.error);
    const std::string table = FormatDispersionCurves(curves, p.bShell);
    if (cl.strCurvesFile.empty()) {
        std::fwrite(table.data(), 1, table.size(), stdout);
        std::fflush(stdout);
        return 0;
    }
    const std::string writeError = WriteFileAtomically(cl.strCurvesFile, table);
    return writeError.empty() ? 0 : fail(writeError);
}

}  // namespace

int SolverMain(ESolver kind, int argc, char** argv) {
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
    if ((cl.bCurves || !cl.strCurvesFile.empty()) && (!cl.bDispersion || !cl.bCurves || !cl.kappas.empty())) {
        std::cerr << name << ": a dispersion range (--wavenumbers, --frequencies or --fd) goes with --dispersion, "
                  << "without KAPPA values\n";
        Usage(kind, std::cerr);
        return 2;
    }

    std::string text;
    if (!ReadWholeFile(input, text)) return fail("cannot open " + input + ": " + std::strerror(errno));
    CProblem problem;
    const std::string parseError = kind == ESolver::kLaminate ? ParseCompositeInput(text, input, problem)
                                                              : ParseFgmInput(text, input, cl.fgm, problem);
    if (!parseError.empty()) return fail(parseError);
    const std::string sizeError = CheckModelSize(problem.model);
    if (!sizeError.empty()) return fail(sizeError);

    if (cl.bDispersion && cl.bCurves) return WriteDispersionCurves(problem, cl, fail);
    if (cl.bDispersion) {
        PrintDispersion(problem, cl);
        return 0;
    }
    if (problem.load.type == ELoadType::kSampled) {
        const std::string loadError = ReadSampledLoad("ft.dat", problem.load);
        if (!loadError.empty()) return fail(loadError);
    }

    CRunOptions run;
    run.nPoints = cl.nPoints;
    run.nThreads = cl.nThreads > 0 ? cl.nThreads : std::max(1u, std::thread::hardware_concurrency());
    run.progress = [](int percent) { std::cout << "progress " << percent << "%" << std::endl; };
    run.progress(0);
    const CTransientResult result = SolveTransient(problem, run);
    if (!result.error.empty()) return fail(result.error);

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
