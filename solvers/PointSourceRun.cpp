#include "PointSourceRun.h"

#include <cmath>
#include <cstdio>
#include <sstream>

#include "FieldFile.h"
#include "InputFile.h"
#include "Receivers.h"
#include "ResultFile.h"

namespace numerics {

namespace {

const char* const kComponents[] = {"U", "V", "W"};
const char* const kDirections[] = {"X", "Y", "Z"};

// Empty when every value of the field is finite, else where the first one is not.
std::string CheckFieldFinite(const CSourceResult& r, const CFieldRequest& f, const char* component) {
    const size_t plane = static_cast<size_t>(f.nX) * f.nY;
    for (size_t i = 0; i < r.field.size(); ++i) {
        if (std::isfinite(r.field[i])) continue;
        const int t = static_cast<int>(i / plane), j = static_cast<int>(i % plane / f.nX), k = static_cast<int>(i % f.nX);
        std::ostringstream msg;
        msg << "the computed wave field " << component << " at t = " << f.Times().At(t) << " us, x = " << f.X(k)
            << " mm, y = " << f.Y(j) << " mm overflowed (" << (std::isnan(r.field[i]) ? "not a number" : "infinite")
            << "): the input's values are too extreme to compute with";
        return msg.str();
    }
    return {};
}

std::string WriteField(const CProblem& p, const CSourceResult& r, const CPointSourceOptions& o,
                       const std::string& solver) {
    const CFieldRequest& f = o.field;
    CFieldFile c;
    c.field = r.field;
    for (int i = 0; i < f.nX; ++i) c.x.push_back(f.X(i));
    for (int j = 0; j < f.nY; ++j) c.y.push_back(f.Y(j));
    for (int t = 0; t < f.nT; ++t) c.t.push_back(f.Times().At(t));
    c.strComponent = kComponents[p.nOutput - 1];
    c.strSolver = solver;
    c.nLoadType = static_cast<int>(p.load.type);
    c.strLoadDirection = kDirections[p.nLoadDir - 1];
    c.timeWindow[0] = p.dTimeFrom;
    c.timeWindow[1] = p.dTimeTo;
    c.elementOrders = p.layerOrders;
    const CSourceGrid& g = r.grid;
    const bool hankel = g.symmetry == ESourceSymmetry::kAxisymmetric;
    c.wavenumberGrid[0] = hankel ? static_cast<double>(g.nMaxX) : 2.0 * g.nMaxX + 1;
    c.wavenumberGrid[1] = hankel ? 0.0 : 2.0 * g.nMaxY + 1;
    c.wavenumberGrid[2] = g.dkx;
    c.wavenumberGrid[3] = hankel ? g.dkx : g.dky;
    c.period[0] = g.dPeriodX;
    c.period[1] = g.dPeriodY;
    c.dBandLimit = p.band.dModeCutoff;
    c.strSymmetry = hankel ? "axisymmetric" : g.symmetry == ESourceSymmetry::kMirror ? "mirror" : "none";
    return WriteFieldFile(o.strFieldFile, c);
}

}  // namespace

std::string CheckPointSourceOptions(const CPointSourceOptions& o) {
    const bool any = o.bField || o.bFieldTimes || !o.strFieldFile.empty() || !o.strReceiverFile.empty() ||
                     o.bEveryDirection || o.bSingleLattice || o.bExactSynthesis || o.bExactModes;
    if (!o.bOn)
        return any ? "--receivers-xy, --field, --field-times, --field-output, --every-direction, --single-lattice, "
                     "--exact-synthesis and --exact-modes go with --point-source"
                   : "";
    const bool fieldParts = o.bField && o.bFieldTimes && !o.strFieldFile.empty();
    if ((o.bField || o.bFieldTimes || !o.strFieldFile.empty()) && !fieldParts)
        return "--field, --field-times and --field-output go together";
    const CFieldRequest& f = o.field;
    if (!o.bField) return {};
    const auto span = [](const char* what, double from, double to, int count) -> std::string {
        if (to < from || (count > 1 && !(to > from)))
            return std::string(what) + " must run upwards (" + Num(from) + " to " + Num(to) + ")";
        return {};
    };
    for (const std::string& why : {span("the field's x range", f.dX0, f.dX1, f.nX), span("the field's y range", f.dY0, f.dY1, f.nY),
                                   span("the field's times", f.dT0, f.dT1, f.nT)})
        if (!why.empty()) return why;
    if (static_cast<double>(f.nX) * f.nY * f.nT > kMaxFieldValues)
        return "the wave field would hold " + Num(static_cast<double>(f.nX) * f.nY * f.nT) + " values (at most " +
               Num(kMaxFieldValues) + "): use fewer points or times";
    return {};
}

int RunPointSource(CProblem& p, const CPointSourceOptions& o, const CPointSourceRun& run) {
    if (p.bShell) return run.fail("a point source needs a plate, and the input describes a shell");
    CSourceRequest request;
    request.field = o.bField ? o.field : CFieldRequest{};
    request.bEveryDirection = o.bEveryDirection;
    request.bSingleLattice = o.bSingleLattice;
    if (o.bExactSynthesis) request.eSynthesis = ESourceSynthesis::kExact;
    if (o.bExactModes) request.modes = EModeSource::kExact;
    const bool single = o.strReceiverFile.empty() && !o.bField;
    if (!o.strReceiverFile.empty()) {
        std::vector<double> xy;
        bool tooMany = false;
        const std::string error = ReadReceiversXY(o.strReceiverFile, kMaxReceivers, xy, tooMany);
        if (tooMany) return run.usage(error);
        if (!error.empty()) return run.fail(error);
        for (size_t i = 0; i + 1 < xy.size(); i += 2) request.receivers.push_back({xy[i], xy[i + 1]});
        if (static_cast<double>(request.receivers.size()) * run.options.nPoints > kMaxReceiverValues)
            return run.usage(std::to_string(request.receivers.size()) + " receiving points at " +
                             std::to_string(run.options.nPoints) + " points each are more than " +
                             Num(kMaxReceiverValues) + " values: use fewer of either");
    }
    if (single) request.receivers.push_back({p.dReceiverX, 0.0});
    if (const std::string error = CheckSourceRunSize(p, request, run.options.nPoints); !error.empty())
        return run.fail(error);

    run.options.progress(0);
    const CSourceResult result = SolvePointSource(p, request, run.options);
    if (!result.error.empty()) return run.fail(result.error);
    const char* component = kComponents[p.nOutput - 1];
    for (size_t r = 0; r < result.curves.size(); ++r) {
        const std::string why = CheckCurveFinite(result.time, result.curves[r], std::string("displacement ") + component);
        if (why.empty()) continue;
        if (single) return run.fail(why);
        return run.fail("receiving point (" + Num(request.receivers[r].x) + ", " + Num(request.receivers[r].y) +
                        "): " + why);
    }
    if (const std::string why = CheckFieldFinite(result, request.field, component); !why.empty()) return run.fail(why);
    for (size_t r = 0; r < result.curves.size(); ++r) {
        const std::string name = single ? run.strResult : ReceiverFileName(run.strResult, r);
        const std::string error = WriteFileAtomically(name, FormatResult(p.nOutput, result.time, result.curves[r]));
        if (!error.empty()) return run.fail(error);
    }
    if (o.bField)
        if (const std::string error = WriteField(p, result, o, run.strSolver); !error.empty()) return run.fail(error);
    run.options.progress(100);
    if (run.bTiming) {
        std::printf("element orders (layers from the top)");
        for (int order : p.layerOrders) std::printf(" %d", order);
        const CSourceGrid& g = result.grid;
        std::printf("\nunknowns %d, wave vectors %.0f, terms %.0f, period %.6g x %.6g mm, threads %d\n",
                    result.nUnknowns, g.dWaveVectors, g.dEntries, g.dPeriodX, g.dPeriodY, run.options.nThreads);
        if (g.bSplit)
            std::printf("band-limited split: dynamic part within |k| < %.6g 1/mm, its fastest group velocity %.6g "
                        "mm/us, quasi-static near field of period %.6g mm\n",
                        g.dDynamicRadius, g.dSpeed, g.dNearPeriod);
        std::printf("symmetry %s\n", g.symmetry == ESourceSymmetry::kAxisymmetric ? "axisymmetric (Hankel transform)"
                                     : g.symmetry == ESourceSymmetry::kMirror       ? "about x and y (a quarter solved)"
                                                                                    : "none (half the wave vectors solved)");
        if (result.bBinned) std::printf("receivers: the modes binned in frequency\n");
        if (result.nAtlasNodes > 0)
            std::printf("mode atlas: %zu nodes (%zu near a crossing) in %.3f s; %zu wave vectors of the disc solved "
                        "exactly\n",
                        result.nAtlasNodes, result.nAtlasMarked, result.dAtlasSeconds, result.nExactVectors);
        std::printf("assembly %.3f s, eigen-solves %.3f s, synthesis %.3f s\n", result.dAssemblySeconds,
                    result.dEigenSeconds, result.dSynthesisSeconds);
        std::fflush(stdout);
    }
    return 0;
}

}  // namespace numerics
