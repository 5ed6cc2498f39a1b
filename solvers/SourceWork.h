#pragma once
// What a point source's run will cost, priced as it runs (PointSource.h): per wave vector the
// direction's solver mixed from its samples and, where a mode lies below the cutoff, the whole
// spectrum; the band-limited split's searches (the disc's radius by banded factors, the in-band
// speed by eigen-solves on a polar grid), its near field (the vectors within the disc solved, the
// static table's nodes beyond it) and its dynamic disc (the share of vectors with modes below
// the ramp's top counted on a sample, or the mode atlas's nodes and look-ups). Units as RunWork.h: about a nanosecond of processor time
// of one core of the development machine (`scripts/bench.sh work` prints the estimate against
// the measured time).

#include "PointSource.h"

namespace numerics {

struct CSourceWork {
    double dSearch = 0;     // the split's disc and in-band speed
    double dNear = 0;       // the split's near field at its first period
    double dVectors = 0;    // the lattice's wave vectors (the split's disc, or every one)
    double dModalShare = 0;  // of those, the share with modes to solve (estimated)
    double dEigen = 0;      // the lattice's eigen-solves and checks, or the atlas and its look-ups
    double dAtlasNodes = 0;  // the split's atlas, where the run takes one
    double dMarkedReach = 0;  // its marks' reach where searched (AtlasMarkedReach), else 0
    double Solves() const { return dSearch + dNear + dEigen; }
};

// The eigen-solving work of the request's run on grid g (MakeSourceGrid, the split's disc found).
CSourceWork EstimateSourceWork(const CProblem& p, const CSourceGrid& g, const CSourceRequest& request);

}  // namespace numerics
