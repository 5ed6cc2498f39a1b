// The near field's wave vectors within the split's dynamic disc (not a test): their sums with the
// low modes deflated against every mode solved, at every such vector of the tone-burst example's
// first period -- each of the 3 x 3 entries of s and s2 relative to that matrix's largest entry
// over the vectors -- the vectors that fell back to every mode, and the processor time of each.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <vector>

#include "BenchRun.h"
#include "DirectionalSolvers.h"
#include "ModalSolver.h"
#include "NearFieldTable.h"
#include "PointSource.h"
#include "RunWork.h"
#include "SourceNearField.h"
#include "SourceTerms.h"

using namespace numerics;
using namespace bench;

int main() {
    const CProblem burst = ToneBurst();
    CSourceRequest request;
    request.receivers = {{100, 0}};
    CSourceGrid g;
    if (const std::string error = MakeSourceGrid(burst, request, g); !error.empty()) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    CDirectionalSolvers directions(burst.model, 1);
    const CModeSplit split = MakeModeSplit(burst.band);
    const bool mirror = g.symmetry == ESourceSymmetry::kMirror;
    const double radius = DynamicDiscRadius(directions, g.dKMax, split.dHigh, mirror, 1);
    const double dk = 2 * 3.14159265358979323846 / (kNearFieldPeriods * burst.model.Thickness());
    const std::vector<std::pair<long, long>> vectors = LatticeVectors(dk, dk, radius, mirror);
    std::vector<CNearSums> whole(vectors.size()), deflated(vectors.size());
    std::vector<char> fell(vectors.size());
    CModalSolver::CWorkspace ws;
    double timeWhole = 0, timeDeflated = 0;
    const auto weight = [&](double omega) { return 1.0 - split.Dynamic(omega); };
    // Pass 1 deflated, 0 every mode (both timed), 2 which vectors fell back.
    for (int pass : {1, 0, 2}) {
        const double start = Cpu();
        for (size_t e = 0; e < vectors.size(); ++e) {
            const long m = vectors[e].first, n = vectors[e].second;
            const double k = dk * std::hypot(double(m), double(n)), theta = LatticeDirection(m, n, dk, dk);
            std::unique_ptr<CModalSolver> own;
            const CModalSolver& solver = directions.At(theta, 0, own);
            if (pass == 0) NearSums(solver, k, split, whole[e], ws, -1.0);
            if (pass == 1) NearSums(solver, k, split, deflated[e], ws);
            if (pass != 2) continue;
            Eigen::Matrix3d f, s;
            const double top = split.dHigh * split.dHigh;
            fell[e] = !solver.StaticMatrices(k, top, f, s, ws) &&
                      !solver.DeflatedStaticMatrices(k, top, weight, kDeflationTolerance, f, s, ws);
        }
        if (pass < 2) (pass == 0 ? timeWhole : timeDeflated) = Cpu() - start;
    }
    double peakFirst = 0, peakSecond = 0;
    for (const CNearSums& s : whole) {
        peakFirst = std::max(peakFirst, s.flexibility.cwiseAbs().maxCoeff());
        peakSecond = std::max(peakSecond, s.second.cwiseAbs().maxCoeff());
    }
    double errFirst = 0, errSecond = 0, atFirst = 0, atSecond = 0;
    size_t fallbacks = 0;
    for (size_t e = 0; e < vectors.size(); ++e) {
        fallbacks += fell[e] ? 1 : 0;
        const double k = dk * std::hypot(double(vectors[e].first), double(vectors[e].second));
        if (fell[e]) std::printf("  fell back at (%ld, %ld), k %.4f 1/mm\n", vectors[e].first, vectors[e].second, k);
        const double a = (deflated[e].flexibility - whole[e].flexibility).cwiseAbs().maxCoeff() / peakFirst;
        const double b = (deflated[e].second - whole[e].second).cwiseAbs().maxCoeff() / peakSecond;
        if (a > errFirst) errFirst = a, atFirst = k;
        if (b > errSecond) errSecond = b, atSecond = k;
    }
    std::printf("near field's vectors within the disc (radius %.3f 1/mm, period %.0f mm): %zu, %zu fell back to every mode\n",
                radius, kNearFieldPeriods * burst.model.Thickness(), vectors.size(), fallbacks);
    std::printf("  largest difference, relative to each matrix's largest entry: s %.2e (at k %.3f), s2 %.2e (at k %.3f)\n",
                errFirst, atFirst, errSecond, atSecond);
    std::printf("  processor time: every mode %.3f s (%.0f us a vector), deflated %.3f s (%.0f us a vector); %.2f times less\n",
                timeWhole, 1e6 * timeWhole / vectors.size(), timeDeflated, 1e6 * timeDeflated / vectors.size(),
                timeWhole / timeDeflated);
    std::unique_ptr<CModalSolver> own;
    const CWavenumberCost each = WholeCost(directions.At(0.0, 0, own));
    std::printf("  work units a vector: every mode %.0f, the modes below a limit %.0f (with spares %.0f), the static "
                "sums %.0f\n",
                each.dModal, each.dBelow, each.dNode, each.dStatic);
    return 0;
}
