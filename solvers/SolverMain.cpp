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

#include "DispersionCurves.h"
#include "InputFile.h"
#include "Directions.h"
#include "ModeShapeRun.h"
#include "Limits.h"
#include "PointSourceRun.h"
#include "Receivers.h"
#include "ResultFile.h"
#include "SolverInput.h"
#include "Transient.h"

namespace numerics {

namespace {

struct CCommandLine {
    bool bDispersion = false;
    bool bTiming = false;
    bool bHelp = false;
    bool bEveryMode = false;  // synthesise every mode whatever the load's band (for checks)
    int nModes = 10;
    int nPoints = kDefaultPoints;
    int nThreads = 0;
    int nOrder = kAutomaticOrder;
    std::vector<double> kappas;
    CFgmOptions fgm;
    // --dispersion over a range (--wavenumbers, --frequencies, --fd) and where its table goes.
    bool bCurves = false;
    bool bPerThickness = false;  // --fd: the frequency range is frequency times thickness
    CDispersionRequest curves;
    std::string strCurvesFile;
    // --receivers FILE or --receiver-range X0 X1 N: one result file per point.
    std::string strReceiverFile;
    bool bReceiverRange = false;
    std::vector<double> receivers;
    // --mode-shape NAME at one of --at-wavenumber, --at-frequency, --at-fd.
    std::string strShape;
    int nShapeAxes = 0;
    bool bShapePerThickness = false;
    CModeShapeRequest shape;
    int nDirections = 0;  // --directions N at --at-frequency or --at-fd
    CPointSourceOptions source;  // --point-source and its receivers and field
};

// One value of an option: a whole count or a number within bounds, or free text (a file name).
struct CValue {
    const char* name;
    double dLeast = 0, dMost = 0;  // a number outside is refused
    bool bWhole = false;           // a count rather than a number
    bool bText = false;
};

// One command-line option with its values; the usage text is made from the same table, so a
// new option is one more row.
struct COption {
    const char* name;
    bool bGradedOnly;
    std::vector<CValue> values;  // none for a flag
    std::function<void(CCommandLine&, const std::vector<double>&, const char* text)> set;
    const char* help;
};

using CNumbers = std::vector<double>;

CValue Count(const char* name, double least, double most) { return {name, least, most, true, false}; }
CValue Number(const char* name, double least, double most) { return {name, least, most, false, false}; }

// --at-wavenumber, --at-frequency and --at-fd: where --mode-shape is taken.
void SetShapePoint(CCommandLine& c, double value, EDispersionRange axis, bool perThickness) {
    ++c.nShapeAxes;
    c.shape.axis = axis;
    c.shape.dValue = value;
    c.bShapePerThickness = perThickness;
}

// --wavenumbers, --frequencies and --fd: a range and a number of points.
void SetCurves(CCommandLine& c, const CNumbers& v, EDispersionRange range, double scale, bool perThickness) {
    c.bCurves = true;
    c.bPerThickness = perThickness;
    c.curves.range = range;
    c.curves.dFrom = v[0] * scale;
    c.curves.dTo = v[1] * scale;
    c.curves.nPoints = static_cast<int>(v[2]);
}
constexpr double kMHz = 2.0 * 3.14159265358979323846;  // MHz -> rad/us

const std::vector<COption>& Options() {
    static const std::vector<COption> table = {
        {"--points", false, {Count("N", 2, kMaxPoints)}, [](CCommandLine& c, const CNumbers& v, const char*) { c.nPoints = static_cast<int>(v[0]); },
         "output samples over the time window (default 1001)"},
        {"--threads", false, {Count("N", 1, kMaxThreads)}, [](CCommandLine& c, const CNumbers& v, const char*) { c.nThreads = static_cast<int>(v[0]); },
         "threads for the eigen-solves and the synthesis (default: all cores)"},
        {"--timing", false, {}, [](CCommandLine& c, const CNumbers&, const char*) { c.bTiming = true; },
         "print the element orders, the unknowns and the wall time of assembly, eigen-solves and synthesis"},
        {"--dispersion", false, {}, [](CCommandLine& c, const CNumbers&, const char*) { c.bDispersion = true; },
         "print the lowest --modes frequencies in rad/us at each KAPPA:\n"
         "                  the wavenumber in 1/mm for a plate, the circumferential order for a shell"},
        {"--modes", false, {Count("N", 1, kMaxModes)}, [](CCommandLine& c, const CNumbers& v, const char*) { c.nModes = static_cast<int>(v[0]); },
         "frequencies per KAPPA (default 10), lines of a range"},
        {"--wavenumbers", false, {Number("K0", -kMaxKappa, kMaxKappa), Number("K1", -kMaxKappa, kMaxKappa), Count("N", 1, kMaxDispersionPoints)},
         [](CCommandLine& c, const CNumbers& v, const char*) { SetCurves(c, v, EDispersionRange::kWavenumber, 1.0, false); },
         "N wavenumbers from K0 to K1 (1/mm; orders for a shell)"},
        {"--frequencies", false, {Number("F0", -kMaxFrequency / kMHz, kMaxFrequency / kMHz), Number("F1", -kMaxFrequency / kMHz, kMaxFrequency / kMHz), Count("N", 1, kMaxDispersionPoints)},
         [](CCommandLine& c, const CNumbers& v, const char*) { SetCurves(c, v, EDispersionRange::kFrequency, kMHz, false); },
         "the frequencies F0 to F1 (MHz), every mode at N of them evenly"},
        {"--fd", false, {Number("FD0", -kMaxFrequency / kMHz, kMaxFrequency / kMHz), Number("FD1", -kMaxFrequency / kMHz, kMaxFrequency / kMHz), Count("N", 1, kMaxDispersionPoints)},
         [](CCommandLine& c, const CNumbers& v, const char*) { SetCurves(c, v, EDispersionRange::kFrequency, kMHz, true); },
         "frequency times thickness FD0 to FD1 (MHz mm), N evenly on every mode;\n"
         "                  every mode traced as one line: frequency, wavenumber, phase and group velocity"},
        {"--output", false, {{"FILE", 0, 0, false, true}}, [](CCommandLine& c, const CNumbers&, const char* text) { c.strCurvesFile = text; },
         "write a range's table or a mode shape to FILE (atomically)"},
        {"--every-mode", false, {}, [](CCommandLine& c, const CNumbers&, const char*) { c.bEveryMode = true; },
         "synthesise every mode, however far above a sampled load's band or the resolved frequency (a reference for checks)"},
        {"--mode-shape", false, {{"NAME", 0, 0, false, true}}, [](CCommandLine& c, const CNumbers&, const char* text) { c.strShape = text; },
         "profiles through the thickness of mode NAME (A0, S1, SH0, M2, ...) at:"},
        {"--at-wavenumber", false, {Number("K", 1e-12, kMaxKappa)},
         [](CCommandLine& c, const CNumbers& v, const char*) { SetShapePoint(c, v[0], EDispersionRange::kWavenumber, false); },
         "K (1/mm; the order for a shell)"},
        {"--at-frequency", false, {Number("F", 1e-12, kMaxFrequency / kMHz)},
         [](CCommandLine& c, const CNumbers& v, const char*) { SetShapePoint(c, v[0] * kMHz, EDispersionRange::kFrequency, false); },
         "F (MHz)"},
        {"--at-fd", false, {Number("FD", 1e-12, kMaxFrequency / kMHz)},
         [](CCommandLine& c, const CNumbers& v, const char*) { SetShapePoint(c, v[0] * kMHz, EDispersionRange::kFrequency, true); },
         "FD (MHz mm)"},
        {"--directions", false, {Count("N", 1, kMaxDirections)}, [](CCommandLine& c, const CNumbers& v, const char*) { c.nDirections = static_cast<int>(v[0]); },
         "a plate's --modes lines at N directions of the wave vector over the full turn, at\n"
         "                  --at-frequency F or --at-fd FD: wavenumber, velocities, slowness, skew"},
        {"--samples", false, {Count("N", 2, 10000)}, [](CCommandLine& c, const CNumbers& v, const char*) { c.shape.nPerElement = static_cast<int>(v[0]); },
         "mode shape samples per element"},
        {"--order", false, {Count("P", 1, kMaxOrder)}, [](CCommandLine& c, const CNumbers& v, const char*) { c.nOrder = static_cast<int>(v[0]); },
         "polynomial order of the elements through the thickness (2: quadratic);\n"
         "                  default: chosen per layer to resolve the run's frequencies to about 1e-6"},
        {"--sublayers", true, {Count("N", 1, static_cast<double>(kMaxElements))},
         [](CCommandLine& c, const CNumbers& v, const char*) { c.fgm.nSublayers = static_cast<int>(v[0]); },
         "elements per layer (default: from the cut-off wavelength)"},
        {"--cutoff", true, {Number("C", kMinCutoff, kMaxCutoff)},
         [](CCommandLine& c, const CNumbers& v, const char*) { c.fgm.dCutoffConst = v[0]; }, "the dimensionless cut-off constant (default 3.113646)"},
        {"--mori-tanaka", true, {}, [](CCommandLine& c, const CNumbers&, const char*) { c.fgm.bMoriTanaka = true; },
         "mix the two materials by Mori-Tanaka instead of the rule of mixtures"},
        {"--receivers", false, {{"FILE", 0, 0, false, true}}, [](CCommandLine& c, const CNumbers&, const char* text) { c.strReceiverFile = text; },
         "receiving points from FILE (one x in mm per line, # comments), one result file each:\n"
         "                  result_r0001.dat ... (resultfgm_r0001.dat ... for Kavrit), in the file's order"},
        {"--receiver-range", false, {Number("X0", -kMaxDistance, kMaxDistance), Number("X1", -kMaxDistance, kMaxDistance), Count("N", 1, static_cast<double>(kMaxReceivers))},
         [](CCommandLine& c, const CNumbers& v, const char*) {
             c.bReceiverRange = true;
             c.receivers = ReceiverRange(v[0], v[1], static_cast<int>(v[2]));
         },
         "N receiving points from X0 to X1 (mm), both ends included, numbered result files as above"},
        {"--point-source", false, {}, [](CCommandLine& c, const CNumbers&, const char*) { c.source.bOn = true; },
         "a point load on the top surface at the origin instead of the line load; without\n"
         "                  --receivers-xy and --field the curve at (x, 0), x the input's receiving point"},
        {"--receivers-xy", false, {{"FILE", 0, 0, false, true}}, [](CCommandLine& c, const CNumbers&, const char* text) { c.source.strReceiverFile = text; },
         "point source: receiving points from FILE (x y in mm per line, # comments), numbered result files"},
        {"--field", false, {Number("X0", -kMaxDistance, kMaxDistance), Number("X1", -kMaxDistance, kMaxDistance), Count("NX", 1, kMaxFieldSide),
                            Number("Y0", -kMaxDistance, kMaxDistance), Number("Y1", -kMaxDistance, kMaxDistance), Count("NY", 1, kMaxFieldSide)},
         [](CCommandLine& c, const CNumbers& v, const char*) {
             c.source.bField = true;
             CFieldRequest& f = c.source.field;
             f.dX0 = v[0], f.dX1 = v[1], f.nX = static_cast<int>(v[2]);
             f.dY0 = v[3], f.dY1 = v[4], f.nY = static_cast<int>(v[5]);
         },
         "point source: the wave field over NX x NY points of the rectangle (mm, ends included)"},
        {"--field-times", false, {Number("T0", -kMaxTime, kMaxTime), Number("T1", -kMaxTime, kMaxTime), Count("NT", 1, kMaxFieldTimes)},
         [](CCommandLine& c, const CNumbers& v, const char*) {
             c.source.bFieldTimes = true;
             CFieldRequest& f = c.source.field;
             f.dT0 = v[0], f.dT1 = v[1], f.nT = static_cast<int>(v[2]);
         },
         "point source: the field at NT times from T0 to T1 (us, ends included)"},
        {"--field-output", false, {{"FILE", 0, 0, false, true}}, [](CCommandLine& c, const CNumbers&, const char* text) { c.source.strFieldFile = text; },
         "point source: the HDF5 file the field goes to (written atomically)"},
        {"--every-direction", false, {}, [](CCommandLine& c, const CNumbers&, const char*) { c.source.bEveryDirection = true; },
         "point source: synthesise direction by direction even where the plate is axisymmetric (checks)"},
        {"--single-lattice", false, {}, [](CCommandLine& c, const CNumbers&, const char*) { c.source.bSingleLattice = true; },
         "point source, band-limited load: the quasi-static part with the modes on one lattice (checks)"},
        {"--exact-synthesis", false, {}, [](CCommandLine& c, const CNumbers&, const char*) { c.source.bExactSynthesis = true; },
         "point source: every term's curve summed at every time, no frequency bins (checks)"},
        {"--exact-modes", false, {}, [](CCommandLine& c, const CNumbers&, const char*) { c.source.bExactModes = true; },
         "point source, band-limited load: every wave vector's modes solved, not interpolated (checks)"},
        {"--help", false, {}, [](CCommandLine& c, const CNumbers&, const char*) { c.bHelp = true; }, "this text"},
    };
    return table;
}

void Usage(ESolver kind, std::ostream& out) {
    const char* name = kind == ESolver::kLaminate ? "lumdex" : "Kavrit";
    const char* input = kind == ESolver::kLaminate ? "input.d" : "inputfgm.dat";
    const char* result = kind == ESolver::kLaminate ? "result.dat" : "resultfgm.dat";
    out << "usage: " << name << " [options]                 reads " << input << ", writes " << result << "\n"
        << "       " << name << " --dispersion [--modes N] [KAPPA ...]\n"
        << "       " << name << " --dispersion RANGE [--modes N] [--output FILE]\n"
        << "       " << name << " --mode-shape NAME (--at-wavenumber K | --at-frequency F | --at-fd FD) [--output FILE]\n"
        << "       " << name << " --directions N (--at-frequency F | --at-fd FD) [--modes N] [--output FILE]\n"
        << "       " << name << " --point-source [--receivers-xy FILE] [--field X0 X1 NX Y0 Y1 NY --field-times T0 T1 NT\n"
        << "              --field-output FILE] [options]\n"
        << "options:\n";
    for (const COption& o : Options()) {
        if (o.bGradedOnly && kind != ESolver::kGraded) continue;
        std::string head = o.name;
        for (const CValue& v : o.values) head += std::string(" ") + v.name;
        head.resize(head.size() < 15 ? 16 : std::max<size_t>(head.size() + 1, 24), ' ');
        out << "  " << head << o.help << "\n";
    }
}

bool ToNumber(const char* text, double& v) {
    const char* end = text + std::strlen(text);
    const auto r = std::from_chars(text, end, v);
    return r.ec == std::errc() && r.ptr == end && std::isfinite(v);
}

// Why the text does not suit the option's value, or empty (with the number in v).
std::string ValueProblem(const COption& o, const CValue& value, const char* text, double& v) {
    std::ostringstream need;
    need << o.name << " needs ";
    if (value.bText) need << "a " << value.name;
    else
        need << (o.values.size() > 1 ? std::string(value.name) + ", " : "") << (value.bWhole ? "a whole count" : "a number")
             << " from " << Num(value.dLeast) << " to " << Num(value.dMost);
    if (!text) return need.str();
    if (value.bText) return *text ? "" : need.str();
    if (!ToNumber(text, v)) return need.str() + ", not \"" + Excerpt(text) + "\"";
    const bool whole = !value.bWhole || v == std::floor(v);
    const bool inside = v >= value.dLeast && v <= value.dMost;
    if (!inside && whole && v > value.dMost && value.dMost > 0) return need.str() + ": " + Excerpt(text) + " is too large";
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
            CNumbers numbers(option->values.size(), 0.0);
            const char* text = nullptr;
            for (size_t k = 0; k < option->values.size(); ++k) {
                const char* value = i + 1 < argc ? argv[++i] : nullptr;
                const std::string why = ValueProblem(*option, option->values[k], value, numbers[k]);
                if (!why.empty()) return why;
                if (option->values[k].bText) text = value;
            }
            option->set(cl, numbers, text);
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

// Empty when every number of the table is finite, else where it is not: a wavenumber next to zero
// gives an infinite phase velocity, which no table, file or screen may carry.
std::string CheckCurvesFinite(const CDispersionCurves& curves) {
    for (const CModeLine& line : curves.lines)
        for (const CModePoint& p : line.points)
            for (double v : {p.dKappa, p.dOmega, p.dWavenumber, p.dPhase, p.dGroup})
                if (!std::isfinite(v))
                    return "the curves of " + line.strName + " at KAPPA = " + Num(p.dKappa) +
                           " are not finite (a phase velocity at a wavenumber next to zero): start the range further "
                           "from zero";
    return {};
}

// A table to standard output, or to `file` atomically.
template <class Fail>
int WriteTable(const std::string& table, const std::string& file, const Fail& fail) {
    if (file.empty()) {
        std::fwrite(table.data(), 1, table.size(), stdout);
        std::fflush(stdout);
        return 0;
    }
    const std::string writeError = WriteFileAtomically(file, table);
    return writeError.empty() ? 0 : fail(writeError);
}

template <class Fail>
int WriteDispersionCurves(const CProblem& p, CCommandLine cl, const Fail& fail) {
    if (cl.bPerThickness) {
        const double h = p.model.Thickness();
        cl.curves.dFrom /= h;
        cl.curves.dTo /= h;
    }
    cl.curves.nModes = cl.nModes;
    cl.curves.nThreads = cl.nThreads > 0 ? cl.nThreads : static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    // Progress lines only when the table goes to a file: standard output is then free for them.
    std::function<void(int)> progress;
    if (!cl.strCurvesFile.empty()) {
        progress = [](int percent) { std::cout << "progress " << percent << "%" << std::endl; };
        progress(0);
    }
    const CDispersionCurves curves = TraceDispersion(p.model, cl.curves, progress);
    if (!curves.error.empty()) return fail(curves.error);
    if (const std::string error = CheckCurvesFinite(curves); !error.empty()) return fail(error);
    const std::string table = FormatDispersionCurves(curves, p.bShell);
    return WriteTable(table, cl.strCurvesFile, fail);
}

template <class Fail>
int WriteModeShape(const CProblem& p, CCommandLine cl, const Fail& fail) {
    cl.shape.strName = cl.strShape;
    if (cl.bShapePerThickness) cl.shape.dValue /= p.model.Thickness();
    const CModeShapeResult result = ComputeModeShape(p, cl.shape);
    if (!result.error.empty()) return fail(result.error);
    const std::string table =
        FormatModeShape(result.shape, cl.strShape, result.flow, p.bShell ? p.dRadius : 1.0);
    return WriteTable(table, cl.strCurvesFile, fail);
}

template <class Fail>
int WriteDirections(const CProblem& p, const CCommandLine& cl, const Fail& fail) {
    CDirectionalRequest r;
    r.dOmega = cl.shape.dValue / (cl.bShapePerThickness ? p.model.Thickness() : 1.0);
    r.nDirections = cl.nDirections;
    r.nModes = cl.nModes;
    r.nThreads = cl.nThreads > 0 ? cl.nThreads : static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    const CDirectionalCurves curves = TraceDirections(p.model, r);
    if (!curves.error.empty()) return fail(curves.error);
    const std::string table = FormatDirections(curves);
    return WriteTable(table, cl.strCurvesFile, fail);
}

const char* QuantityName(int output) {
    switch (output) {
    case 1: return "displacement U";
    case 2: return "displacement V";
    default: return "displacement W";
    }
}

// The orders the run used, so that whoever started it can say what the automatic rule chose.
void PrintOrders(const CProblem& problem) {
    std::printf("element orders (layers from the top)");
    for (int p : problem.layerOrders) std::printf(" %d", p);
    std::printf("\n");
    std::fflush(stdout);
}

void PrintTiming(const CProblem& problem, const CTransientResult& result, int threads) {
    PrintOrders(problem);
    std::printf("unknowns %d, wavenumbers %zu, threads %d\n", result.nUnknowns, result.nWavenumbers, threads);
    if (problem.band.Limited() && problem.band.dEdge == 0)
        std::printf("modes up to %.4g rad/us synthesised, the rest quasi-static\n", problem.band.dModeCutoff);
    else if (problem.band.Limited())
        std::printf("load band to %.4g rad/us: modes up to %.4g rad/us synthesised at %zu wavenumbers, the rest "
                    "quasi-static\n",
                    problem.band.dEdge, problem.band.dModeCutoff, result.nModalWavenumbers);
    std::printf("assembly %.3f s, eigen-solves %.3f s, synthesis %.3f s\n", result.dAssemblySeconds,
                result.dEigenSeconds, result.dSynthesisSeconds);
    CWavenumbers grid;
    if (MakeWavenumbers(problem, grid).empty()) {
        const CRunWork work = EstimateRunWork(problem, grid, static_cast<int>(result.time.size()),
                                              static_cast<int>(result.receiverValues.size()));
        std::printf("estimated work %.3g units (eigen-solves %.3g, synthesis %.3g, receivers %.3g), about %.3g s of "
                    "processor time\n",
                    work.Total(), work.dEigen, work.dSynthesis, work.dReceivers, work.Total() / kWorkUnitsPerSecond);
    }
    std::fflush(stdout);
}

// One set of eigen-solves, one result file per receiver, each written atomically, in order.
template <class Fail>
int WriteReceiverResults(const CProblem& problem, const CCommandLine& cl, const CRunOptions& run,
                         const std::string& output, const Fail& fail) {
    const CTransientResult result = SolveAtReceivers(problem, run, &cl.receivers);
    if (!result.error.empty()) return fail(result.error);
    for (size_t r = 0; r < result.receiverValues.size(); ++r) {
        const std::string curveError =
            CheckCurveFinite(result.time, result.receiverValues[r], QuantityName(problem.nOutput));
        if (!curveError.empty()) return fail("receiving point " + Num(cl.receivers[r]) + ": " + curveError);
    }
    for (size_t r = 0; r < result.receiverValues.size(); ++r) {
        const std::string writeError = WriteFileAtomically(
            ReceiverFileName(output, r), FormatResult(problem.nOutput, result.time, result.receiverValues[r]));
        if (!writeError.empty()) return fail(writeError);
    }
    run.progress(100);
    if (cl.bTiming) {
        std::printf("receivers %zu\n", cl.receivers.size());
        PrintTiming(problem, result, run.nThreads);
    } else {
        PrintOrders(problem);
    }
    return 0;
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
    const bool shape = !cl.strShape.empty(), directions = cl.nDirections > 0;
    if ((shape || directions) != (cl.nShapeAxes > 0) || cl.nShapeAxes > 1 || (shape && directions) ||
        ((shape || directions) && (cl.bDispersion || cl.bCurves)) ||
        (directions && cl.shape.axis != EDispersionRange::kFrequency)) {
        std::cerr << name << ": --mode-shape goes with one of --at-wavenumber, --at-frequency or --at-fd, "
                  << "--directions with --at-frequency or --at-fd, either without --dispersion\n";
        Usage(kind, std::cerr);
        return 2;
    }
    if ((cl.bCurves || (!cl.strCurvesFile.empty() && !shape && !directions)) && (!cl.bDispersion || !cl.bCurves || !cl.kappas.empty())) {
        std::cerr << name << ": a dispersion range (--wavenumbers, --frequencies or --fd) goes with --dispersion, "
                  << "without KAPPA values\n";
        Usage(kind, std::cerr);
        return 2;
    }
    const bool manyReceivers = cl.bReceiverRange || !cl.strReceiverFile.empty();
    if (manyReceivers && (cl.bDispersion || shape || directions || (cl.bReceiverRange && !cl.strReceiverFile.empty()))) {
        std::cerr << name << ": --receivers and --receiver-range go one at a time, without --dispersion\n";
        Usage(kind, std::cerr);
        return 2;
    }
    const std::string sourceError = CheckPointSourceOptions(cl.source);
    if (!sourceError.empty() || (cl.source.bOn && (manyReceivers || cl.bDispersion))) {
        std::cerr << name << ": "
                  << (sourceError.empty() ? "--point-source goes without --receivers, --receiver-range and --dispersion"
                                          : sourceError)
                  << "\n";
        Usage(kind, std::cerr);
        return 2;
    }
    if (!cl.strReceiverFile.empty()) {
        bool tooMany = false;
        const std::string error = ReadReceivers(cl.strReceiverFile, kMaxReceivers, cl.receivers, tooMany);
        if (tooMany) {
            std::cerr << name << ": " << error << "\n";
            return 2;
        }
        if (!error.empty()) return fail(error);
    }
    if (manyReceivers && static_cast<double>(cl.receivers.size()) * cl.nPoints > kMaxReceiverValues) {
        std::cerr << name << ": " << cl.receivers.size() << " receiving points at " << cl.nPoints
                  << " points each are more than " << Num(kMaxReceiverValues) << " values: use fewer of either\n";
        return 2;
    }
    // A mode shape, like a dispersion run, has no output times and no result file.
    if (shape || directions) cl.bDispersion = true;
    if (!cl.bDispersion) RemoveStaleTemporaries(output);
    if (!cl.source.strFieldFile.empty()) RemoveStaleTemporaries(cl.source.strFieldFile);

    std::string text;
    if (const std::string readError = ReadInputFile(input, kMaxInputBytes, text); !readError.empty())
        return fail(readError);
    CProblem problem;
    cl.fgm.nOrder = cl.nOrder;
    cl.fgm.nPoints = cl.bDispersion ? 0 : cl.nPoints;
    const std::string parseError = kind == ESolver::kLaminate
                                       ? ParseCompositeInput(text, input, problem, cl.nOrder, cl.fgm.nPoints)
                                       : ParseFgmInput(text, input, cl.fgm, problem);
    if (!parseError.empty()) return fail(parseError);
    const std::string sizeError = CheckModelSize(problem.model);
    if (!sizeError.empty()) return fail(sizeError);

    if (shape) return WriteModeShape(problem, cl, fail);
    if (directions) return WriteDirections(problem, cl, fail);
    if (cl.bDispersion && cl.bCurves) return WriteDispersionCurves(problem, cl, fail);
    if (cl.bDispersion) {
        const std::string error = PrintDispersion(problem, cl);
        return error.empty() ? 0 : fail(error);
    }
    if (problem.load.type == ELoadType::kSampled) {
        const std::string loadError = ReadSampledLoad("ft.dat", problem.load);
        if (!loadError.empty()) return fail(loadError);
    }
    if (!cl.bEveryMode) PlanBand(problem, cl.nOrder);
    if (cl.source.bOn) {
        CPointSourceRun source;
        source.strSolver = name;
        source.strResult = output;
        source.options.nPoints = cl.nPoints;
        source.options.nThreads =
            cl.nThreads > 0 ? cl.nThreads : static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
        source.options.progress = [](int percent) { std::cout << "progress " << percent << "%" << std::endl; };
        source.bTiming = cl.bTiming;
        source.fail = fail;
        source.usage = [&](const std::string& message) {
            std::cerr << name << ": " << message << "\n";
            return 2;
        };
        return RunPointSource(problem, cl.source, source);
    }
    if (manyReceivers) {
        // The run's size follows from its farthest receiver.
        problem.dReceiverX = cl.receivers.front();
        for (double x : cl.receivers)
            if (std::abs(x) > std::abs(problem.dReceiverX)) problem.dReceiverX = x;
    }
    if (!cl.bEveryMode) PlanBroadbandCutoff(problem, cl.nOrder, cl.nPoints);
    const int receivers = manyReceivers ? static_cast<int>(cl.receivers.size()) : 0;
    FitOrdersToWork(problem, cl.nOrder, cl.nPoints, receivers);
    if (const std::string runError = CheckRunSize(problem, cl.nPoints, receivers); !runError.empty())
        return fail(runError);

    CRunOptions run;
    run.nPoints = cl.nPoints;
    run.nThreads = cl.nThreads > 0 ? cl.nThreads : static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    run.progress = [](int percent) { std::cout << "progress " << percent << "%" << std::endl; };
    run.progress(0);
    if (manyReceivers) return WriteReceiverResults(problem, cl, run, output, fail);
    const CTransientResult result = SolveTransient(problem, run);
    if (!result.error.empty()) return fail(result.error);
    const std::string curveError = CheckCurveFinite(result.time, result.value, QuantityName(problem.nOutput));
    if (!curveError.empty()) return fail(curveError);

    const std::string writeError =
        WriteFileAtomically(output, FormatResult(problem.nOutput, result.time, result.value));
    if (!writeError.empty()) return fail(writeError);
    run.progress(100);
    if (cl.bTiming)
        PrintTiming(problem, result, run.nThreads);
    else
        PrintOrders(problem);
    return 0;
}

}  // namespace numerics
