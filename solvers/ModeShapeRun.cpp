#include "ModeShapeRun.h"

#include <algorithm>

#include "BandedModes.h"
#include "ModeParts.h"

namespace numerics {

int DefaultShapeSamples(const CThicknessModel& model) {
    const int elements = std::max<int>(1, static_cast<int>(model.elements.size()));
    return std::clamp(4 * model.HighestOrder() + 1, 9, std::max(2, 20000 / elements));
}

CModeShapeResult ComputeModeShape(const CProblem& problem, const CModeShapeRequest& request) {
    CModeShapeResult out;
    out.error = LocateMode(problem.model, request.strName, request.axis, request.dValue, out.located);
    if (!out.error.empty()) return out;
    const CModelParts split = MakeParts(Assemble(problem.model), true);
    const CBandedModes banded(problem.model);
    CBandedMode mode;
    const CModePoint& p = out.located.point;
    if (!ModeVector(banded, split.parts[static_cast<size_t>(out.located.nPart)], p.dKappa, p.dOmega, mode)) {
        out.error = "the eigen-solve failed at the mode's point";
        return out;
    }
    const int samples = request.nPerElement > 0 ? request.nPerElement : DefaultShapeSamples(problem.model);
    out.shape = EvaluateModeShape(problem.model, problem.layerPlans, p.dKappa, p.dOmega, mode.phi, samples);
    out.flow = EnergyFlow(problem.model, p.dKappa, p.dOmega, mode.phi);
    return out;
}

}  // namespace numerics
