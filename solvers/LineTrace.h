#pragma once
// Follows the modes of one part of the through-thickness problem from kappa to kappa, so that
// each mode stays one line: a mode continues into the mode of the next sample whose
// mass-normalised eigenvector overlaps it most (y_a^T y_b), not into the one of the same rank.
//
// A step that jumps over an avoided crossing looks like a crossing (the eigenvectors keep their
// character while the lines exchange it within the step), so a step is taken as it stands only
// when it is certain: each of the lowest modes continues into the mode of its own rank with an
// overlap of at least 0.9. Otherwise the step is halved until it is, or until it is shorter
// than a fixed length: what still crosses there crosses within the rounding of the eigenvalues,
// and the overlap decides. The grouping of the lines therefore does not depend on the step the
// caller samples at.

#include <functional>
#include <string>
#include <vector>

#include "ModeParts.h"

namespace numerics {

// The modes of a part at one kappa.
struct CTraceSample {
    double dKappa = 0;
    Eigen::VectorXd omega, slope;  // rad/us and d omega / d kappa, ascending omega
    Eigen::MatrixXd vectors;       // unit eigenvectors of the part's standard form
    int Count() const { return static_cast<int>(omega.size()); }
};

// The sample at kappa: the lowest `count` modes. At kappa = 0 the rigid motions take their
// limits as kappa -> 0+ (ZeroFrequencyLimit): zero frequency, their speed as the slope.
bool SolveSample(const CPart& part, double kappa, int count, CTraceSample& out);

struct CTraceOptions {
    int nCount = 10;          // modes solved at every sample
    int nRelevant = 8;        // the lowest modes whose continuation must be certain
    double dMinStep = 0;      // a step this short is taken as it stands
    int nMaxRefinements = 0;  // halvings in all, beyond which every step is taken as it stands
};

// Called for every step taken, in ascending kappa: partner[j] is the mode of b that mode j of a
// continues into, or -1 where it leaves the modes solved. `base` says whether b is one of the
// caller's kappas (rather than one inserted by refinement).
using CStepVisitor =
    std::function<void(const CTraceSample& a, const CTraceSample& b, const std::vector<int>& partner, bool base)>;

// Traces over the ascending kappas (at least one): visit is called for each step, first is the
// sample at kappas[0]. Empty on success, else why the trace stopped. after(i) is called once
// base kappa i is reached (for progress).
std::string TracePart(const CPart& part, const std::vector<double>& kappas, const CTraceOptions& options,
                      const std::function<void(const CTraceSample& first)>& start, const CStepVisitor& visit,
                      const std::function<void(int)>& after = {});

// The partners of a's modes in b by largest overlap (pairs of largest overlap first, overlaps
// below 0.1 never), and whether the step is certain for the lowest `relevant` modes.
std::vector<int> Partners(const CTraceSample& a, const CTraceSample& b, int relevant, bool* certain);

}  // namespace numerics
