#include "SourceWork.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <numbers>

#include "DirectionalSolvers.h"
#include "LoadBand.h"
#include "ModeAtlas.h"
#include "NearFieldTable.h"
#include "RunWork.h"
#include "SourceNearField.h"
#include "SourceTerms.h"

namespace numerics {

namespace {

constexpr double kPi = std::numbers::pi;
// Wave vectors of a disc on which the share with modes below a frequency is counted (even in
// area, the directions spread by the golden ratio, as the lattice spreads them).
constexpr int kShareSamples = 64;
// The searches, in the units of one wave vector's work: the disc's radius takes about 40 banded
// factors along each of its 97 (96) directions; the in-band speed about 400 (700 without mirror
// symmetry) eigen-solves (SourceReach.cpp).
constexpr double kRadiusFactorsPerDirection = 40;
constexpr double kSpeedSolvesMirror = 400, kSpeedSolvesHalf = 700;
// The mode atlas (ModeAtlas.h): a look-up per vector, and the share of vectors near a marked
// crossing or the centre solved exactly (measured on the benchmark's tone burst: 0.19 us in the
// run, and 2320 of 1.78e6).
constexpr double kAtlasLookup = 200;
constexpr double kAtlasExactShare = 0.0013;

// The share of the wave vectors within radius with a mode below omega.
double ModalShare(CDirectionalSolvers& directions, double radius, double omega, bool mirror) {
    CModalSolver::CWorkspace ws;
    const double span = mirror ? 0.5 * kPi : kPi;
    int modal = 0;
    for (int i = 0; i < kShareSamples; ++i) {
        const double k = radius * std::sqrt((i + 0.5) / kShareSamples);
        const double theta = std::fmod(0.6180339887498949 * i, 1.0) * span;
        std::unique_ptr<CModalSolver> own;
        if (!directions.At(theta, 0, own).AllModesAbove(k, omega * omega, ws)) ++modal;
    }
    return static_cast<double>(modal) / kShareSamples;
}

}  // namespace

CSourceWork EstimateSourceWork(const CProblem& p, const CSourceGrid& g, const CSourceRequest& request) {
    CSourceWork work;
    const bool mirror = g.symmetry == ESourceSymmetry::kMirror;
    if (g.symmetry == ESourceSymmetry::kAxisymmetric) {
        // One direction: the line-load solver, every mode where one lies below the cutoff.
        const CModalSolver solver(AssembleBands(p.model));
        work.dVectors = g.dWaveVectors;
        work.dModalShare = 1;
        work.dEigen = work.dVectors * WholeCost(solver).dModal;
        return work;
    }
    CDirectionalSolvers directions(p.model, 1);
    std::unique_ptr<CModalSolver> own;
    const CModalSolver& along = directions.At(0.0, 0, own);
    const CWavenumberCost each = WholeCost(along);
    const double mix = MixCost(along), check = 0.5 * each.dStatic;
    const double cutoff = g.bSplit ? MakeModeSplit(p.band).dHigh : p.band.dModeCutoff;
    work.dVectors = g.dWaveVectors - g.dNearVectors;
    work.dModalShare = cutoff > 0 ? ModalShare(directions, g.dDynamicRadius, cutoff, mirror) : 1.0;
    // A vector first checks for a mode below the cutoff (a factor per block), then solves: the
    // whole spectrum, or the split's modes below the ramp's top alone.
    const double solved = mix + (cutoff > 0 ? check : 0.0) + work.dModalShare * (g.bSplit ? each.dBelow : each.dModal);
    work.dEigen = work.dVectors * solved;
    if (!g.bSplit) return work;
    const double radiusSearch = (mirror ? 97 : 96) * kRadiusFactorsPerDirection * check;
    work.dSearch = radiusSearch + (mirror ? kSpeedSolvesMirror : kSpeedSolvesHalf) * (mix + each.dModal);
    const size_t vectors = static_cast<size_t>(work.dVectors);
    if (directions.Shared() && AtlasChosen(g.dDynamicRadius, 0.0, mirror, vectors, request.modes, request.atlas)) {
        // The atlas's layout as the run takes it: its rings coarse beyond the crossings' marks,
        // whose reach is one more search like the disc's.
        const double mark = AtlasMarks(p.load, p.dTimeTo, cutoff, request.atlas).dCrossings;
        const double marked = AtlasMarkedReach(directions, g.dDynamicRadius, mirror, mark, vectors, request.modes,
                                               request.atlas, 1, request.dMarkedReach);
        work.dMarkedReach = marked;
        work.dSearch += radiusSearch;
        if (AtlasChosen(g.dDynamicRadius, marked, mirror, vectors, request.modes, request.atlas)) {
            work.dAtlasNodes = static_cast<double>(
                CModeAtlas::NodeCount(g.dDynamicRadius, marked, mirror ? 0.5 * kPi : kPi, request.atlas));
            work.dEigen = work.dAtlasNodes * (mix + each.dNode) + work.dVectors * (kAtlasLookup + kAtlasExactShare * solved);
        }
    }
    // The near field at its first period: the vectors within the disc with their low modes
    // deflated (most have modes below the ramp's top), those beyond by the table's nodes where it
    // has fewer.
    const double period = std::min({kNearFieldPeriods * p.model.Thickness(), g.dPeriodX, g.dPeriodY});
    const double dk = 2 * kPi / period;
    const double inner = static_cast<double>(LatticeVectors(dk, dk, g.dDynamicRadius, mirror).size());
    const double outer = static_cast<double>(LatticeVectors(dk, dk, g.dKMax, mirror).size()) - inner;
    const double nodes = static_cast<double>(NearTableNodes(NearTableLayout(p.model.Thickness(), mirror)));
    // An in-disc vector's low modes (below the ramp's top and one spare: between the dynamic
    // modes alone and an atlas node's four spares) are deflated from one banded solve (measured
    // on the tone burst's 1396 such vectors: 224 us against 228 priced, the whole spectrum 711 us
    // against 648 in the same run).
    const double deflated = 0.5 * (each.dBelow + each.dNode) + each.dStatic;
    work.dNear = inner * (mix + check + work.dModalShare * deflated) +
                 std::min(outer, nodes) * (mix + each.dStatic);
    return work;
}

}  // namespace numerics
